#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// Whole-file reads and crash-safe whole-file writes.
class FileIo {
public:
    // Reads the regular file `path` into `bytes`. False when it cannot be opened or read, is not a
    // regular file, or is larger than `maximumBytes`; `error`, when given, then says why.
    static bool readWholeFile(const std::string& path, std::string& bytes,
                              uint64_t maximumBytes = UINT32_MAX, std::string* error = nullptr);
    // Replaces `path` with `bytes` so that a crash leaves either the old or the new content: the
    // bytes go to a temporary file beside it (see AtomicFileWriter), are flushed to disk and
    // renamed over it, and the directory is flushed. A replaced regular file hands on its mode
    // and, where the process may, its owner; a new file is created 0666 less the umask. On
    // failure the old file is untouched and the temporary one removed; temporaries left by
    // interrupted writes of the same file are removed first.
    static bool writeFileAtomically(const std::string& path, std::string_view bytes,
                                    std::string* error = nullptr);
    // The same for files only their owner may read or write (mode 0600), such as key files.
    static bool writePrivateFileAtomically(const std::string& path, std::string_view bytes,
                                           std::string* error = nullptr);
    // The same, but never replacing anything: false, with `nameTaken` true, when something (even
    // a dangling symbolic link) has the name by the time the file is complete.
    static bool writeNewPrivateFile(const std::string& path, std::string_view bytes,
                                    bool& nameTaken, std::string* error = nullptr);
    // The same for content too large to hold in memory: `produce` writes it to the descriptor of
    // the temporary file (with writeAll, say) and returns false to abandon the write; `error`
    // then says so unless the producer set it.
    static bool writeFileAtomically(const std::string& path,
                                    const std::function<bool(int descriptor)>& produce,
                                    std::string* error = nullptr);
    // Writes all of `bytes` to `descriptor`, resuming after interrupted and partial writes.
    static bool writeAll(int descriptor, const void* bytes, size_t size);
    // Flushes a directory's entries (after a rename or create within it) to disk.
    static bool syncDirectory(const std::string& directory);

private:
    // `privateFile`: mode 0600 whatever the file replaced. `replaceExisting` false: never
    // replace; `nameTaken`, when given, tells whether that was why the write failed.
    static bool writeAtomically(const std::string& path,
                                const std::function<bool(int descriptor)>& produce,
                                bool privateFile, bool replaceExisting, bool* nameTaken,
                                std::string* error);
    // A producer writing `bytes`.
    static std::function<bool(int descriptor)> bytesProducer(std::string_view bytes,
                                                             std::string* error);
};
