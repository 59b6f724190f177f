#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "LiveInstanceCounter.h"

// A picture as it travels between files, codecs and the screen: a type name ("Compressed",
// "RGB"), its size in pixels and an owned byte buffer of which the first data-length bytes are in
// use. Subclasses decide what the bytes mean. Not thread-safe: one owner at a time.
class Image {
public:
    Image(std::string typeName, uint32_t width, uint32_t height, uint32_t bufferSize);
    // Copies every field and duplicates the buffer.
    Image(const Image& other);
    Image& operator=(const Image&) = delete;
    virtual ~Image();

    // (Re)allocates a buffer of getBufferSize() bytes; its contents are undefined until written.
    // False when the memory cannot be had; the image then has no buffer and data length 0.
    virtual bool allocateBuffer();
    // Fills the whole buffer with zero bytes.
    virtual void clearBuffer();
    // Bytes that serializeToBuffer writes; 0 for images that do not serialize.
    virtual uint32_t getSerializedSize() const = 0;
    // The smallest serialized form (the fixed fields).
    virtual uint32_t getSerializedHeaderSize() const = 0;
    // Writes the serialized form into `buffer` of `bufferSize` bytes. False when it does not fit or
    // the image does not serialize.
    virtual bool serializeToBuffer(uint8_t* buffer, uint32_t bufferSize,
                                   uint32_t& bytesWritten) const = 0;
    // A deep copy of the same class.
    virtual std::unique_ptr<Image> clone() const = 0;
    // Replaces this image with the serialized one at `buffer`. False, and this image unchanged,
    // when the bytes are not a well-formed serialized image.
    virtual bool deserializeFromBuffer(const uint8_t* buffer, uint32_t bufferSize,
                                       uint32_t& bytesRead) = 0;

    const std::string& getTypeName() const { return typeName_; }
    uint32_t getWidth() const { return width_; }
    uint32_t getHeight() const { return height_; }
    uint32_t getBufferSize() const { return bufferSize_; }
    uint32_t getDataLength() const { return dataLength_; }
    // Accepts only lengths not greater than the buffer size.
    bool setDataLength(uint32_t length);
    // The buffer, or null before allocateBuffer.
    uint8_t* getData() { return data_.get(); }
    const uint8_t* getData() const { return data_.get(); }

    // Live images in the process (leak diagnostics only).
    static long liveInstances() { return LiveInstanceCounter<Image>::liveInstances(); }

protected:
    void setSize(uint32_t width, uint32_t height) {
        width_ = width;
        height_ = height;
    }
    void setBufferSize(uint32_t bufferSize) { bufferSize_ = bufferSize; }
    // Takes over `data` of `bufferSize` bytes with `dataLength` of them in use.
    void adoptBuffer(std::unique_ptr<uint8_t[]> data, uint32_t bufferSize, uint32_t dataLength);

private:
    std::string typeName_;
    uint32_t width_;
    uint32_t height_;
    uint32_t bufferSize_;
    uint32_t dataLength_ = 0;
    std::unique_ptr<uint8_t[]> data_;
    LiveInstanceCounter<Image> counter_;
};
