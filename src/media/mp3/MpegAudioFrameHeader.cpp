#include "MpegAudioFrameHeader.h"

#include "ByteOrder.h"

namespace {

// Bit rates in kbit/s by bit-rate index; index 0 is free format and 15 is forbidden (both 0).
// MPEG-1 (ISO/IEC 11172-3), Layers I, II, III.
constexpr uint16_t kMpeg1BitRates[3][16] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
};
// MPEG-2 and MPEG-2.5 low sampling rates (ISO/IEC 13818-3): Layer I, then Layers II and III.
constexpr uint16_t kLowRateBitRates[2][16] = {
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
};
constexpr uint32_t kSampleRates[3] = {44100, 48000, 32000};  // MPEG-1; halved for 2, quartered 2.5

bool versionIsKnown(uint32_t versionId) {
    return versionId != MpegAudioFrameHeader::kVersionReserved;
}

// 0 for Layer I, 1 for Layer II, 2 for Layer III.
uint32_t layerRow(uint32_t layer) {
    return 3 - layer;
}

}  // namespace

MpegAudioFrameHeader::MpegAudioFrameHeader(const uint8_t* bytes)
    : word_(ByteOrder::readBigEndian32(bytes)) {
    const uint32_t h = word_;
    validSync_ = ((h >> 21) & 0x7FF) == 0x7FF;
    versionId_ = (h >> 19) & 3;
    layer_ = (h >> 17) & 3;
    crcProtected_ = ((h >> 16) & 1) == 0;
    bitRateIndex_ = (h >> 12) & 15;
    const uint32_t sampleRateIndex = (h >> 10) & 3;
    padding_ = ((h >> 9) & 1) != 0;
    privateBit_ = ((h >> 8) & 1) != 0;
    channelMode_ = (h >> 6) & 3;
    modeExtension_ = (h >> 4) & 3;
    copyrightFlag_ = ((h >> 3) & 1) != 0;
    originalFlag_ = ((h >> 2) & 1) != 0;
    emphasis_ = h & 3;

    if (versionIsKnown(versionId_) && layer_ != kLayerReserved) {
        if (versionId_ == kVersion1) {
            bitRateKbps_ = kMpeg1BitRates[layerRow(layer_)][bitRateIndex_];
        } else {
            bitRateKbps_ = kLowRateBitRates[layer_ == kLayer1 ? 0 : 1][bitRateIndex_];
        }
        if (layer_ == kLayer1) {
            samplesPerFrame_ = 384;
        } else if (layer_ == kLayer2 || versionId_ == kVersion1) {
            samplesPerFrame_ = 1152;
        } else {
            samplesPerFrame_ = 576;
        }
    }
    if (versionIsKnown(versionId_) && sampleRateIndex < 3) {
        const uint32_t divisor = versionId_ == kVersion1 ? 1 : versionId_ == kVersion2 ? 2 : 4;
        sampleRate_ = kSampleRates[sampleRateIndex] / divisor;
    }
}

bool MpegAudioFrameHeader::mayCarryStamp() const {
    return validSync_ && !crcProtected_ && channelMode_ == kChannelModeSingle &&
           modeExtension_ == 0 && !copyrightFlag_ && !originalFlag_ && emphasis_ == 0;
}

uint32_t MpegAudioFrameHeader::frameSize() const {
    if (bitRateKbps_ == 0 || sampleRate_ == 0 || samplesPerFrame_ == 0) {
        return 0;
    }
    if (layer_ == kLayer1) {
        // Layer I frames are counted in slots of four bytes.
        return (12 * bitRateKbps_ * 1000 / sampleRate_ + (padding_ ? 1 : 0)) * 4;
    }
    return samplesPerFrame_ / 8 * (bitRateKbps_ * 1000) / sampleRate_ + (padding_ ? 1 : 0);
}

float MpegAudioFrameHeader::frameDuration() const {
    if (sampleRate_ == 0) {
        return 0.0f;
    }
    return static_cast<float>(samplesPerFrame_) / static_cast<float>(sampleRate_);
}

const char* MpegAudioFrameHeader::versionName() const {
    switch (versionId_) {
        case kVersion1:
            return "1";
        case kVersion2:
            return "2";
        case kVersion25:
            return "2.5";
        default:
            return "reserved";
    }
}

int MpegAudioFrameHeader::layerNumber() const {
    return layer_ == kLayerReserved ? 0 : static_cast<int>(4 - layer_);
}

void MpegAudioFrameHeader::setPrivateBit(uint8_t* bytes, bool value) {
    bytes[2] = static_cast<uint8_t>(value ? (bytes[2] | 1) : (bytes[2] & ~1));
}
