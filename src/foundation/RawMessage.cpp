#include "RawMessage.h"

#include <cstring>
#include <new>

#include "PointerChecks.h"

std::atomic<long> RawMessage::liveInstances_{0};

RawMessage::RawMessage(const void* bytes, uint32_t size) {
    bytes_ = new (std::nothrow) uint8_t[size == 0 ? 1 : size];
    CHECK_ALLOCATION(bytes_);
    if (size > 0) {
        std::memcpy(bytes_, bytes, size);
    }
    size_ = size;
    capacity_ = size;
    liveInstances_.fetch_add(1, std::memory_order_relaxed);
}

RawMessage::~RawMessage() {
    delete[] bytes_;
    liveInstances_.fetch_sub(1, std::memory_order_relaxed);
}

uint8_t* RawMessage::data(bool takeOwnership) {
    uint8_t* result = bytes_;
    if (takeOwnership) {
        bytes_ = nullptr;
        size_ = 0;
        capacity_ = 0;
    }
    return result;
}

long RawMessage::liveInstances() {
    return liveInstances_.load(std::memory_order_relaxed);
}
