#include "Image.h"

#include <cstring>
#include <new>

#include "PointerChecks.h"

Image::Image(std::string typeName, uint32_t width, uint32_t height, uint32_t bufferSize)
    : typeName_(std::move(typeName)), width_(width), height_(height), bufferSize_(bufferSize) {}

Image::Image(const Image& other)
    : typeName_(other.typeName_),
      width_(other.width_),
      height_(other.height_),
      bufferSize_(other.bufferSize_),
      dataLength_(other.dataLength_) {
    if (other.data_) {
        data_.reset(new (std::nothrow) uint8_t[bufferSize_ == 0 ? 1 : bufferSize_]);
        CHECK_ALLOCATION(data_);
        std::memcpy(data_.get(), other.data_.get(), bufferSize_);
    }
}

Image::~Image() = default;

bool Image::allocateBuffer() {
    data_.reset();
    dataLength_ = 0;
    // Never a zero-sized array, so that an allocated buffer is always distinguishable from none.
    data_.reset(new (std::nothrow) uint8_t[bufferSize_ == 0 ? 1 : bufferSize_]);
    return data_ != nullptr;
}

void Image::clearBuffer() {
    if (data_) {
        std::memset(data_.get(), 0, bufferSize_);
    }
}

bool Image::setDataLength(uint32_t length) {
    if (length > bufferSize_) {
        return false;
    }
    dataLength_ = length;
    return true;
}

void Image::adoptBuffer(std::unique_ptr<uint8_t[]> data, uint32_t bufferSize, uint32_t dataLength) {
    data_ = std::move(data);
    bufferSize_ = bufferSize;
    dataLength_ = dataLength;
}
