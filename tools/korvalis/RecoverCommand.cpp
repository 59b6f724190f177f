// korvalis recover: tells what recovery offers for an interrupted sealing or unsealing
// transaction in an archive's recordings directory, and with --run carries it out.

#include <cstdio>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "KorvalisCommand.h"
#include "KorvalisSealingSession.h"
#include "RealFileSystem.h"
#include "RecoveryDecision.h"
#include "TransactionScope.h"

namespace {

constexpr const char* kUsage =
    "Usage: korvalis recover RECORDINGS_DIR [--run]\n\n"
    "Looks for an interrupted sealing or unsealing transaction in RECORDINGS_DIR (an archive's\n"
    "Recordings directory): its working directory \"SealingWorkInProgress\" and the transaction\n"
    "completion file in it. Prints what was found and the action recovery offers, as the session\n"
    "recovery window shows them. With --run the action is carried out: a committed transaction\n"
    "is completed (every step is printed), an uncommitted one is abandoned by removing the\n"
    "working directory; then the result line is printed.\n\n"
    "Exit status: 0 when there is nothing to recover, or the action offered is shown (without\n"
    "--run) or succeeded (with --run); 1 when recovery is not possible automatically or the\n"
    "action failed; 2 for a wrong command line.\n";

void printLine(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

// Carries out `action` for `recordingsPath`, printing every step; true when it succeeded.
bool carryOut(RecoveryAction action, const std::string& recordingsPath, FileSystem& fileSystem) {
    KorvalisSealingSession session(nullptr, nullptr, nullptr, fileSystem);
    switch (action) {
        case RecoveryAction::kRecoverSealing:
            return session.recoverSealing(recordingsPath, printLine);
        case RecoveryAction::kRecoverUnsealing:
            return session.recoverUnsealing(recordingsPath, printLine);
        case RecoveryAction::kRemoveWorkDirectory: {
            const std::string workDirectory = TransactionScope(recordingsPath).workDirectory();
            if (!fileSystem.removeRecursively(workDirectory)) {
                std::fprintf(stderr, "korvalis recover: %s\n", fileSystem.error().c_str());
                return false;
            }
            return true;
        }
        case RecoveryAction::kNone:
            break;
    }
    return true;
}

int runRecover(const std::vector<std::string>& arguments) {
    CommandLine line(arguments, {}, {"run"});
    if (!line.isValid() || line.positional().size() != 1) {
        std::fprintf(stderr, "korvalis recover: %s\n%s",
                     line.isValid() ? "give one recordings directory" : line.error().c_str(),
                     kUsage);
        return kExitUsage;
    }
    const std::string& recordingsPath = line.positional()[0];
    RealFileSystem fileSystem;
    const RecoveryDecision decision = RecoveryDecision::decide(recordingsPath, fileSystem);
    for (const std::string& text : decision.lines) {
        printLine(text);
    }
    if (!decision.detail.empty()) {
        std::fprintf(stderr, "korvalis recover: %s\n", decision.detail.c_str());
    }
    if (decision.action == RecoveryAction::kNone) {
        return decision.workDirectoryFound || recordingsPath.empty() ? kExitFailure : kExitSuccess;
    }
    if (!line.hasFlag("run")) {
        std::fprintf(stderr, "korvalis recover: action offered: %s (--run carries it out)\n",
                     RecoveryDecision::actionName(decision.action));
        return kExitSuccess;
    }
    const bool succeeded = carryOut(decision.action, recordingsPath, fileSystem);
    printLine(RecoveryDecision::resultLine(decision.action, succeeded));
    return succeeded ? kExitSuccess : kExitFailure;
}

const KorvalisCommandRegistration recoverRegistration({
    "recover",
    "show and carry out the recovery of an interrupted sealing or unsealing",
    kUsage,
    runRecover,
});

}  // namespace
