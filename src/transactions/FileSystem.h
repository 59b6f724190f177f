#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "DirectoryLister.h"

// Every file operation the sealing, unsealing, recovery and copy transactions make goes through
// this interface, so that a test can put a FaultInjectingFileSystem in between and stop a
// transaction at any one of its steps. RealFileSystem does the work.
//
// Each operation returns true on success. On failure it returns false and error() says why, in
// words that name the path ("Could not remove /a/b: Permission denied"). Operations that change
// the disk make the change durable before they return: a created, removed or renamed entry has
// its directory flushed, a written file has been flushed before it got its name.
//
// Implementations are safe to call from several threads; error() then gives the text of the
// most recent failure of any thread, so a caller that shares the object reads it right after its
// own failed call.
class FileSystem {
public:
    // Pieces in which files are copied and read: 2 MiB.
    static constexpr size_t kPieceBytes = 2097152;

    virtual ~FileSystem() = default;

    // True when anything (even a dangling symbolic link) has the name `path`. A false answer
    // also comes when the question cannot be answered; error() then says why.
    virtual bool exists(const std::string& path) = 0;
    // True when `path` is a directory (symbolic links followed).
    virtual bool isDirectory(const std::string& path) = 0;

    // Creates the directory `path` (its parent must exist); an existing directory is no error.
    virtual bool createDirectory(const std::string& path) = 0;
    // Removes the file (or symbolic link) `path`; false when there is none.
    virtual bool removeFile(const std::string& path) = 0;
    // Removes the empty directory `path`.
    virtual bool removeDirectory(const std::string& path) = 0;
    // Removes the directory `path` with everything below it, read-only files included; symbolic
    // links are removed, never followed. Stops at the first entry that cannot be removed.
    virtual bool removeRecursively(const std::string& path) = 0;

    // Gives the file `from` the name `to`, never replacing anything that has that name (even a
    // dangling symbolic link): false, with alreadyExists() true, when `to` exists. Both
    // directories are flushed.
    virtual bool moveWithoutReplacing(const std::string& from, const std::string& to) = 0;
    // Copies the file `from` to the new file `to` in pieces of kPieceBytes. The copy appears under
    // its name only when complete and flushed, and never replaces anything: false, with
    // alreadyExists() true, when `to` exists.
    virtual bool copyFile(const std::string& from, const std::string& to) = 0;
    // Hands the bytes of the file `path` to `consume` in pieces of at most `pieceBytes`, in order,
    // until the end or until `consume` returns false (then false, error() saying so).
    virtual bool readFileInPieces(const std::string& path, size_t pieceBytes,
                                  const std::function<bool(std::string_view piece)>& consume) = 0;

    // Reads the regular file `path` whole; false when it is larger than `maximumBytes`.
    virtual bool readWholeFile(const std::string& path, std::string& bytes,
                               uint64_t maximumBytes) = 0;
    // Replaces `path` by `bytes` so that a crash leaves the old content or the whole new one:
    // written under a temporary name beside it, flushed, renamed into place, directory flushed.
    virtual bool writeFileDurably(const std::string& path, std::string_view bytes) = 0;

    // Flushes the file `path` to disk.
    virtual bool syncFile(const std::string& path) = 0;
    // Flushes the entries of the directory `path` to disk.
    virtual bool syncDirectory(const std::string& path) = 0;

    // The entries of the directory `path` ("." and ".." excluded) in DirectoryLister's order.
    virtual bool listDirectory(const std::string& path, std::vector<DirectoryEntry>& entries) = 0;
    // The size in bytes of the file `path`.
    virtual bool fileSize(const std::string& path, uint64_t& bytes) = 0;

    // Why the most recent failed operation failed.
    virtual std::string error() const = 0;
    // True when the most recent failed move or copy failed because its destination exists.
    virtual bool alreadyExists() const = 0;
};
