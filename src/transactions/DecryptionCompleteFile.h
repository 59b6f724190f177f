#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "CompletionEntry.h"

class FileSystem;
class TransactionScope;

// The unsealing transaction's completion file, "DECRYPTION_COMPLETE_MOVE_IN_PROGRESS.xml" in the
// work directory; its existence commits the transaction, as EncryptionCompleteFile's does.
//
// Layout: root "DecryptionComplete" with exactly these children, in this order:
//   EncryptedFilesToDelete, VideoFilesToMove, AudioFilesToMove, ArchivedFilesToDelete
// Delete lists hold "File" elements with the full path as text, move lists empty "File"
// elements with the attributes "source" and "destination".
//
// Reading accepts the file only when the root and all four lists are there; entries without a
// path are skipped; a path outside the TransactionScope makes the whole file count as corrupt.
class DecryptionCompleteFile {
public:
    std::vector<std::string> encryptedFilesToDelete;
    std::vector<CompletionEntry> videoFilesToMove;
    std::vector<CompletionEntry> audioFilesToMove;
    std::vector<std::string> archivedFilesToDelete;

    bool operator==(const DecryptionCompleteFile&) const = default;

    std::string toXml() const;
    bool parse(std::string_view text, const TransactionScope& scope, std::string& error);
    // Writes the file durably at scope.unsealingCompletionFilePath(); refused, with nothing
    // written, as EncryptionCompleteFile::write is.
    bool write(FileSystem& fileSystem, const TransactionScope& scope, std::string& error) const;
    // Reads and parses the file at scope.unsealingCompletionFilePath().
    bool read(FileSystem& fileSystem, const TransactionScope& scope, std::string& error);
};
