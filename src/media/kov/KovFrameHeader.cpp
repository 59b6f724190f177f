#include "KovFrameHeader.h"

#include <cstring>

#include "ByteOrder.h"
#include "PointerChecks.h"

namespace {

using Field = KovFrameHeaderField;

// True when the field's value at `offset` lies inside a block of `size` bytes.
bool fits(size_t size, uint32_t offset, Field::Field field) {
    return uint64_t{offset} + Field::kStandardFields[field].width <= size;
}

}  // namespace

KovFrameHeader::KovFrameHeader(const KovFileHeader* fileHeader) : fileHeader_(fileHeader) {}

KovFrameHeader::KovFrameHeader(const KovFileHeader* fileHeader, double epochTime,
                               uint64_t highResolutionTimeStamp, uint32_t frameNumber,
                               uint32_t offsetToThisFrame, uint32_t offsetToNextFrame,
                               uint32_t offsetToPriorFrame, uint32_t lengthOfFrameData)
    : fileHeader_(fileHeader),
      startMarker_(kStartMarker),
      epochTime_(epochTime),
      highResolutionTimeStamp_(highResolutionTimeStamp),
      frameNumber_(frameNumber),
      offsetToThisFrame_(offsetToThisFrame),
      offsetToNextFrame_(offsetToNextFrame),
      offsetToPriorFrame_(offsetToPriorFrame),
      lengthOfFrameData_(lengthOfFrameData) {}

KovFrameHeader::~KovFrameHeader() = default;

bool KovFrameHeader::hasValidMarker() const {
    return startMarker_ == kStartMarker &&
           (headerChecksum_ == 0 || headerChecksum_ == kAlternativeHeaderChecksum);
}

bool KovFrameHeader::contentIsValid() const {
    // An ordered comparison: a NaN time is not "earlier".
    return startMarker_ == kStartMarker && !(epochTime_ < kEarliestEpochTime) &&
           lengthOfFrameData_ >= kMinimumFrameDataLength && headerChecksum_ == 0 &&
           frameDataChecksum_ == 0;
}

bool KovFrameHeader::decodeBlock(const uint8_t* block, size_t size) {
    CHECK_POINTER(fileHeader_);
    const auto& offsets = fileHeader_->getFrameFieldOffsets();
    auto at = [&](Field::Field field) -> const uint8_t* {
        return fits(size, offsets[field], field) ? block + offsets[field] : nullptr;
    };
    auto u32 = [&](Field::Field field) -> uint32_t {
        const uint8_t* p = at(field);
        return p ? ByteOrder::readBigEndian32(p) : 0;
    };
    startMarker_ = u32(Field::kStartMarker);
    const uint8_t* time = at(Field::kEpochTime);
    epochTime_ = time ? ByteOrder::readLittleEndianDouble(time) : 0.0;
    const uint8_t* stamp = at(Field::kHighResolutionTimeStamp);
    highResolutionTimeStamp_ = stamp ? ByteOrder::readBigEndian64(stamp) : 0;
    frameNumber_ = u32(Field::kFrameNumber);
    offsetToThisFrame_ = u32(Field::kOffsetToThisFrame);
    offsetToNextFrame_ = u32(Field::kOffsetToNextFrame);
    offsetToPriorFrame_ = u32(Field::kOffsetToPriorFrame);
    lengthOfFrameData_ = u32(Field::kLengthOfFrameData);
    headerChecksum_ = u32(Field::kHeaderChecksum);
    frameDataChecksum_ = u32(Field::kFrameDataChecksum);
    valid_ = contentIsValid();
    return valid_;
}

bool KovFrameHeader::readFromStream(std::istream& stream) {
    CHECK_POINTER(fileHeader_);
    valid_ = false;
    const uint32_t length = fileHeader_->getFrameHeaderLength();
    if (length > KovFileHeader::kMaximumFrameHeaderLength) {
        return false;
    }
    uint8_t block[KovFileHeader::kMaximumFrameHeaderLength] = {};
    stream.read(reinterpret_cast<char*>(block), length);
    if (stream.fail()) {
        return false;
    }
    decodeBlock(block, sizeof block);
    valid_ = valid_ && !stream.fail() && !stream.eof();
    return valid_;
}

void KovFrameHeader::encodeBlock(uint8_t* block) const {
    CHECK_POINTER(fileHeader_);
    const uint32_t size = fileHeader_->getFrameHeaderLength();
    std::memset(block, 0, size);
    const auto& offsets = fileHeader_->getFrameFieldOffsets();
    // Fields that do not fit the block are left out (a table this system writes always fits).
    auto at = [&](Field::Field field) -> uint8_t* {
        return fits(size, offsets[field], field) ? block + offsets[field] : nullptr;
    };
    auto put32 = [&](Field::Field field, uint32_t value) {
        if (uint8_t* p = at(field)) {
            ByteOrder::writeBigEndian32(p, value);
        }
    };
    put32(Field::kStartMarker, kStartMarker);
    if (uint8_t* p = at(Field::kEpochTime)) {
        ByteOrder::writeLittleEndianDouble(p, epochTime_);
    }
    if (uint8_t* p = at(Field::kHighResolutionTimeStamp)) {
        ByteOrder::writeBigEndian64(p, highResolutionTimeStamp_);
    }
    put32(Field::kFrameNumber, frameNumber_);
    put32(Field::kOffsetToThisFrame, offsetToThisFrame_);
    put32(Field::kOffsetToNextFrame, offsetToNextFrame_);
    put32(Field::kOffsetToPriorFrame, offsetToPriorFrame_);
    put32(Field::kLengthOfFrameData, lengthOfFrameData_);
    put32(Field::kHeaderChecksum, headerChecksum_);
    put32(Field::kFrameDataChecksum, frameDataChecksum_);
}

bool KovFrameHeader::writeToStream(std::ostream& stream) const {
    CHECK_POINTER(fileHeader_);
    const uint32_t length = fileHeader_->getFrameHeaderLength();
    stream.clear();
    if (length > KovFileHeader::kMaximumFrameHeaderLength) {
        stream.setstate(std::ios::failbit);
        return false;
    }
    uint8_t block[KovFileHeader::kMaximumFrameHeaderLength];
    encodeBlock(block);
    stream.write(reinterpret_cast<const char*>(block), length);
    return !stream.fail();
}

std::istream& operator>>(std::istream& stream, KovFrameHeader& header) {
    header.readFromStream(stream);
    return stream;
}

std::ostream& operator<<(std::ostream& stream, const KovFrameHeader& header) {
    header.writeToStream(stream);
    return stream;
}
