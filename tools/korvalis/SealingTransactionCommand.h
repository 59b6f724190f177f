#pragma once

#include <string>
#include <vector>

// What `korvalis seal` and `korvalis unseal` share: reading ROOTS LOCATION YYYYMMDD, the range,
// the key and the archive location; checking them before anything is touched; running the
// transaction with its message lines on standard output and its progress as a bar on standard
// error when that is a terminal.
class SealingTransactionCommand {
public:
    // `sealing` chooses seal or unseal; `usage` is the command's usage text. Returns a
    // KorvalisExitCode: 0 only when the transaction succeeded.
    static int run(const std::vector<std::string>& arguments, bool sealing, const char* usage);
};
