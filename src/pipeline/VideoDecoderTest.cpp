#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "DecoderTestSupport.h"
#include "KovCompressedVideoFile.h"
#include "VideoDecoder.h"

namespace {

constexpr double S = DecoderTestSupport::kSessionStart;

std::unique_ptr<CompressedVideoFile> kov(const std::string& path) {
    return std::make_unique<KovCompressedVideoFile>(path);
}

std::vector<double> readAllFrameTimes(VideoDecoder& decoder, bool& ended) {
    std::vector<double> times;
    ended = false;
    for (int i = 0; i < 10000 && !ended; ++i) {
        auto frame = decoder.getNextFrame(&ended, false);
        if (!frame) {
            break;
        }
        EXPECT_NE(frame->getImage(), nullptr);
        times.push_back(frame->getEpochTime());
    }
    return times;
}

class VideoDecoderTest : public ::testing::Test {
protected:
    DecoderTestSupport media_;
};

TEST_F(VideoDecoderTest, FilesAreKeptInTimeOrderAndAFileStartingWithAnotherGoesFirst) {
    const auto a = media_.writeKov(S, 2.0);
    const auto b = media_.writeKov(S + 2.0, 2.0);
    const std::string twin = a.substr(0, a.size() - 4) + "~twin.kov";  // same start as a
    std::filesystem::copy_file(a, twin);
    VideoDecoder decoder;
    EXPECT_TRUE(decoder.addFileToDecodeList(kov(b)));
    EXPECT_TRUE(decoder.addFileToDecodeList(kov(a)));
    EXPECT_FALSE(decoder.addFileToDecodeList(kov(a)));
    EXPECT_TRUE(decoder.addFileToDecodeList(kov(twin)));
    ASSERT_EQ(decoder.numberOfFilesIs(), 3u);
    const auto files = decoder.filesInDecodeListIs();
    EXPECT_EQ(files[0]->getFileName(), twin);
    EXPECT_EQ(files[1]->getFileName(), a);
    EXPECT_EQ(files[2]->getFileName(), b);
    EXPECT_TRUE(decoder.fileNameIsInDecodeList(a));
    EXPECT_FALSE(decoder.fileNameIsInDecodeList(a + "x"));

    // Never positioned, reading starts with the earliest file.
    bool ended = false;
    auto frame = decoder.getNextFrame(&ended, false);
    ASSERT_NE(frame, nullptr);
    EXPECT_DOUBLE_EQ(frame->getEpochTime(), S);

    decoder.removeAllFilesFromDecodeList();
    EXPECT_EQ(decoder.numberOfFilesIs(), 0u);
    EXPECT_EQ(decoder.getNextFrame(&ended, false), nullptr);
    EXPECT_TRUE(ended);
    EXPECT_FALSE(decoder.setPositionByWallClockTime(S, 1.0f));
}

TEST_F(VideoDecoderTest, FramesRunOnIntoTheNextFileAndEndAfterTheLastOne) {
    VideoDecoder decoder;
    decoder.addFileToDecodeList(kov(media_.writeKov(S + 2.0, 2.0)));
    decoder.addFileToDecodeList(kov(media_.writeKov(S, 2.0)));
    bool ended = false;
    const auto times = readAllFrameTimes(decoder, ended);
    EXPECT_TRUE(ended);
    ASSERT_EQ(times.size(), 20u);  // 10 frames a file at 5 per second
    for (size_t i = 0; i < times.size(); ++i) {
        EXPECT_NEAR(times[i], S + 0.2 * static_cast<double>(i), 1e-6);
    }
    EXPECT_EQ(decoder.getNextFrame(&ended, false), nullptr);
    EXPECT_TRUE(ended);
    // Compressed frames come as stored.
    ASSERT_TRUE(decoder.setPositionByWallClockTime(S, 1.0f));
    auto frame = decoder.getNextFrame(&ended, true);
    ASSERT_NE(frame, nullptr);
    EXPECT_FALSE(ended);
}

TEST_F(VideoDecoderTest, PositioningTakesFileEndsButNotGaps) {
    const auto a = media_.writeKov(S, 2.0);        // frames S .. S + 1.8
    const auto b = media_.writeKov(S + 5.0, 2.0);  // frames S + 5 .. S + 6.8
    VideoDecoder decoder;
    decoder.addFileToDecodeList(kov(a));
    decoder.addFileToDecodeList(kov(b));
    bool ended = false;

    ASSERT_TRUE(decoder.setPositionByWallClockTime(S + 5.0, 0.1f));
    EXPECT_NEAR(decoder.getNextFrame(&ended, false)->getEpochTime(), S + 5.0, 1e-6);
    ASSERT_TRUE(decoder.setPositionByWallClockTime(S + 1.8, 0.1f));  // a's last frame
    EXPECT_NEAR(decoder.getNextFrame(&ended, false)->getEpochTime(), S + 1.8, 1e-6);
    EXPECT_NEAR(decoder.getNextFrame(&ended, false)->getEpochTime(), S + 5.0, 1e-6);
    ASSERT_TRUE(decoder.setPositionByWallClockTime(S + 0.9, 0.15f));
    const double nearest = decoder.getNextFrame(&ended, false)->getEpochTime();
    EXPECT_NEAR(nearest, S + 0.9, 0.1 + 1e-6);

    // Between the files nothing is taken (the audio decoder would move to the later file), and a
    // failed positioning leaves the read position alone.
    EXPECT_FALSE(decoder.setPositionByWallClockTime(S + 3.0, 1.0f));
    EXPECT_FALSE(decoder.setPositionByWallClockTime(S + 3.0, -1.0f));
    EXPECT_FALSE(decoder.setPositionByWallClockTime(S - 1.0, 1.0f));
    EXPECT_FALSE(decoder.setPositionByWallClockTime(S + 7.5, 1.0f));
    EXPECT_NEAR(decoder.getNextFrame(&ended, false)->getEpochTime(), nearest + 0.2, 1e-6);

    auto audio = DecoderTestSupport::makeDecoder(
        {media_.writeChannelMp3(0, S, 2.0), media_.writeChannelMp3(0, S + 5.0, 2.0)});
    EXPECT_TRUE(audio->setPositionByWallClockTime(S + 3.0, -1.0f));

    std::vector<CompressedVideoFile*> found;
    EXPECT_TRUE(decoder.getAllFilesInTimeRange(S + 1.0, S + 5.5, found, false));
    EXPECT_EQ(found.size(), 2u);
    found.clear();
    EXPECT_TRUE(decoder.getAllFilesInTimeRange(S + 4.0, S + 8.0, found, true));
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0]->getFileName(), b);
    found.clear();
    EXPECT_FALSE(decoder.getAllFilesInTimeRange(S + 2.5, S + 4.5, found, false));
    EXPECT_TRUE(found.empty());
}

