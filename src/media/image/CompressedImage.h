#pragma once

#include <cstdint>
#include <istream>
#include <memory>
#include <string>

#include "Image.h"

// The bytes of one encoded picture as a file stores them (a JPEG frame of a KOV file), with the
// name of its encoding. Type name "Compressed".
class CompressedImage : public Image {
public:
    static constexpr const char* kTypeName = "Compressed";
    // Fixed fields of the serialized form: width, height, buffer size, data length, maximum data
    // size, type-name length + 1, encoding-name length + 1 (seven 32-bit little-endian integers).
    static constexpr uint32_t kSerializedHeaderSize = 28;
    // Longest name (with its terminating zero) and largest data a serialized image may declare.
    static constexpr uint32_t kMaximumSerializedNameLength = 1025;
    static constexpr uint32_t kMaximumSerializedDataLength = 0x500000;
    // Largest buffer a serialized image may ask for (room for a worst-case 4K JPEG).
    static constexpr uint32_t kMaximumSerializedBufferSize = 64u << 20;

    // Data length 0 and no buffer until allocateBuffer, which allocates maximumDataSize bytes.
    CompressedImage(uint32_t width, uint32_t height, uint32_t maximumDataSize,
                    std::string encodingName);
    CompressedImage(const CompressedImage& other) = default;
    ~CompressedImage() override;

    uint32_t getSerializedSize() const override;
    uint32_t getSerializedHeaderSize() const override { return kSerializedHeaderSize; }
    bool serializeToBuffer(uint8_t* buffer, uint32_t bufferSize,
                           uint32_t& bytesWritten) const override;
    std::unique_ptr<Image> clone() const override;
    bool deserializeFromBuffer(const uint8_t* buffer, uint32_t bufferSize,
                               uint32_t& bytesRead) override;

    uint32_t getMaximumDataSize() const { return maximumDataSize_; }
    const std::string& getEncodingName() const { return encodingName_; }

private:
    uint32_t maximumDataSize_;
    std::string encodingName_;
};

// Reads getBufferSize() bytes from the stream's position into the (allocated) buffer; on success
// the data length becomes the buffer size. On failure the stream is failed and a line saying so
// goes to the standard error stream.
std::istream& operator>>(std::istream& stream, CompressedImage& image);
