#pragma once

#include <cstdint>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "KorvalisResourceIndex.h"

// A resource archive appended to a file: the resource bodies one after another, one zero byte,
// then the XML index (at most kMaximumIndexLength bytes, no zero byte in it) up to the end of
// the file. `open` finds and parses the index; the bodies are read on first request and cached.
//
// Bodies are only read when they lie wholly inside the file as it was when opened: an index
// naming bytes beyond the end (or a negative place) gets false, never a huge allocation.
class KorvalisResourceArchive {
public:
    static constexpr size_t kMaximumIndexLength = 10240;

    KorvalisResourceArchive();
    virtual ~KorvalisResourceArchive();
    KorvalisResourceArchive(const KorvalisResourceArchive&) = delete;
    KorvalisResourceArchive& operator=(const KorvalisResourceArchive&) = delete;

    // Opens `path` and parses the index at its end, discarding any earlier index first. True
    // when the file opened and an index was found and parsed.
    bool open(const std::string& path);
    bool isOpen() const;
    const std::string& path() const { return path_; }

    // The whole resource in a new buffer owned by the caller, and its size. False, with `buffer`
    // empty, when the name is unknown or the bytes cannot be read.
    bool loadResource(const std::string& name, std::unique_ptr<uint8_t[]>& buffer, uint32_t& size);
    bool loadResource(const std::string& name, std::vector<uint8_t>& bytes);
    // Copies the resource into the caller's buffer when it exists and fits (`bufferSize` at
    // least its length); `size` is then its length. False otherwise.
    bool readResource(const std::string& name, uint8_t* buffer, uint32_t bufferSize,
                      uint32_t& size);

    // The index (entries, lookups). Empty until an index has been parsed.
    const KorvalisResourceIndex& index() const { return *index_; }
    // How many times a body has been read from the file (reads are cached).
    uint64_t bodyReadCount() const;

private:
    // The cached resource named `name`, its bytes read now when needed; null when unknown or
    // unreadable.
    KorvalisResource* cachedResource(const std::string& name);

    mutable std::recursive_mutex mutex_;
    std::ifstream stream_;
    std::string path_;
    std::unique_ptr<KorvalisResourceIndex> index_;
    int64_t fileSize_ = 0;
    uint64_t bodyReads_ = 0;
};
