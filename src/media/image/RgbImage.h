#pragma once

#include <cstdint>
#include <memory>

#include "Image.h"

// Decoded pixels for display: rows of 3-byte pixels, top row first, no padding between rows
// (pitch = 3 x width). The byte order inside a pixel is the codec's (blue, green, red for video
// frames). Type name "RGB". Does not serialize.
class RgbImage : public Image {
public:
    static constexpr const char* kTypeName = "RGB";
    static constexpr uint32_t kBytesPerPixel = 3;

    // Buffer size width x height x 3; no buffer until allocateBuffer, which also marks the whole
    // buffer as data. A size whose buffer would not fit 32 bits cannot be allocated.
    RgbImage(uint32_t width, uint32_t height);
    RgbImage(const RgbImage& other) = default;
    ~RgbImage() override;

    bool allocateBuffer() override;
    uint32_t getSerializedSize() const override { return 0; }
    uint32_t getSerializedHeaderSize() const override { return 0; }
    bool serializeToBuffer(uint8_t* buffer, uint32_t bufferSize,
                           uint32_t& bytesWritten) const override;
    std::unique_ptr<Image> clone() const override;
    bool deserializeFromBuffer(const uint8_t* buffer, uint32_t bufferSize,
                               uint32_t& bytesRead) override;

    uint32_t getBytesPerPixel() const { return kBytesPerPixel; }
    uint32_t getPitch() const { return pitch_; }
    // The first byte of row `y` (no bounds check; the buffer must be allocated).
    uint8_t* row(uint32_t y) { return getData() + static_cast<size_t>(y) * pitch_; }
    const uint8_t* row(uint32_t y) const { return getData() + static_cast<size_t>(y) * pitch_; }

private:
    uint32_t pitch_;
    bool sizeFits_;
};
