#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Mp3TestFiles.h"
#include "MpegAudioFrameScanner.h"

namespace {

using Stop = MpegAudioFrameScanner::Stop;

// MPEG-1 Layer III, 128 kbit/s, 44100 Hz with the padding bit: 418 bytes.
constexpr uint32_t kPaddedHeader = 0xFFFB9264u;
// MPEG-1 Layer III, 64 kbit/s, 44100 Hz: 208 bytes.
constexpr uint32_t kSlowerHeader = 0xFFFB5064u;

std::vector<uint8_t> join(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> bytes;
    for (const auto& part : parts) {
        bytes.insert(bytes.end(), part.begin(), part.end());
    }
    return bytes;
}

MpegAudioFrameScanner scannerFor(uint32_t header) {
    const std::vector<uint8_t> frame = mp3test::frameRun(header, 1);
    return MpegAudioFrameScanner(MpegAudioFrameHeader(frame.data()));
}

TEST(MpegAudioFrameScannerTest, FramesOfVaryingSizeAreTakenWhole) {
    const auto bytes =
        join({mp3test::frameRun(mp3test::kMpeg1Header, 2), mp3test::frameRun(kPaddedHeader, 1),
              mp3test::frameRun(kSlowerHeader, 2)});
    const auto scanner = scannerFor(mp3test::kMpeg1Header);
    auto scan = scanner.scan(bytes.data(), static_cast<uint32_t>(bytes.size()), 100, true);
    ASSERT_EQ(scan.frames.size(), 5u);
    EXPECT_EQ(scan.frames[2].offset, 834u);
    EXPECT_EQ(scan.frames[2].size, 418u);
    EXPECT_EQ(scan.frames[4].size, 208u);
    EXPECT_EQ(scan.consumed, bytes.size());
    EXPECT_EQ(scan.junkBytes, 0u);
    EXPECT_EQ(scan.stop, Stop::kEndOfBytes);

    // Asked for three: the scan stops after them, ready to go on.
    scan = scanner.scan(bytes.data(), static_cast<uint32_t>(bytes.size()), 3, true);
    EXPECT_EQ(scan.frames.size(), 3u);
    EXPECT_EQ(scan.consumed, 417u * 2 + 418);
    EXPECT_EQ(scan.stop, Stop::kEnoughFrames);

    uint32_t frames = 0;
    std::string reason;
    EXPECT_TRUE(
        scanner.countBackToBack(bytes.data(), static_cast<uint32_t>(bytes.size()), frames, reason));
    EXPECT_EQ(frames, 5u);
    EXPECT_FALSE(scanner.countBackToBack(bytes.data(), static_cast<uint32_t>(bytes.size()) - 1,
                                         frames, reason));
    EXPECT_NE(reason.find("frame 4 of the chunk is cut off"), std::string::npos) << reason;
}

TEST(MpegAudioFrameScannerTest, JunkBetweenFramesIsPassedOver) {
    const std::string text = "JUNK\xff\xfb junk";
    const std::vector<uint8_t> junk(text.begin(), text.end());
    const auto bytes = join({mp3test::frameRun(mp3test::kMpeg1Header, 2), junk,
                             mp3test::frameRun(kPaddedHeader, 2), junk});
    const auto scanner = scannerFor(mp3test::kMpeg1Header);
    const auto scan = scanner.scan(bytes.data(), static_cast<uint32_t>(bytes.size()), 100, true);
    ASSERT_EQ(scan.frames.size(), 4u);
    EXPECT_EQ(scan.frames[2].offset, 834u + junk.size());
    EXPECT_EQ(scan.junkBytes, 2 * junk.size());
    EXPECT_EQ(scan.consumed, bytes.size());

    uint32_t frames = 0;
    std::string reason;
    EXPECT_FALSE(
        scanner.countBackToBack(bytes.data(), static_cast<uint32_t>(bytes.size()), frames, reason));
    EXPECT_NE(reason.find("frame 2 of the chunk (byte 834)"), std::string::npos) << reason;
}

TEST(MpegAudioFrameScannerTest, WhatIsCutOffIsLeftForTheNextScan) {
    const auto bytes = mp3test::frameRun(mp3test::kMpeg1Header, 3);
    const auto scanner = scannerFor(mp3test::kMpeg1Header);
    // Two and a half frames read: the half is read again next time.
    auto scan = scanner.scan(bytes.data(), 417 * 2 + 200, 100, false);
    EXPECT_EQ(scan.frames.size(), 2u);
    EXPECT_EQ(scan.consumed, 834u);
    EXPECT_EQ(scan.junkBytes, 0u);
    // A header cut off in junk is kept too.
    const auto afterJunk = join({{'x', 'y'}, bytes});
    scan = scanner.scan(afterJunk.data(), 5, 100, false);
    EXPECT_EQ(scan.consumed, 2u);
    EXPECT_EQ(scan.junkBytes, 2u);
    scan = scanner.scan(afterJunk.data(), 2 + 417 + 2, 100, false);
    EXPECT_EQ(scan.frames.size(), 0u) << "a frame after junk counts once a header follows it";
    EXPECT_EQ(scan.consumed, 2u);
    // At the end of the data a truncated last frame is junk.
    scan = scanner.scan(bytes.data(), 417 * 2 + 200, 100, true);
    EXPECT_EQ(scan.frames.size(), 2u);
    EXPECT_EQ(scan.consumed, 834u + 200);
    EXPECT_EQ(scan.junkBytes, 200u);
}

TEST(MpegAudioFrameScannerTest, AFrameOfAnotherFormatEndsTheScan) {
    const auto bytes = join({mp3test::frameRun(mp3test::kMpeg1Header, 2),
                             mp3test::frameRun(mp3test::kRecorderHeader, 2)});
    const auto scanner = scannerFor(mp3test::kMpeg1Header);
    const auto scan = scanner.scan(bytes.data(), static_cast<uint32_t>(bytes.size()), 100, true);
    EXPECT_EQ(scan.frames.size(), 2u);
    EXPECT_EQ(scan.stop, Stop::kOtherStream);
    EXPECT_EQ(scan.consumed, 834u);
    EXPECT_EQ(MpegAudioFrameScanner::describe(scan.otherHeader), "MPEG-2 Layer III at 16000 Hz");
    EXPECT_FALSE(scanner.belongs(scan.otherHeader));
    // A lone header of another format, not followed by a frame, is junk.
    const auto stray = join({mp3test::frameRun(mp3test::kMpeg1Header, 1),
                             std::vector<uint8_t>{0xFF, 0xF3, 0x48, 0xC0, 1, 2, 3},
                             mp3test::frameRun(mp3test::kMpeg1Header, 1)});
    const auto strayScan =
        scanner.scan(stray.data(), static_cast<uint32_t>(stray.size()), 100, true);
    EXPECT_EQ(strayScan.frames.size(), 2u);
    EXPECT_EQ(strayScan.stop, Stop::kEndOfBytes);
    EXPECT_EQ(strayScan.junkBytes, 7u);
}

}  // namespace
