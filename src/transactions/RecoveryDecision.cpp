#include "RecoveryDecision.h"

#include "CompletionFileXml.h"
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

constexpr const char* kWorkDirectoryUnreadable =
    "   Working directory could not be read ... no action is allowed.";
constexpr const char* kFileUnreadable =
    "   Transaction file could not be read ... no action is allowed.";

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
    // A file that cannot be read now (an I/O error, no permission) may be a committed
    // transaction: nothing is offered for it, least of all removing it.
    std::vector<DirectoryEntry> entries;
    if (!fileSystem.listDirectory(scope.workDirectory(), entries)) {
        decision.lines.push_back(kWorkDirectoryUnreadable);
        decision.detail = fileSystem.error();
        return decision;
    }
    const DirectoryEntry* sealing = nullptr;
    const DirectoryEntry* unsealing = nullptr;
    for (const DirectoryEntry& entry : entries) {
        if (entry.name == TransactionScope::kSealingCompletionFileName) {
            sealing = &entry;
        } else if (entry.name == TransactionScope::kUnsealingCompletionFileName) {
            unsealing = &entry;
        }
    }
    if (sealing != nullptr && unsealing != nullptr) {
        decision.lines.push_back(
            "   Both sealing and unsealing transaction completion files were found!  This is "
            "very bad; Auto recovery is not possible.");
        return decision;
    }
    if (sealing == nullptr && unsealing == nullptr) {
        decision.lines.push_back(
            "   No transaction completion files found ... only allowed action is working "
            "directory removal.");
        decision.action = RecoveryAction::kRemoveWorkDirectory;
        return decision;
    }
    decision.lines.push_back(sealing != nullptr
                                 ? "   Found a sealing transaction completion file ..."
                                 : "   Found an unsealing transaction completion file ...");
    const DirectoryEntry& entry = sealing != nullptr ? *sealing : *unsealing;
    std::string text;
    bool readable = entry.isRegularFile;
    if (!readable) {
        decision.detail = entry.path + " is not a regular file";
    } else if (!fileSystem.readWholeFile(entry.path, text, CompletionFileXml::kMaximumFileBytes)) {
        decision.detail = fileSystem.error();
        uint64_t size = 0;
        if (!fileSystem.fileSize(entry.path, size) ||
            size <= CompletionFileXml::kMaximumFileBytes) {
            decision.lines.push_back(kFileUnreadable);
            return decision;
        }
        readable = false;  // far too large to be a completion file of this system
    }
    bool valid = false;
    if (readable && sealing != nullptr) {
        EncryptionCompleteFile file;
        valid = file.parse(text, scope, decision.detail);
    } else if (readable) {
        DecryptionCompleteFile file;
        valid = file.parse(text, scope, decision.detail);
    }
    if (valid) {
        decision.detail.clear();
        decision.action = sealing != nullptr ? RecoveryAction::kRecoverSealing
                                             : RecoveryAction::kRecoverUnsealing;
    } else {
        decision.action = RecoveryAction::kRemoveWorkDirectory;
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
