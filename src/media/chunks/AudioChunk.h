#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "TransactionId.h"

// The unit in which audio moves through the decoding pipeline: a byte buffer with its format name
// ("MPEG Audio" for encoded chunks, "PCM" for decoded ones) and the transaction id it carries.
// A chunk is filled by one thread and then handed on whole; it holds no lock.
class AudioChunk {
public:
    // `bufferSize` is the capacity in bytes; the buffer itself comes with allocateBuffer.
    AudioChunk(std::string formatName, uint32_t bufferSize);
    virtual ~AudioChunk();

    AudioChunk(const AudioChunk&) = delete;
    AudioChunk& operator=(const AudioChunk&) = delete;

    // Allocates bufferSizeIs() bytes (replacing any earlier buffer; the valid length becomes 0),
    // zero-filled when asked. False when the allocation fails.
    virtual bool allocateBuffer(bool zeroFill);
    // Sets the buffer size to `size`, then allocates as above.
    bool allocateBuffer(bool zeroFill, uint32_t size);
    // Start of the buffer (null before allocateBuffer).
    virtual uint8_t* bufferIs() const;
    // Start of the buffer plus the valid length (null before allocateBuffer).
    virtual uint8_t* writePositionIs() const;
    // Copies `count` bytes to the write position when they fit in the free space; otherwise copies
    // nothing and returns false. The valid length is not changed (advanceValidLength does that).
    virtual bool appendBytes(const uint8_t* source, uint32_t count);
    // Valid length += count, never beyond the buffer size.
    virtual void advanceValidLength(uint32_t count);
    virtual uint32_t bufferSizeIs() const;
    virtual uint32_t validLengthIs() const;
    virtual uint32_t freeSpaceIs() const;

    const std::string& formatNameIs() const { return formatName_; }
    TransactionId& transactionIdIs() { return *transactionId_; }
    const TransactionId& transactionIdIs() const { return *transactionId_; }

protected:
    // Lets a derived class that filled the buffer itself set the valid length (at most the size).
    void setValidLength(uint32_t validLength);

private:
    std::string formatName_;
    std::unique_ptr<uint8_t[]> buffer_;
    uint32_t bufferSize_ = 0;
    uint32_t validLength_ = 0;
    std::unique_ptr<TransactionId> transactionId_;
};
