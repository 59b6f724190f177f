#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "CompletionEntry.h"

class FileSystem;
class TransactionScope;

// The sealing transaction's completion file, "ENCRYPTION_COMPLETE_MOVE_IN_PROGRESS.xml" in the
// work directory. Its existence commits the transaction: every change listed in it is carried
// out, by the sealing run or by recovery, and only the changes read back from the file.
//
// Layout: root "EncryptionComplete" with exactly these children, in this order:
//   VideoFilesToDelete, VideoFilesToMove, VideoFilesToCopy, AudioFilesToDelete,
//   AudioFilesToMove, AudioFilesToCopy, ArchivedFilesToDelete
// Each holds "File" elements: in the delete lists with the full path as text, in the move and
// copy lists empty with the attributes "source" and "destination".
//
// Reading accepts the file only when the root and all seven lists are there; move and copy
// entries without a source or destination and delete entries without text are skipped. Every
// path must lie where the TransactionScope allows; one that does not makes the whole file count
// as corrupt, so nothing in it is carried out.
class EncryptionCompleteFile {
public:
    std::vector<std::string> videoFilesToDelete;
    std::vector<CompletionEntry> videoFilesToMove;
    std::vector<CompletionEntry> videoFilesToCopy;
    std::vector<std::string> audioFilesToDelete;
    std::vector<CompletionEntry> audioFilesToMove;
    std::vector<CompletionEntry> audioFilesToCopy;
    std::vector<std::string> archivedFilesToDelete;

    bool operator==(const EncryptionCompleteFile&) const = default;

    // The XML text of the lists.
    std::string toXml() const;
    // Replaces the lists by those of `text`, checked against `scope`. False (lists emptied,
    // `error` saying why) when the text is not such a file or a path lies outside the scope.
    bool parse(std::string_view text, const TransactionScope& scope, std::string& error);

    // Writes the file durably at scope.sealingCompletionFilePath() (see
    // FileSystem::writeFileDurably). Refused, with nothing written, when a path lies outside the
    // scope or would not read back exactly as it is (an empty path, characters XML cannot hold).
    bool write(FileSystem& fileSystem, const TransactionScope& scope, std::string& error) const;
    // Reads and parses the file at scope.sealingCompletionFilePath().
    bool read(FileSystem& fileSystem, const TransactionScope& scope, std::string& error);
};
