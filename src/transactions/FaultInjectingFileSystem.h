#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "FileSystem.h"

// Forwards every operation to another FileSystem and counts them, so that a test can fail one
// operation or stop a transaction ("crash") at each of its operations in turn:
//
//   FaultInjectingFileSystem counting(real);          // run once: operationCount() = N
//   for (uint64_t n = 1; n <= N; ++n) {
//       FaultInjectingFileSystem faulty(real);
//       faulty.crashAt(n);                             // operation n and all later ones fail
//       ... run the transaction on `faulty`, then recover on `real` and check ...
//   }
//
// A failed or crashed operation is not carried out: the disk is as it was before the call. Every
// operation, queries included, counts as one. Safe to call from several threads.
class FaultInjectingFileSystem final : public FileSystem {
public:
    enum class Fault {
        kNone,   // forward everything
        kFail,   // the Nth operation fails; later ones are forwarded
        kCrash,  // the Nth operation and every later one fail, as if the process had died
    };

    // `target` is borrowed and must outlive this object.
    explicit FaultInjectingFileSystem(FileSystem& target);
    FaultInjectingFileSystem(const FaultInjectingFileSystem&) = delete;
    FaultInjectingFileSystem& operator=(const FaultInjectingFileSystem&) = delete;

    // Operation `operation` (counted from 1) fails once.
    void failAt(uint64_t operation);
    // Operation `operation` (counted from 1) and every later one fail.
    void crashAt(uint64_t operation);
    // Back to forwarding everything; the count goes on.
    void clearFault();

    // Operations made so far, failed ones included.
    uint64_t operationCount() const;
    // True once a crash has begun.
    bool hasCrashed() const;
    // Operations that were refused by a fault.
    uint64_t failedOperationCount() const;
    // Every operation so far, in order, as its name and path ("removeFile /a/b",
    // "moveWithoutReplacing /a -> /b"), refused ones included: tests check the order of
    // operations (flushes before the commit) with it.
    std::vector<std::string> operations() const;
    // The name and path of the operation that a fault refused first ("moveWithoutReplacing /a"),
    // or "" when none was.
    std::string firstFailedOperation() const;

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
    // Counts one operation; false when a fault refuses it (the error then says so).
    bool admit(const char* operation, const std::string& path);

    FileSystem& target_;
    mutable std::mutex mutex_;
    Fault fault_ = Fault::kNone;
    uint64_t faultAt_ = 0;
    uint64_t count_ = 0;
    uint64_t failed_ = 0;
    bool crashed_ = false;
    bool lastFailureInjected_ = false;
    std::string injectedError_;
    std::string firstFailed_;
    std::vector<std::string> operations_;
};
