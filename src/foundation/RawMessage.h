#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

// An owned, unterminated byte buffer: the packed form of a record. Consumers use size().
class RawMessage {
public:
    // Copies `size` bytes from `bytes` (which may be null when size is 0).
    RawMessage(const void* bytes, uint32_t size);
    ~RawMessage();

    RawMessage(const RawMessage&) = delete;
    RawMessage& operator=(const RawMessage&) = delete;

    // The buffer. With takeOwnership the message forgets it and the caller frees it with
    // delete[]; afterwards data() returns null and size() 0.
    uint8_t* data(bool takeOwnership = false);
    const uint8_t* data() const { return bytes_; }
    uint32_t size() const { return size_; }
    uint32_t capacity() const { return capacity_; }

    // Live RawMessage objects in the process (leak diagnostics only).
    static long liveInstances();

private:
    uint8_t* bytes_ = nullptr;
    uint32_t size_ = 0;
    uint32_t capacity_ = 0;
    static std::atomic<long> liveInstances_;
};
