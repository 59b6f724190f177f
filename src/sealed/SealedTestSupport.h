#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "TemporaryDirectory.h"

// Helpers shared by the sealed layer's tests: a scratch directory per test, media-like data
// made by code, whole-file reads and writes, and running a command-line tool.
class SealedTestSupport {
public:
    // A fresh directory for the running test, removed by the destructor.
    SealedTestSupport();
    ~SealedTestSupport();
    SealedTestSupport(const SealedTestSupport&) = delete;
    SealedTestSupport& operator=(const SealedTestSupport&) = delete;

    const std::filesystem::path& directory() const { return directory_; }
    std::string path(const std::string& name) const { return (directory_ / name).string(); }
    // Creates (if needed) and returns a subdirectory.
    std::string subdirectory(const std::string& name) const;
    // Names of the entries in `directory`, sorted.
    static std::vector<std::string> entries(const std::string& directory);

    // `size` bytes that look like compressed media: pseudo-random from `seed`, with runs of
    // zero bytes and a frame-sync pattern every 417 bytes.
    static std::string mediaBytes(size_t size, uint32_t seed);
    static void writeFile(const std::string& path, const std::string& bytes);
    static std::string readFile(const std::string& path);

    // Runs `command` through the shell; returns its exit status and fills `output` with its
    // standard output (standard error is discarded).
    static int run(const std::string& command, std::string* output = nullptr);
    // Leaves in `path`'s directory what a write of `path` killed halfway leaves behind (a
    // process writing it is killed with SIGKILL); returns the path of that temporary file.
    static std::string leaveDebrisOfAKilledWrite(const std::string& path);

    // True when the openssl command-line tool can be run.
    static bool hasOpenssl();

private:
    TemporaryDirectory scratch_;
    std::filesystem::path directory_;
};
