#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "ByteOrder.h"
#include "Mp3FrameStamp.h"
#include "MpegAudioFrameHeader.h"
#include "TimedMp3Writer.h"

namespace {

constexpr uint32_t kFrameSize = 144;

// A recorder frame (MPEG-2 Layer III, 16000 Hz, 32 kbit/s, mono) whose side information declares
// `mainDataBits` bits of audio, which are filled with 0xAA.
std::vector<uint8_t> makeFrame(uint32_t mainDataBits) {
    std::vector<uint8_t> frame(kFrameSize, 0);
    ByteOrder::writeBigEndian32(frame.data(), 0xFFF348C0u);
    ByteOrder::writeBigEndian32(frame.data() + 4, mainDataBits << 11);
    for (uint32_t i = 0; i < (mainDataBits + 7) / 8 && 13 + i < kFrameSize; ++i) {
        frame[13 + i] = 0xAA;
    }
    return frame;
}

void writeStampBytes(std::vector<uint8_t>& frame, size_t tIndex, double stamp) {
    frame[tIndex - 9] = 'V';
    ByteOrder::writeLittleEndianDouble(frame.data() + tIndex - 8, stamp);
    frame[tIndex] = 'T';
    MpegAudioFrameHeader::setPrivateBit(frame.data(), true);
}

TEST(Mp3FrameStampTest, FreeBytesFollowTheDeclaredAudio) {
    EXPECT_EQ(Mp3FrameStamp::freeTrailingBytes(makeFrame(0).data(), kFrameSize), 131u);
    EXPECT_EQ(Mp3FrameStamp::freeTrailingBytes(makeFrame(8).data(), kFrameSize), 130u);
    EXPECT_EQ(Mp3FrameStamp::freeTrailingBytes(makeFrame(9).data(), kFrameSize), 129u);
    EXPECT_EQ(Mp3FrameStamp::freeTrailingBytes(makeFrame(121 * 8).data(), kFrameSize), 10u);
    EXPECT_EQ(Mp3FrameStamp::freeTrailingBytes(makeFrame(131 * 8).data(), kFrameSize), 0u);
    EXPECT_EQ(Mp3FrameStamp::freeTrailingBytes(makeFrame(4095).data(), kFrameSize), 0u)
        << "audio declared beyond the frame";

    std::vector<uint8_t> borrowed = makeFrame(80);
    borrowed[4] = 20;  // main data starting 20 bytes back: a bit reservoir
    EXPECT_EQ(Mp3FrameStamp::mainDataBegin(borrowed.data()), 20u);
    EXPECT_EQ(Mp3FrameStamp::freeTrailingBytes(borrowed.data(), kFrameSize), 0u);
    std::vector<uint8_t> mpeg1(417, 0);
    ByteOrder::writeBigEndian32(mpeg1.data(), 0xFFFB90C0u);
    EXPECT_EQ(Mp3FrameStamp::freeTrailingBytes(mpeg1.data(), 417), 0u) << "not an MPEG-2 frame";
    EXPECT_EQ(Mp3FrameStamp::freeTrailingBytes(makeFrame(0).data(), 12), 0u) << "too short";
    EXPECT_EQ(Mp3FrameStamp::freeTrailingBytes(makeFrame(0).data(), 100), 0u)
        << "size other than the header's";
}

TEST(Mp3FrameStampTest, PlacedStampIsFoundAndLeavesTheAudioAlone) {
    std::vector<uint8_t> frame = makeFrame(100 * 8);
    const std::vector<uint8_t> before = frame;
    ASSERT_TRUE(Mp3FrameStamp::place(frame.data(), kFrameSize, 1268662016.25));
    EXPECT_TRUE(MpegAudioFrameHeader(frame.data()).privateBit());
    EXPECT_EQ(frame[kFrameSize - 10], 'V');
    EXPECT_EQ(frame[kFrameSize - 1], 'T');
    EXPECT_TRUE(std::equal(before.begin() + 4, before.begin() + 113, frame.begin() + 4));
    double stamp = 0;
    ASSERT_TRUE(Mp3FrameStamp::find(frame.data(), kFrameSize, stamp));
    EXPECT_EQ(stamp, 1268662016.25);

    std::vector<uint8_t> full = makeFrame(122 * 8);  // 9 free bytes
    EXPECT_FALSE(Mp3FrameStamp::place(full.data(), kFrameSize, 5.0));
    EXPECT_FALSE(MpegAudioFrameHeader(full.data()).privateBit());
}

TEST(Mp3FrameStampTest, StampMustEndTheFrameBeforeZerosOnly) {
    std::vector<uint8_t> frame = makeFrame(80);
    writeStampBytes(frame, 120, 77.5);  // zeros after the "T"
    double stamp = 0;
    ASSERT_TRUE(Mp3FrameStamp::find(frame.data(), kFrameSize, stamp));
    EXPECT_EQ(stamp, 77.5);

    frame[130] = 1;  // something after the stamp
    EXPECT_FALSE(Mp3FrameStamp::find(frame.data(), kFrameSize, stamp));
    frame[130] = 0;
    frame[111] = 'X';  // no "V" nine bytes before
    EXPECT_FALSE(Mp3FrameStamp::find(frame.data(), kFrameSize, stamp));

    std::vector<uint8_t> early = makeFrame(0);
    writeStampBytes(early, 14, 3.0);  // a "T" too close to the header
    EXPECT_FALSE(Mp3FrameStamp::scan(early.data(), kFrameSize, stamp));
    std::vector<uint8_t> earliest = makeFrame(0);
    writeStampBytes(earliest, 15, 3.0);
    EXPECT_TRUE(Mp3FrameStamp::scan(earliest.data(), kFrameSize, stamp));
    std::vector<uint8_t> zeros(kFrameSize, 0);
    EXPECT_FALSE(Mp3FrameStamp::scan(zeros.data(), kFrameSize, stamp));
}

TEST(Mp3FrameStampTest, OnlyPrivateFramesOfTheStampFormCarryStamps) {
    std::vector<uint8_t> frame = makeFrame(80);
    writeStampBytes(frame, kFrameSize - 1, 10.0);
    double stamp = 0;
    ASSERT_TRUE(Mp3FrameStamp::find(frame.data(), kFrameSize, stamp));

    std::vector<uint8_t> notPrivate = frame;
    MpegAudioFrameHeader::setPrivateBit(notPrivate.data(), false);
    EXPECT_FALSE(Mp3FrameStamp::find(notPrivate.data(), kFrameSize, stamp));
    std::vector<uint8_t> withCrc = frame;
    withCrc[1] &= 0xFE;
    EXPECT_FALSE(Mp3FrameStamp::find(withCrc.data(), kFrameSize, stamp));
    std::vector<uint8_t> stereo = frame;
    stereo[3] &= 0x3F;
    EXPECT_FALSE(Mp3FrameStamp::find(stereo.data(), kFrameSize, stamp));
    EXPECT_FALSE(Mp3FrameStamp::find(frame.data(), 3, stamp)) << "shorter than a header";
}

TEST(Mp3FrameStampTest, ImplausibleStampsAreIgnored) {
    for (double bad : {std::numeric_limits<double>::quiet_NaN(),
                       std::numeric_limits<double>::infinity(), -1.0, 4294967296.0, 1e300}) {
        std::vector<uint8_t> frame = makeFrame(80);
        writeStampBytes(frame, kFrameSize - 1, bad);
        double stamp = 42.0;
        EXPECT_FALSE(Mp3FrameStamp::find(frame.data(), kFrameSize, stamp)) << bad;
        EXPECT_EQ(stamp, 42.0);
    }
    EXPECT_TRUE(Mp3FrameStamp::isPlausible(0.0));
    EXPECT_TRUE(Mp3FrameStamp::isPlausible(4294967295.5));
}

TEST(Mp3FrameStampTest, FirstStampOfARunOfFrames) {
    std::vector<uint8_t> run;
    for (int i = 0; i < 5; ++i) {
        std::vector<uint8_t> frame = makeFrame(400);
        if (i == 1) {
            MpegAudioFrameHeader::setPrivateBit(frame.data(), true);  // private, but no stamp
        }
        if (i >= 2) {
            ASSERT_TRUE(Mp3FrameStamp::place(frame.data(), kFrameSize, 100.0 + i));
        }
        run.insert(run.end(), frame.begin(), frame.end());
    }
    Mp3FrameStamp::Found found;
    ASSERT_TRUE(Mp3FrameStamp::findFirstInFrames(run.data(), run.size(), found));
    EXPECT_EQ(found.frameIndex, 2u);
    EXPECT_EQ(found.frameOffset, 2 * kFrameSize);
    EXPECT_EQ(found.stamp, 102.0);
    EXPECT_FLOAT_EQ(found.frameDuration, 0.036f);

    // A frame of another form ends the walk before the stamps.
    std::vector<uint8_t> broken = run;
    broken[kFrameSize + 3] |= 0x04;  // the original flag in frame 1
    EXPECT_FALSE(Mp3FrameStamp::findFirstInFrames(broken.data(), broken.size(), found));
    // A run cut inside the stamped frame: the frame is not read past the end of the run.
    EXPECT_FALSE(Mp3FrameStamp::findFirstInFrames(run.data(), 2 * kFrameSize + 100, found));
    EXPECT_FALSE(Mp3FrameStamp::findFirstInFrames(run.data(), 14, found));
    EXPECT_FALSE(Mp3FrameStamp::findFirstInFrames(run.data(), 0, found));
}

TEST(Mp3FrameStampTest, WriterStampsTheFirstFreeFrameOfEverySecond) {
    TimedMp3Writer writer(1000.0, 10.0);
    writer.setStampOffsetSeconds(0.5);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(writer.writeToMemory(bytes)) << writer.errorText();
    ASSERT_EQ(bytes.size(), writer.frameCount() * kFrameSize);
    std::vector<double> stampedOffsets;
    for (size_t frame = 0; frame < writer.frameCount(); ++frame) {
        double stamp = 0;
        if (Mp3FrameStamp::find(bytes.data() + frame * kFrameSize, kFrameSize, stamp)) {
            const double offset = frame * TimedMp3Writer::kFrameDurationSeconds;
            EXPECT_NEAR(stamp, 1000.5 + offset, 1e-9);
            stampedOffsets.push_back(offset);
        }
    }
    EXPECT_EQ(stampedOffsets.size(), writer.stampedFrames());
    ASSERT_EQ(stampedOffsets.size(), 10u);
    for (size_t i = 0; i < stampedOffsets.size(); ++i) {
        // At or soon after each whole second (a frame with room comes within a few frames).
        EXPECT_GE(stampedOffsets[i], i - 1e-9);
        EXPECT_LT(stampedOffsets[i], i + 0.2);
    }
}

}  // namespace
