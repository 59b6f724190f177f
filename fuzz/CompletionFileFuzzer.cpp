// Feeds arbitrary bytes to the readers of the sealing and unsealing transaction completion files.
// Whatever they accept must lie inside the transaction's scope, and must print as a file that
// reads back inside it too.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "DecryptionCompleteFile.h"
#include "EncryptionCompleteFile.h"
#include "TransactionScope.h"

namespace {

void checkDeletes(const std::vector<std::string>& paths, const TransactionScope& scope) {
    std::string error;
    for (const std::string& path : paths) {
        if (!scope.isDeletableMediaPath(path, error)) {
            std::abort();
        }
    }
}

void checkEntries(const std::vector<CompletionEntry>& entries, const TransactionScope& scope) {
    std::string error;
    for (const CompletionEntry& entry : entries) {
        if (!scope.isWorkFilePath(entry.source, error) ||
            !scope.isArchiveDestinationPath(entry.destination, error)) {
            std::abort();
        }
    }
}

void checkArchived(const std::vector<std::string>& paths, const TransactionScope& scope) {
    std::string error;
    for (const std::string& path : paths) {
        if (!scope.isArchivedCopyPath(path, error)) {
            std::abort();
        }
    }
}

template <typename File>
void checkReprinted(const File& file, const TransactionScope& scope) {
    File again;
    std::string error;
    if (!again.parse(file.toXml(), scope, error)) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    // Short paths, so that the fuzzer can reach them.
    static const TransactionScope scopes[] = {TransactionScope("/a/Recordings"),
                                              TransactionScope("/a/Recordings", "/b")};
    for (const TransactionScope& scope : scopes) {
        std::string error;
        EncryptionCompleteFile sealing;
        if (sealing.parse(text, scope, error)) {
            checkDeletes(sealing.videoFilesToDelete, scope);
            checkDeletes(sealing.audioFilesToDelete, scope);
            checkEntries(sealing.videoFilesToMove, scope);
            checkEntries(sealing.videoFilesToCopy, scope);
            checkEntries(sealing.audioFilesToMove, scope);
            checkEntries(sealing.audioFilesToCopy, scope);
            checkArchived(sealing.archivedFilesToDelete, scope);
            checkReprinted(sealing, scope);
        } else if (!(sealing == EncryptionCompleteFile())) {
            std::abort();  // a refused file leaves no list behind
        }
        DecryptionCompleteFile unsealing;
        if (unsealing.parse(text, scope, error)) {
            checkDeletes(unsealing.encryptedFilesToDelete, scope);
            checkEntries(unsealing.videoFilesToMove, scope);
            checkEntries(unsealing.audioFilesToMove, scope);
            checkArchived(unsealing.archivedFilesToDelete, scope);
            checkReprinted(unsealing, scope);
        } else if (!(unsealing == DecryptionCompleteFile())) {
            std::abort();
        }
    }
    return 0;
}
