// korvalis unseal: the sealed media files inside a time range restored, in one transaction.
#include "KorvalisCommand.h"
#include "SealingTransactionCommand.h"

namespace {

constexpr const char* kUsage =
    "Usage: korvalis unseal ROOTS LOCATION YYYYMMDD --from T --to T --key USERKEY.xml\n"
    "                       [--passphrase-file F] [--archive-location DIR]\n\n"
    "Unseals every sealed media file of a session that lies entirely inside [T, T]: each is\n"
    "decrypted back into its clear media file and the sealed file removed, in a transaction that\n"
    "a crash cannot leave half-done (korvalis recover finishes an interrupted one).\n\n"
    "  --from T, --to T       the range, epoch seconds (or hexadecimal with 0x)\n"
    "  --key USERKEY.xml      the user key file; its passphrase is asked on the terminal\n"
    "  --passphrase-file F    read the passphrase from the first line of F instead\n"
    "  --archive-location DIR the root of a second archive holding copies of the session's "
    "files\n\n"
    "The transaction's messages go to standard output, its progress to standard error (a bar on\n"
    "a terminal). Exit status 0 only when the range was unsealed. ROOTS are archive paths\n"
    "separated by ';'.\n";

const KorvalisCommandRegistration registration{
    KorvalisCommand{"unseal", "unseal the sealed files of a time range of a session", kUsage,
                    [](const std::vector<std::string>& arguments) {
                        return SealingTransactionCommand::run(arguments, false, kUsage);
                    }}};

}  // namespace
