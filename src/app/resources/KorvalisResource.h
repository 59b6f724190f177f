#pragma once

#include <cstdint>
#include <memory>
#include <string>

// One entry of the resource archive: its name, its length and, once read, its bytes, which stay
// cached for the rest of the run. Owned by its KorvalisResourceIndex.
class KorvalisResource {
public:
    KorvalisResource(std::string name, uint32_t length);
    virtual ~KorvalisResource();
    KorvalisResource(const KorvalisResource&) = delete;
    KorvalisResource& operator=(const KorvalisResource&) = delete;

    const std::string& name() const { return name_; }
    uint32_t length() const { return length_; }
    // Null until the bytes have been read.
    const uint8_t* data() const { return data_.get(); }
    bool hasData() const { return data_ != nullptr; }
    // Keeps `data` (length() bytes) as the entry's cached bytes.
    void setData(std::unique_ptr<uint8_t[]> data) { data_ = std::move(data); }

private:
    std::string name_;
    std::unique_ptr<uint8_t[]> data_;
    uint32_t length_;
};
