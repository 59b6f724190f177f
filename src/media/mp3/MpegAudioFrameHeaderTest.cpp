#include <gtest/gtest.h>

#include "ByteOrder.h"
#include "MpegAudioFrameHeader.h"

namespace {

MpegAudioFrameHeader headerOf(uint32_t word) {
    uint8_t bytes[4];
    ByteOrder::writeBigEndian32(bytes, word);
    return MpegAudioFrameHeader(bytes);
}

// sync, version id, layer, no CRC, bit-rate index, sample-rate index, padding, the rest zero.
uint32_t word(uint32_t version, uint32_t layer, uint32_t bitRateIndex, uint32_t rateIndex,
              bool padding = false) {
    return 0xFFE00000u | version << 19 | layer << 17 | 1u << 16 | bitRateIndex << 12 |
           rateIndex << 10 | (padding ? 1u << 9 : 0u);
}

TEST(MpegAudioFrameHeaderTest, RecorderFramesAre144BytesOf36Milliseconds) {
    // MPEG-2 Layer III, 32 kbit/s, 16000 Hz, single channel: FF F3 48 C0.
    const uint8_t bytes[4] = {0xFF, 0xF3, 0x48, 0xC0};
    const MpegAudioFrameHeader header(bytes);
    EXPECT_TRUE(header.hasValidSync());
    EXPECT_TRUE(header.isUsable());
    EXPECT_EQ(header.versionId(), MpegAudioFrameHeader::kVersion2);
    EXPECT_STREQ(header.versionName(), "2");
    EXPECT_EQ(header.layerNumber(), 3);
    EXPECT_FALSE(header.crcProtected());
    EXPECT_EQ(header.bitRateKbps(), 32u);
    EXPECT_EQ(header.sampleRate(), 16000u);
    EXPECT_EQ(header.channelMode(), 3u);
    EXPECT_EQ(header.samplesPerFrame(), 576u);
    EXPECT_EQ(header.frameSize(), 144u);
    EXPECT_FLOAT_EQ(header.frameDuration(), 0.036f);
    EXPECT_TRUE(header.mayCarryStamp());
    EXPECT_FALSE(header.privateBit());

    const MpegAudioFrameHeader padded = headerOf(ByteOrder::readBigEndian32(bytes) | 1u << 9);
    EXPECT_EQ(padded.frameSize(), 145u);
}

TEST(MpegAudioFrameHeaderTest, Mpeg1LayerThreeAt128Kbps) {
    const MpegAudioFrameHeader header = headerOf(word(3, 1, 9, 0));
    EXPECT_STREQ(header.versionName(), "1");
    EXPECT_EQ(header.bitRateKbps(), 128u);
    EXPECT_EQ(header.sampleRate(), 44100u);
    EXPECT_EQ(header.samplesPerFrame(), 1152u);
    EXPECT_EQ(header.frameSize(), 417u);
    EXPECT_FLOAT_EQ(header.frameDuration(), 1152.0f / 44100.0f);
    EXPECT_EQ(headerOf(word(3, 1, 9, 0, true)).frameSize(), 418u);
}

TEST(MpegAudioFrameHeaderTest, BitRateTablesOfTheStandard) {
    struct Case {
        uint32_t version, layer, index, kbps;
    };
    const Case cases[] = {
        {3, 3, 14, 448}, {3, 3, 1, 32},   {3, 2, 14, 384}, {3, 2, 2, 48},   {3, 1, 14, 320},
        {3, 1, 2, 40},   {2, 3, 14, 256}, {2, 3, 9, 144},  {2, 2, 14, 160}, {2, 1, 1, 8},
        {0, 1, 14, 160}, {0, 3, 1, 32},   {0, 2, 8, 64},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(headerOf(word(c.version, c.layer, c.index, 0)).bitRateKbps(), c.kbps)
            << c.version << " " << c.layer << " " << c.index;
    }
}

TEST(MpegAudioFrameHeaderTest, SampleRatesAndSamplesPerFrameByVersion) {
    const uint32_t rates[3][3] = {
        {44100, 48000, 32000}, {22050, 24000, 16000}, {11025, 12000, 8000}};
    const uint32_t versions[3] = {3, 2, 0};
    for (int v = 0; v < 3; ++v) {
        for (uint32_t r = 0; r < 3; ++r) {
            EXPECT_EQ(headerOf(word(versions[v], 1, 5, r)).sampleRate(), rates[v][r]);
        }
        EXPECT_EQ(headerOf(word(versions[v], 1, 5, 3)).sampleRate(), 0u) << "rate index 3";
        EXPECT_EQ(headerOf(word(versions[v], 3, 5, 0)).samplesPerFrame(), 384u);
        EXPECT_EQ(headerOf(word(versions[v], 2, 5, 0)).samplesPerFrame(), 1152u);
    }
    EXPECT_EQ(headerOf(word(3, 1, 5, 0)).samplesPerFrame(), 1152u);
    EXPECT_EQ(headerOf(word(2, 1, 5, 0)).samplesPerFrame(), 576u);
    EXPECT_STREQ(headerOf(word(0, 1, 5, 0)).versionName(), "2.5");
}

TEST(MpegAudioFrameHeaderTest, LayerOneCountsInFourByteSlots) {
    // 32 kbit/s at 44100 Hz: 12 x 32000 / 44100 = 8 slots, 32 bytes; padding adds a slot.
    EXPECT_EQ(headerOf(word(3, 3, 1, 0)).frameSize(), 32u);
    EXPECT_EQ(headerOf(word(3, 3, 1, 0, true)).frameSize(), 36u);
}

TEST(MpegAudioFrameHeaderTest, FreeFormatReservedAndBrokenHeadersAreNotUsable) {
    EXPECT_FALSE(headerOf(word(3, 1, 0, 0)).isUsable()) << "free format";
    EXPECT_EQ(headerOf(word(3, 1, 0, 0)).frameSize(), 0u);
    EXPECT_FALSE(headerOf(word(3, 1, 15, 0)).isUsable()) << "forbidden bit-rate index";
    EXPECT_FALSE(headerOf(word(1, 1, 5, 0)).isUsable()) << "reserved version";
    EXPECT_EQ(headerOf(word(1, 1, 5, 0)).sampleRate(), 0u);
    EXPECT_EQ(headerOf(word(1, 1, 5, 0)).samplesPerFrame(), 0u);
    EXPECT_STREQ(headerOf(word(1, 1, 5, 0)).versionName(), "reserved");
    EXPECT_FALSE(headerOf(word(3, 0, 5, 0)).isUsable()) << "reserved layer";
    EXPECT_EQ(headerOf(word(3, 0, 5, 0)).layerNumber(), 0);
    EXPECT_FALSE(headerOf(word(3, 1, 5, 3)).isUsable()) << "reserved sample rate";

    // Without the sync word the fields are still decoded, but the header is not valid.
    const MpegAudioFrameHeader noSync = headerOf(word(3, 1, 9, 0) & ~0x00200000u);
    EXPECT_FALSE(noSync.hasValidSync());
    EXPECT_FALSE(noSync.isUsable());
    EXPECT_EQ(noSync.bitRateKbps(), 128u);
    const uint8_t text[4] = {'I', 'D', '3', 4};
    EXPECT_FALSE(MpegAudioFrameHeader(text).isUsable());
}

TEST(MpegAudioFrameHeaderTest, StampFormNeedsEveryConditionButThePrivateBit) {
    const uint32_t recorder = 0xFFF348C0u;
    EXPECT_TRUE(headerOf(recorder).mayCarryStamp());
    EXPECT_TRUE(headerOf(recorder | 0x100).mayCarryStamp()) << "private bit set";
    EXPECT_TRUE(headerOf(recorder | 0x100).privateBit());
    EXPECT_FALSE(headerOf(recorder & ~0x10000u).mayCarryStamp()) << "CRC";
    EXPECT_FALSE(headerOf(recorder & ~0xC0u).mayCarryStamp()) << "stereo";
    EXPECT_FALSE(headerOf(recorder | 0x10).mayCarryStamp()) << "mode extension";
    EXPECT_FALSE(headerOf(recorder | 0x08).mayCarryStamp()) << "copyright";
    EXPECT_FALSE(headerOf(recorder | 0x04).mayCarryStamp()) << "original";
    EXPECT_FALSE(headerOf(recorder | 0x01).mayCarryStamp()) << "emphasis";
    EXPECT_FALSE(headerOf(recorder & ~0x00200000u).mayCarryStamp()) << "sync";

    uint8_t bytes[4] = {0xFF, 0xF3, 0x48, 0xC0};
    MpegAudioFrameHeader::setPrivateBit(bytes, true);
    EXPECT_EQ(bytes[2], 0x49);
    MpegAudioFrameHeader::setPrivateBit(bytes, false);
    EXPECT_EQ(bytes[2], 0x48);
}

TEST(MpegAudioFrameHeaderTest, DefaultHeaderIsTheUnreadState) {
    const MpegAudioFrameHeader header;
    EXPECT_EQ(header.versionId(), 3u);
    EXPECT_EQ(header.layer(), 3u);
    EXPECT_FALSE(header.hasValidSync());
    EXPECT_EQ(header.frameSize(), 0u);
    EXPECT_EQ(header.frameDuration(), 0.0f);
}

}  // namespace
