#include "AudioChunk.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "PointerChecks.h"

AudioChunk::AudioChunk(std::string formatName, uint32_t bufferSize)
    : formatName_(std::move(formatName)), bufferSize_(bufferSize) {
    transactionId_.reset(new (std::nothrow) TransactionId());
    CHECK_ALLOCATION(transactionId_);
}

AudioChunk::~AudioChunk() = default;

bool AudioChunk::allocateBuffer(bool zeroFill) {
    buffer_.reset(new (std::nothrow) uint8_t[bufferSize_ == 0 ? 1 : bufferSize_]);
    validLength_ = 0;
    if (!buffer_) {
        return false;
    }
    if (zeroFill) {
        std::memset(buffer_.get(), 0, bufferSize_);
    }
    return true;
}

bool AudioChunk::allocateBuffer(bool zeroFill, uint32_t size) {
    bufferSize_ = size;
    return allocateBuffer(zeroFill);
}

uint8_t* AudioChunk::bufferIs() const {
    return buffer_.get();
}

uint8_t* AudioChunk::writePositionIs() const {
    return buffer_ ? buffer_.get() + validLength_ : nullptr;
}

bool AudioChunk::appendBytes(const uint8_t* source, uint32_t count) {
    if (!buffer_ || count > freeSpaceIs()) {
        return false;
    }
    if (count > 0) {
        std::memcpy(buffer_.get() + validLength_, source, count);
    }
    return true;
}

void AudioChunk::advanceValidLength(uint32_t count) {
    validLength_ += std::min(count, freeSpaceIs());
}

uint32_t AudioChunk::bufferSizeIs() const {
    return bufferSize_;
}

uint32_t AudioChunk::validLengthIs() const {
    return validLength_;
}

uint32_t AudioChunk::freeSpaceIs() const {
    return bufferSize_ - validLength_;
}

void AudioChunk::setValidLength(uint32_t validLength) {
    validLength_ = std::min(validLength, bufferSize_);
}
