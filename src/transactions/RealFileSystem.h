#pragma once

#include <mutex>
#include <string>

#include "FileSystem.h"

// The file system of the machine (POSIX calls). The error text is the one place where errno
// becomes words for the transactions.
class RealFileSystem final : public FileSystem {
public:
    RealFileSystem() = default;
    RealFileSystem(const RealFileSystem&) = delete;
    RealFileSystem& operator=(const RealFileSystem&) = delete;

    bool exists(const std::string& path) override;
    bool isDirectory(const std::string& path) override;
    bool createDirectory(const std::string& path) override;
    bool removeFile(const std::string& path) override;
    bool removeDirectory(const std::string& path) override;
    bool removeRecursively(const std::string& path) override;
    bool moveWithoutReplacing(const std::string& from, const std::string& to) override;
    bool copyFile(const std::string& from, const std::string& to) override;
    bool readFileInPieces(const std::string& path, size_t pieceBytes,
                          const std::function<bool(std::string_view piece)>& consume) override;
    bool readWholeFile(const std::string& path, std::string& bytes, uint64_t maximumBytes) override;
    bool writeFileDurably(const std::string& path, std::string_view bytes) override;
    bool syncFile(const std::string& path) override;
    bool syncDirectory(const std::string& path) override;
    bool listDirectory(const std::string& path, std::vector<DirectoryEntry>& entries) override;
    bool fileSize(const std::string& path, uint64_t& bytes) override;
    std::string error() const override;
    bool alreadyExists() const override;

private:
    // Records "<what> <path>: <reason>" as the error; returns false.
    bool fail(const std::string& what, const std::string& reason, bool alreadyExists = false);
    // Flushes the directory that holds `path`.
    bool syncParent(const std::string& path);
    bool removeTree(const std::string& path);

    mutable std::mutex mutex_;
    std::string error_;
    bool alreadyExists_ = false;
};
