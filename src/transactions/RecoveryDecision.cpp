#include "RecoveryDecision.h"

#include "DecryptionCompleteFile.h"
#include "EncryptionCompleteFile.h"
#include "FileSystem.h"
#include "TransactionScope.h"

namespace {

constexpr const char* kFoundWorkDirectory =
    "   Found a working directory in the archive, an unfinished sealing operation was likely "
    "interrupted.";
constexpr const char* kValid = "   Transaction file seems to be valid ... recovery is allowed.";
constexpr const char* kCorrupt =
    "   Transaction file seems to be corrupt ... only allowed action is working directory "
    "removal.";

}  // namespace

RecoveryDecision RecoveryDecision::decide(const std::string& recordingsPath,
                                          FileSystem& fileSystem) {
    RecoveryDecision decision;
    if (recordingsPath.empty()) {
        decision.lines.push_back(
            "Error!  No recordings path configured.  Can't attempt recovery with a recordings "
            "path.");
        return decision;
    }
    decision.lines.push_back("Recovering any sessions found in \"" + recordingsPath + "\" ...");
    const TransactionScope scope(recordingsPath);
    if (!fileSystem.isDirectory(scope.workDirectory())) {
        decision.lines.push_back(
            "No working directory found!  There is no session to be recovered.");
        return decision;
    }
    decision.workDirectoryFound = true;
    decision.lines.push_back(kFoundWorkDirectory);
    const bool sealing = fileSystem.exists(scope.sealingCompletionFilePath());
    const bool unsealing = fileSystem.exists(scope.unsealingCompletionFilePath());
    if (sealing && unsealing) {
        decision.lines.push_back(
            "   Both sealing and unsealing transaction completion files were found!  This is "
            "very bad; Auto recovery is not possible.");
        return decision;
    }
    bool valid = false;
    if (sealing) {
        decision.lines.push_back("   Found a sealing transaction completion file ...");
        EncryptionCompleteFile file;
        valid = file.read(fileSystem, scope, decision.detail);
        decision.action =
            valid ? RecoveryAction::kRecoverSealing : RecoveryAction::kRemoveWorkDirectory;
    } else if (unsealing) {
        decision.lines.push_back("   Found an unsealing transaction completion file ...");
        DecryptionCompleteFile file;
        valid = file.read(fileSystem, scope, decision.detail);
        decision.action =
            valid ? RecoveryAction::kRecoverUnsealing : RecoveryAction::kRemoveWorkDirectory;
    } else {
        decision.lines.push_back(
            "   No transaction completion files found ... only allowed action is working "
            "directory removal.");
        decision.action = RecoveryAction::kRemoveWorkDirectory;
        return decision;
    }
    if (valid) {
        decision.detail.clear();
    }
    decision.lines.push_back(valid ? kValid : kCorrupt);
    return decision;
}

std::string RecoveryDecision::resultLine(RecoveryAction action, bool succeeded) {
    switch (action) {
        case RecoveryAction::kRecoverSealing:
            return succeeded ? "   Sealing session recovery OK."
                             : "   Sealing session recovery FAILED!";
        case RecoveryAction::kRecoverUnsealing:
            return succeeded ? "   Unsealing session recovery OK."
                             : "   Unsealing session recovery FAILED!";
        case RecoveryAction::kRemoveWorkDirectory:
            return succeeded ? "   Recursive deletion OK."
                             : "   Recursive deletion FAILED!  Are there open files in the "
                               "working directory?";
        case RecoveryAction::kNone:
            break;
    }
    return "";
}

const char* RecoveryDecision::actionName(RecoveryAction action) {
    switch (action) {
        case RecoveryAction::kRecoverSealing:
            return "recover sealing";
        case RecoveryAction::kRecoverUnsealing:
            return "recover unsealing";
        case RecoveryAction::kRemoveWorkDirectory:
            return "remove the working directory";
        case RecoveryAction::kNone:
            break;
    }
    return "none";
}
