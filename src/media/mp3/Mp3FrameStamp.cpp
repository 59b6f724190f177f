#include "Mp3FrameStamp.h"

#include <cmath>
#include <cstring>

#include "ByteOrder.h"
#include "MpegAudioFrameHeader.h"

namespace {

// Side information of a single-channel MPEG-2/2.5 Layer III frame: main_data_begin (8 bits),
// private bits (1), then the one granule's part2_3_length (12), big_values (9) and the rest,
// 72 bits in all.
constexpr uint32_t kLowRateMonoSideInfoSize = 9;

bool isLowRateMonoLayer3(const MpegAudioFrameHeader& header) {
    return header.hasValidSync() && header.layer() == MpegAudioFrameHeader::kLayer3 &&
           (header.versionId() == MpegAudioFrameHeader::kVersion2 ||
            header.versionId() == MpegAudioFrameHeader::kVersion25) &&
           header.channelMode() == MpegAudioFrameHeader::kChannelModeSingle &&
           !header.crcProtected();
}

}  // namespace

bool Mp3FrameStamp::isPlausible(double stamp) {
    return std::isfinite(stamp) && stamp >= 0.0 && stamp < 4294967296.0;
}

bool Mp3FrameStamp::scan(const uint8_t* frame, uint32_t frameSize, double& stamp) {
    uint32_t i = frameSize;
    while (i > 0 && frame[i - 1] == 0) {
        --i;
    }
    if (i == 0) {
        return false;
    }
    const uint32_t t = i - 1;
    if (t < kMinimumTIndex || frame[t] != 'T' || frame[t - 9] != 'V') {
        return false;
    }
    stamp = ByteOrder::readLittleEndianDouble(frame + t - 8);
    return true;
}

bool Mp3FrameStamp::find(const uint8_t* frame, uint32_t frameSize, double& stamp) {
    if (frameSize < MpegAudioFrameHeader::kSize) {
        return false;
    }
    const MpegAudioFrameHeader header(frame);
    double value = 0.0;
    if (!header.mayCarryStamp() || !header.privateBit() || !scan(frame, frameSize, value) ||
        !isPlausible(value)) {
        return false;
    }
    stamp = value;
    return true;
}

bool Mp3FrameStamp::findFirstInFrames(const uint8_t* data, uint32_t size, Found& found) {
    uint32_t offset = 0;
    for (uint32_t index = 0; size - offset > kMinimumTIndex - 1; ++index) {
        const MpegAudioFrameHeader header(data + offset);
        const uint32_t frameSize = header.frameSize();
        if (!header.mayCarryStamp() || frameSize == 0 || frameSize > size - offset) {
            return false;
        }
        double stamp = 0.0;
        if (find(data + offset, frameSize, stamp)) {
            found.frameIndex = index;
            found.frameOffset = offset;
            found.stamp = stamp;
            found.frameDuration = header.frameDuration();
            return true;
        }
        offset += frameSize;
    }
    return false;
}

uint32_t Mp3FrameStamp::mainDataBegin(const uint8_t* frame) {
    return frame[MpegAudioFrameHeader::kSize];
}

uint32_t Mp3FrameStamp::freeTrailingBytes(const uint8_t* frame, uint32_t frameSize) {
    constexpr uint32_t kSideInfoEnd = MpegAudioFrameHeader::kSize + kLowRateMonoSideInfoSize;
    if (frameSize < kSideInfoEnd) {
        return 0;
    }
    const MpegAudioFrameHeader header(frame);
    if (!isLowRateMonoLayer3(header) || header.frameSize() != frameSize ||
        mainDataBegin(frame) != 0) {
        return 0;
    }
    // part2_3_length: the 12 bits after main_data_begin (8) and the private bit (1).
    const uint32_t bits =
        (ByteOrder::readBigEndian32(frame + MpegAudioFrameHeader::kSize) >> 11) & 0xFFF;
    const uint32_t mainDataEnd = kSideInfoEnd + (bits + 7) / 8;
    return mainDataEnd >= frameSize ? 0 : frameSize - mainDataEnd;
}

bool Mp3FrameStamp::place(uint8_t* frame, uint32_t frameSize, double stamp) {
    const uint32_t free = freeTrailingBytes(frame, frameSize);
    if (free < kSize || !MpegAudioFrameHeader(frame).mayCarryStamp()) {
        return false;
    }
    uint8_t* stampBytes = frame + frameSize - kSize;
    std::memset(frame + frameSize - free, 0, free);
    stampBytes[0] = 'V';
    ByteOrder::writeLittleEndianDouble(stampBytes + 1, stamp);
    stampBytes[kSize - 1] = 'T';
    MpegAudioFrameHeader::setPrivateBit(frame, true);
    return true;
}