TEST_F(VideoDecoderTest, FilesThatCannotDeliverAreSkipped) {
    const auto a = media_.writeKov(S, 1.0);
    const auto b = media_.writeKov(S + 1.0, 1.0);
    const auto c = media_.writeKov(S + 2.0, 1.0);
    const auto d = media_.writeKov(S + 3.0, 1.0);
    VideoDecoder decoder;
    for (const auto& path : {a, b, c, d}) {
        decoder.addFileToDecodeList(kov(path));
    }
    // b overwritten with rubbish and d gone after they were listed.
    { std::ofstream(b, std::ios::binary | std::ios::trunc) << std::string(5000, '\x17'); }
    std::filesystem::remove(d);
    bool ended = false;
    const auto times = readAllFrameTimes(decoder, ended);
    EXPECT_TRUE(ended);
    ASSERT_EQ(times.size(), 10u);
    EXPECT_NEAR(times[4], S + 0.8, 1e-6);
    EXPECT_NEAR(times[5], S + 2.0, 1e-6);
}

TEST_F(VideoDecoderTest, OnlyTheCurrentFileKeepsADescriptor) {
    VideoDecoder decoder;
    for (int i = 0; i < 6; ++i) {
        decoder.addFileToDecodeList(kov(media_.writeKov(S + i, 1.0)));
    }
    EXPECT_LE(DecoderTestSupport::openFilesBelow(media_.root()), 1);
    bool ended = false;
    readAllFrameTimes(decoder, ended);
    EXPECT_LE(DecoderTestSupport::openFilesBelow(media_.root()), 1);
    for (int i = 5; i >= 0; --i) {
        ASSERT_TRUE(decoder.setPositionByWallClockTime(S + i + 0.4, 0.1f));
        ASSERT_NE(decoder.getNextFrame(&ended, false), nullptr);
        EXPECT_LE(DecoderTestSupport::openFilesBelow(media_.root()), 1);
    }
    EXPECT_TRUE(decoder.refreshAllFileInformation(60.0));
    EXPECT_LE(DecoderTestSupport::openFilesBelow(media_.root()), 1);
}

}  // namespace
