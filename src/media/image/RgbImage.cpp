#include "RgbImage.h"

namespace {

uint64_t bytesFor(uint32_t width, uint32_t height) {
    return uint64_t{width} * height * RgbImage::kBytesPerPixel;
}

}  // namespace

RgbImage::RgbImage(uint32_t width, uint32_t height)
    : Image(kTypeName, width, height,
            bytesFor(width, height) > UINT32_MAX ? 0
                                                 : static_cast<uint32_t>(bytesFor(width, height))),
      pitch_(static_cast<uint32_t>(uint64_t{width} * kBytesPerPixel)),
      sizeFits_(bytesFor(width, height) <= UINT32_MAX) {}

RgbImage::~RgbImage() = default;

bool RgbImage::allocateBuffer() {
    if (!sizeFits_ || !Image::allocateBuffer()) {
        return false;
    }
    return setDataLength(getBufferSize());
}

bool RgbImage::serializeToBuffer(uint8_t*, uint32_t, uint32_t& bytesWritten) const {
    bytesWritten = 0;
    return false;
}

std::unique_ptr<Image> RgbImage::clone() const {
    return std::make_unique<RgbImage>(*this);
}

bool RgbImage::deserializeFromBuffer(const uint8_t*, uint32_t, uint32_t& bytesRead) {
    bytesRead = 0;
    return false;
}
