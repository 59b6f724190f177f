#pragma once

#include <string>
#include <string_view>

// Where a sealing, unsealing or copy transaction may act, and the paths of its work directory and
// completion files. Completion files are read back from disk and may have been damaged or
// planted, so every path in them is checked against the scope before anything is done:
//   - paths are absolute, without empty, "." or ".." components;
//   - files to delete lie inside the recordings directory;
//   - sources of moves and copies lie inside the work directory, their destinations inside the
//     recordings directory but outside the work directory;
//   - archived copies to delete lie inside the archive location: "<location>/Recordings/<channel>/
//     <day>/<file>". Recovery does not know the archive location; then the path must at least end
//     in "Recordings/<channel>/<day>/<file>" and lie outside the recordings directory.
// Paths are compared as text; symbolic links are not resolved.
class TransactionScope {
public:
    static constexpr const char* kWorkDirectoryName = "SealingWorkInProgress";
    static constexpr const char* kSealingCompletionFileName =
        "ENCRYPTION_COMPLETE_MOVE_IN_PROGRESS.xml";
    static constexpr const char* kUnsealingCompletionFileName =
        "DECRYPTION_COMPLETE_MOVE_IN_PROGRESS.xml";

    // `recordingsPath`: ROOT/Recordings. `archiveLocation`: root of the second archive that holds
    // copies of the session's files; empty when there is none or it is not known. Trailing "/"
    // are dropped. Both are made absolute (from the current directory) and lexically normal, so
    // transactions build every path of their lists from recordingsPath() and workDirectory().
    explicit TransactionScope(std::string recordingsPath, std::string archiveLocation = "");

    const std::string& recordingsPath() const { return recordingsPath_; }
    const std::string& archiveLocation() const { return archiveLocation_; }
    // ROOT/Recordings/SealingWorkInProgress
    std::string workDirectory() const;
    std::string sealingCompletionFilePath() const;
    std::string unsealingCompletionFilePath() const;

    // The checks above; on false `error` says which rule the path breaks.
    bool isDeletableMediaPath(std::string_view path, std::string& error) const;
    bool isWorkFilePath(std::string_view path, std::string& error) const;
    bool isArchiveDestinationPath(std::string_view path, std::string& error) const;
    bool isArchivedCopyPath(std::string_view path, std::string& error) const;

    // The copy of the archive file `path` in the second archive `archiveLocation`: the location +
    // "/" + the last four components of `path` (all of it when it has fewer). "" when the
    // location is empty.
    static std::string archivedCopyPath(std::string_view archiveLocation, std::string_view path);
    // True when `path` is absolute and has no empty, "." or ".." component.
    static bool isCleanAbsolutePath(std::string_view path);
    // True when `path` lies strictly below `directory` (both clean).
    static bool isInside(std::string_view path, std::string_view directory);

private:
    std::string recordingsPath_;
    std::string archiveLocation_;
};
