#include "CompressedImage.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "ByteOrder.h"
#include "SystemError.h"

CompressedImage::CompressedImage(uint32_t width, uint32_t height, uint32_t maximumDataSize,
                                 std::string encodingName)
    : Image(kTypeName, width, height, maximumDataSize),
      maximumDataSize_(maximumDataSize),
      encodingName_(std::move(encodingName)) {}

CompressedImage::~CompressedImage() = default;

uint32_t CompressedImage::getSerializedSize() const {
    const uint64_t size = uint64_t{kSerializedHeaderSize} + getTypeName().size() + 1 +
                          encodingName_.size() + 1 + getDataLength();
    return size > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(size);
}

bool CompressedImage::serializeToBuffer(uint8_t* buffer, uint32_t bufferSize,
                                        uint32_t& bytesWritten) const {
    bytesWritten = 0;
    const uint32_t typeLength = static_cast<uint32_t>(getTypeName().size() + 1);
    const uint32_t encodingLength = static_cast<uint32_t>(encodingName_.size() + 1);
    const uint64_t size =
        uint64_t{kSerializedHeaderSize} + typeLength + encodingLength + getDataLength();
    if (buffer == nullptr || size > bufferSize || (getDataLength() > 0 && getData() == nullptr)) {
        return false;
    }
    const uint32_t fields[7] = {getWidth(),       getHeight(), getBufferSize(), getDataLength(),
                                maximumDataSize_, typeLength,  encodingLength};
    for (int i = 0; i < 7; ++i) {
        ByteOrder::writeLittleEndian32(buffer + 4 * i, fields[i]);
    }
    uint8_t* cursor = buffer + kSerializedHeaderSize;
    std::memcpy(cursor, getTypeName().c_str(), typeLength);
    cursor += typeLength;
    std::memcpy(cursor, encodingName_.c_str(), encodingLength);
    cursor += encodingLength;
    if (getDataLength() > 0) {
        std::memcpy(cursor, getData(), getDataLength());
    }
    bytesWritten = static_cast<uint32_t>(size);
    return true;
}

std::unique_ptr<Image> CompressedImage::clone() const {
    return std::make_unique<CompressedImage>(*this);
}

bool CompressedImage::deserializeFromBuffer(const uint8_t* buffer, uint32_t bufferSize,
                                            uint32_t& bytesRead) {
    bytesRead = 0;
    if (buffer == nullptr || bufferSize < kSerializedHeaderSize) {
        return false;
    }
    uint32_t fields[7];
    for (int i = 0; i < 7; ++i) {
        fields[i] = ByteOrder::readLittleEndian32(buffer + 4 * i);
    }
    const uint32_t width = fields[0];
    const uint32_t height = fields[1];
    const uint32_t dataLength = fields[3];
    const uint32_t maximumDataSize = fields[4];
    const uint32_t typeLength = fields[5];
    const uint32_t encodingLength = fields[6];
    if (typeLength > kMaximumSerializedNameLength ||
        encodingLength > kMaximumSerializedNameLength ||
        dataLength > kMaximumSerializedDataLength || dataLength > maximumDataSize ||
        maximumDataSize > kMaximumSerializedBufferSize) {
        return false;
    }
    const uint64_t size =
        uint64_t{kSerializedHeaderSize} + typeLength + encodingLength + dataLength;
    if (size > bufferSize) {
        return false;
    }
    // Names are read up to their first zero byte, as C strings would be.
    auto readName = [](const uint8_t* bytes, uint32_t length) {
        const void* zero = std::memchr(bytes, 0, length);
        const size_t end = zero ? static_cast<const uint8_t*>(zero) - bytes : length;
        return std::string(reinterpret_cast<const char*>(bytes), end);
    };
    // The type name is always "Compressed" for this class: it is stepped over.
    const uint8_t* cursor = buffer + kSerializedHeaderSize + typeLength;
    std::string encodingName = readName(cursor, encodingLength);
    cursor += encodingLength;

    std::unique_ptr<uint8_t[]> data(new (std::nothrow)
                                        uint8_t[maximumDataSize == 0 ? 1 : maximumDataSize]);
    if (!data) {
        return false;
    }
    if (dataLength > 0) {
        std::memcpy(data.get(), cursor, dataLength);
    }
    setSize(width, height);
    maximumDataSize_ = maximumDataSize;
    encodingName_ = std::move(encodingName);
    adoptBuffer(std::move(data), maximumDataSize, dataLength);
    bytesRead = static_cast<uint32_t>(size);
    return true;
}

std::istream& operator>>(std::istream& stream, CompressedImage& image) {
    stream.clear();
    if (image.getData() == nullptr) {
        stream.setstate(std::ios::failbit);
    } else {
        stream.read(reinterpret_cast<char*>(image.getData()), image.getBufferSize());
    }
    if (stream.fail()) {
        std::fprintf(stderr,
                     "operator>> (CompressedImage): Error! Failure during read. "
                     "strerror(errno)=\"%s\"\n",
                     SystemError::last().c_str());
    } else {
        image.setDataLength(image.getBufferSize());
    }
    return stream;
}
