// korvalis seal: a time range of a session replaced by sealed media files, in one transaction.
#include "KorvalisCommand.h"
#include "SealingTransactionCommand.h"

namespace {

constexpr const char* kUsage =
    "Usage: korvalis seal ROOTS LOCATION YYYYMMDD --from T --to T --key USERKEY.xml\n"
    "                     [--passphrase-file F] [--archive-location DIR]\n\n"
    "Seals the time range [T, T] of a session: every audio and video file that overlaps it is\n"
    "split at the range's ends, the parts inside are encrypted into sealed media files, and the\n"
    "clear parts inside are removed, in a transaction that a crash cannot leave half-done\n"
    "(korvalis recover finishes an interrupted one).\n\n"
    "  --from T, --to T       the range, epoch seconds (or hexadecimal with 0x)\n"
    "  --key USERKEY.xml      the user key file; its passphrase is asked on the terminal\n"
    "  --passphrase-file F    read the passphrase from the first line of F instead\n"
    "  --archive-location DIR the root of a second archive holding copies of the session's\n"
    "                         files; the copies of the sealed files are deleted from it\n\n"
    "The transaction's messages go to standard output, its progress to standard error (a bar on\n"
    "a terminal). Exit status 0 only when the range was sealed. ROOTS are archive paths\n"
    "separated by ';'.\n";

const KorvalisCommandRegistration registration{
    KorvalisCommand{"seal", "seal a time range of a session with a user key", kUsage,
                    [](const std::vector<std::string>& arguments) {
                        return SealingTransactionCommand::run(arguments, true, kUsage);
                    }}};

}  // namespace
