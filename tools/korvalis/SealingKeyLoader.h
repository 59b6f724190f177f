#pragma once

#include <memory>
#include <optional>
#include <string>

#include "KorvalisUserSealingKey.h"
#include "PassphraseInput.h"

// What the key and sealed commands share: getting a passphrase (from a file named by an option or
// from the terminal) and uncovering the master key of a user key file. Failures are printed on
// standard error as "korvalis COMMAND: ...".
class SealingKeyLoader {
public:
    explicit SealingKeyLoader(std::string commandName);

    // Reads an existing passphrase: the first line of `passphraseFile` when given, else asked on
    // the terminal with `prompt`.
    bool readPassphrase(const std::optional<std::string>& passphraseFile, const std::string& prompt,
                        PassphraseInput& passphrase) const;
    // Reads a passphrase to protect a new key file: from the file, or asked twice on the
    // terminal. Refuses an empty one.
    bool readNewPassphrase(const std::optional<std::string>& passphraseFile,
                           const std::string& userName, PassphraseInput& passphrase) const;

    // Loads the user key file and uncovers its master key with the passphrase. Null on failure,
    // with "Bad passphrase!" printed when the passphrase does not uncover a valid master key.
    std::unique_ptr<KorvalisUserSealingKey> uncover(
        const std::string& keyFile, const std::optional<std::string>& passphraseFile) const;

    // Prints "korvalis COMMAND: text" on standard error.
    void report(const std::string& text) const;

private:
    std::string commandName_;
};
