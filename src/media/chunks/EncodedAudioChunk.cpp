#include "EncodedAudioChunk.h"

#include <cstring>

#include "ByteOrder.h"

namespace {

constexpr uint8_t kTag[4] = {'E', 'A', 'C', '1'};

uint64_t join(uint32_t low, uint32_t high) {
    return (static_cast<uint64_t>(high) << 32) | low;
}

}  // namespace

EncodedAudioChunk::EncodedAudioChunk(uint32_t byteLength, uint32_t sampleRate,
                                     uint32_t numberOfSamples, std::string formatName,
                                     double startTime, bool flag, uint32_t firstValueLow,
                                     uint32_t firstValueHigh, uint32_t secondValueLow,
                                     uint32_t secondValueHigh)
    : AudioChunk(std::move(formatName), byteLength),
      sampleRate_(sampleRate),
      numberOfSamples_(numberOfSamples),
      duration_(sampleRate == 0
                    ? 0.0f
                    : static_cast<float>(numberOfSamples) / static_cast<float>(sampleRate)),
      startTime_(startTime),
      flag_(flag),
      firstValue_(join(firstValueLow, firstValueHigh)),
      secondValue_(join(secondValueLow, secondValueHigh)) {}

float EncodedAudioChunk::secondsPerSampleIs() const {
    return sampleRate_ == 0 ? 0.0f : 1.0f / static_cast<float>(sampleRate_);
}

uint32_t EncodedAudioChunk::getSerializedSize() const {
    return kSerializedHeaderSize + static_cast<uint32_t>(formatNameIs().size()) + validLengthIs();
}

bool EncodedAudioChunk::serializeToBuffer(uint8_t* buffer, uint32_t bufferSize,
                                          uint32_t& bytesWritten) const {
    bytesWritten = 0;
    const std::string& name = formatNameIs();
    if (buffer == nullptr || name.size() > kMaximumFormatNameLength ||
        validLengthIs() > kMaximumSerializedDataLength || bufferSize < getSerializedSize()) {
        return false;
    }
    uint8_t* p = buffer;
    std::memcpy(p, kTag, 4);
    ByteOrder::writeLittleEndian32(p + 4, static_cast<uint32_t>(name.size()));
    ByteOrder::writeLittleEndian32(p + 8, sampleRate_);
    ByteOrder::writeLittleEndian32(p + 12, numberOfSamples_);
    ByteOrder::writeLittleEndianDouble(p + 16, startTime_);
    p[24] = flag_ ? 1 : 0;
    p[25] = p[26] = p[27] = 0;
    ByteOrder::writeLittleEndian64(p + 28, firstValue_);
    ByteOrder::writeLittleEndian64(p + 36, secondValue_);
    ByteOrder::writeLittleEndian32(p + 44, transactionIdIs().idNumberIs());
    ByteOrder::writeLittleEndian32(p + 48, validLengthIs());
    p += kSerializedHeaderSize;
    std::memcpy(p, name.data(), name.size());
    p += name.size();
    if (validLengthIs() > 0) {
        std::memcpy(p, bufferIs(), validLengthIs());
    }
    bytesWritten = getSerializedSize();
    return true;
}

std::unique_ptr<EncodedAudioChunk> EncodedAudioChunk::deserializeFromBuffer(const uint8_t* buffer,
                                                                            uint32_t bufferSize,
                                                                            uint32_t& bytesRead) {
    bytesRead = 0;
    if (buffer == nullptr || bufferSize < kSerializedHeaderSize ||
        std::memcmp(buffer, kTag, 4) != 0) {
        return nullptr;
    }
    const uint32_t nameLength = ByteOrder::readLittleEndian32(buffer + 4);
    const uint32_t dataLength = ByteOrder::readLittleEndian32(buffer + 48);
    if (nameLength > kMaximumFormatNameLength || dataLength > kMaximumSerializedDataLength ||
        bufferSize - kSerializedHeaderSize < nameLength + dataLength) {
        return nullptr;
    }
    const double startTime = ByteOrder::readLittleEndianDouble(buffer + 16);
    const uint64_t first = ByteOrder::readLittleEndian64(buffer + 28);
    const uint64_t second = ByteOrder::readLittleEndian64(buffer + 36);
    std::string name(reinterpret_cast<const char*>(buffer + kSerializedHeaderSize), nameLength);
    auto chunk = std::make_unique<EncodedAudioChunk>(
        dataLength, ByteOrder::readLittleEndian32(buffer + 8),
        ByteOrder::readLittleEndian32(buffer + 12), std::move(name), startTime, buffer[24] != 0,
        static_cast<uint32_t>(first), static_cast<uint32_t>(first >> 32),
        static_cast<uint32_t>(second), static_cast<uint32_t>(second >> 32));
    if (!chunk->allocateBuffer(false) ||
        !chunk->appendBytes(buffer + kSerializedHeaderSize + nameLength, dataLength)) {
        return nullptr;
    }
    chunk->advanceValidLength(dataLength);
    chunk->transactionIdIs().setIdNumber(ByteOrder::readLittleEndian32(buffer + 44));
    bytesRead = kSerializedHeaderSize + nameLength + dataLength;
    return chunk;
}
