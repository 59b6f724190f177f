#include "KorvalisResourceArchive.h"

#include <cstring>
#include <new>

KorvalisResourceArchive::KorvalisResourceArchive()
    : index_(std::make_unique<KorvalisResourceIndex>()) {}

KorvalisResourceArchive::~KorvalisResourceArchive() = default;

bool KorvalisResourceArchive::isOpen() const {
    std::lock_guard lock(mutex_);
    return stream_.is_open();
}

uint64_t KorvalisResourceArchive::bodyReadCount() const {
    std::lock_guard lock(mutex_);
    return bodyReads_;
}

bool KorvalisResourceArchive::open(const std::string& path) {
    std::lock_guard lock(mutex_);
    if (stream_.is_open()) {
        stream_.close();
    }
    stream_.clear();
    index_->clear();
    path_ = path;
    fileSize_ = 0;
    stream_.open(path, std::ios::in | std::ios::binary);
    if (!stream_.is_open()) {
        return false;
    }
    stream_.seekg(0, std::ios::end);
    const std::streamoff size = stream_.tellg();
    if (size <= 0) {
        stream_.clear();
        return false;
    }
    fileSize_ = static_cast<int64_t>(size);
    const auto n = static_cast<std::streamoff>(
        std::min<int64_t>(fileSize_, static_cast<int64_t>(kMaximumIndexLength)));
    std::vector<char> tail(kMaximumIndexLength + 1, '\0');
    stream_.seekg(size - n, std::ios::beg);
    stream_.read(tail.data(), n);
    if (stream_.gcount() != n) {
        stream_.clear();
        return false;
    }
    for (std::streamoff i = n - 1; i >= 0; --i) {
        if (tail[static_cast<size_t>(i)] == '\0') {
            if (i == n - 1) {
                return false;
            }
            return index_->parse(
                std::string_view(tail.data() + i + 1, static_cast<size_t>(n - i - 1)));
        }
    }
    return false;
}

KorvalisResource* KorvalisResourceArchive::cachedResource(const std::string& name) {
    const KorvalisResourceIndex::Entry* entry = index_->findEntry(name);
    if (entry == nullptr) {
        return nullptr;
    }
    KorvalisResource* resource = entry->resource.get();
    if (resource->hasData()) {
        return resource;
    }
    // The bytes must lie inside the file as opened: a damaged index cannot make us allocate or
    // read what the file does not hold.
    const int64_t length = resource->length();
    if (!entry->usable || !stream_.is_open() || entry->offset < 0 || entry->offset > fileSize_ ||
        length > fileSize_ - entry->offset) {
        return nullptr;
    }
    std::unique_ptr<uint8_t[]> data(new (std::nothrow) uint8_t[length > 0 ? length : 1]);
    if (data == nullptr) {
        return nullptr;
    }
    stream_.clear();
    stream_.seekg(static_cast<std::streamoff>(entry->offset), std::ios::beg);
    stream_.read(reinterpret_cast<char*>(data.get()), static_cast<std::streamsize>(length));
    ++bodyReads_;
    if (stream_.gcount() != static_cast<std::streamsize>(length)) {
        stream_.clear();
        return nullptr;
    }
    resource->setData(std::move(data));
    return resource;
}

bool KorvalisResourceArchive::loadResource(const std::string& name,
                                           std::unique_ptr<uint8_t[]>& buffer, uint32_t& size) {
    std::lock_guard lock(mutex_);
    buffer.reset();
    size = 0;
    KorvalisResource* resource = cachedResource(name);
    if (resource == nullptr) {
        return false;
    }
    std::unique_ptr<uint8_t[]> copy(new (std::nothrow) uint8_t[resource->length() + 1u]);
    if (copy == nullptr) {
        return false;
    }
    std::memcpy(copy.get(), resource->data(), resource->length());
    buffer = std::move(copy);
    size = resource->length();
    return true;
}

bool KorvalisResourceArchive::loadResource(const std::string& name, std::vector<uint8_t>& bytes) {
    std::lock_guard lock(mutex_);
    bytes.clear();
    KorvalisResource* resource = cachedResource(name);
    if (resource == nullptr) {
        return false;
    }
    bytes.assign(resource->data(), resource->data() + resource->length());
    return true;
}

bool KorvalisResourceArchive::readResource(const std::string& name, uint8_t* buffer,
                                           uint32_t bufferSize, uint32_t& size) {
    std::lock_guard lock(mutex_);
    size = 0;
    KorvalisResource* resource = cachedResource(name);
    if (resource == nullptr || buffer == nullptr || bufferSize < resource->length()) {
        return false;
    }
    std::memcpy(buffer, resource->data(), resource->length());
    size = resource->length();
    return true;
}
