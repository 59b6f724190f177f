#include <gtest/gtest.h>

#include <cmath>

#include "AudioDecoderGroup.h"
#include "DecoderTestSupport.h"
#include "KorvalisMp3CompressedAudioFile.h"
#include "TransactionId.h"

namespace {

constexpr double S = DecoderTestSupport::kSessionStart;
constexpr double kFrameSeconds = TimedMp3Writer::kFrameDurationSeconds;

class AudioDecoderGroupTest : public ::testing::Test {
protected:
    // A group with one decoder per list of paths.
    static std::unique_ptr<AudioDecoderGroup> group(
        const std::vector<std::vector<std::string>>& channels) {
        auto result = std::make_unique<AudioDecoderGroup>();
        for (const auto& paths : channels) {
            result->addDecoder(DecoderTestSupport::makeDecoder(paths));
        }
        return result;
    }

    DecoderTestSupport media_;
};

TEST_F(AudioDecoderGroupTest, ChannelsStartingUnderOneSecondAfterTheMasterReadInStep) {
    auto decoders = group({{media_.writeChannelMp3(0, S, 6.0)},
                           {media_.writeChannelMp3(1, S + 0.9, 6.0)},
                           {media_.writeChannelMp3(2, S + 1.0, 6.0)}});
    ASSERT_TRUE(decoders->decoderForChannel(0)->setPositionByWallClockTime(S + 2.0, 0.1f));
    for (int step = 0; step < 6; ++step) {
        bool endOfData = true;
        DecodedChunkSet chunks = decoders->getNextDecodedChunks(&endOfData);
        EXPECT_FALSE(endOfData);
        ASSERT_EQ(chunks.size(), 3u);
        ASSERT_NE(chunks[0], nullptr);
        ASSERT_NE(chunks[1], nullptr);
        ASSERT_NE(chunks[2], nullptr);
        const double masterOffset = chunks[0]->startTimeIs() - S;
        EXPECT_NEAR(masterOffset, 2.0 + step * 0.144, kFrameSeconds);
        // Channel 1 follows the master's read point in its own file (timed by its own start until
        // the master's clock is anchored by a stamp, then by the master's clock); channel 2,
        // 1.0 s late, is left alone and plays its own file from its start.
        const double slaveTime = chunks[1]->startTimeIs();
        EXPECT_TRUE(std::fabs(slaveTime - (S + 0.9) - masterOffset) < 1e-3 ||
                    std::fabs(slaveTime - chunks[0]->startTimeIs()) < 1e-3)
            << "step " << step << ": " << slaveTime - S << " against " << masterOffset;
        EXPECT_NEAR(chunks[2]->startTimeIs() - (S + 1.0), step * 0.144, 1e-3);
    }
}

TEST_F(AudioDecoderGroupTest, AnEndedChannelLeavesItsPlaceEmptyWhileTheOthersDeliver) {
    auto decoders = group({{media_.writeChannelMp3(0, S, 6.0)},
                           {media_.writeChannelMp3(1, S, 6.0)},
                           {media_.writeChannelMp3(2, S, 2.0)}});
    int setsWithEndedChannel = 0;
    int sets = 0;
    bool endOfData = false;
    while (!endOfData && sets < 200) {
        DecodedChunkSet chunks = decoders->getNextDecodedChunks(&endOfData);
        ASSERT_EQ(chunks.size(), 3u);
        ++sets;
        if (chunks[0] && chunks[1]) {
            EXPECT_NEAR(chunks[1]->startTimeIs(), chunks[0]->startTimeIs(), 1e-3);
            EXPECT_EQ(chunks[1]->numberOfSamplesIs(), chunks[0]->numberOfSamplesIs());
            if (chunks[2]) {
                EXPECT_NEAR(chunks[2]->startTimeIs(), chunks[0]->startTimeIs(), 1e-3);
                EXPECT_LT(chunks[2]->startTimeIs(), S + 2.1);
            } else {
                ++setsWithEndedChannel;
            }
        }
        if (endOfData) {
            EXPECT_TRUE(!chunks[0] && !chunks[1] && !chunks[2]);
        }
    }
    EXPECT_TRUE(endOfData);
    EXPECT_GT(setsWithEndedChannel, 20);  // about 4 s of the other channels
}

TEST_F(AudioDecoderGroupTest, PositioningAsksEveryChannelAndOnlyAllSucceedingIsSuccess) {
    const auto a0 = media_.writeChannelMp3(0, S, 5.0);
    const auto b0 = media_.writeChannelMp3(0, S + 9.0, 5.0);
    auto decoders = group({{a0, b0}, {media_.writeChannelMp3(1, S + 3.0, 5.0)}});
    // Channel 1 has no audio at S + 1.0: the group fails, channel 0 is positioned all the same.
    EXPECT_FALSE(decoders->setPositionByWallClockTime(S + 1.0, 0.1f));
    bool endOfData = false;
    auto chunk = decoders->decoderForChannel(0)->getNextEncodedChunk(&endOfData, nullptr);
    ASSERT_NE(chunk, nullptr);
    EXPECT_NEAR(chunk->startTimeIs(), S + 1.0, kFrameSeconds);
    EXPECT_TRUE(decoders->setPositionByWallClockTime(S + 4.0, 0.1f));
    // In the gap of channel 0, -1.0 moves it to its next file; channel 1 holds the time.
    EXPECT_TRUE(decoders->setPositionByWallClockTime(S + 7.0, -1.0f));

    EXPECT_NEAR(decoders->totalPlayTimeIs(), decoders->decoderForChannel(0)->totalPlayTimeIs(),
                1e-9);
    EXPECT_GT(decoders->totalPlayTimeIs(), 9.9);
    std::vector<TimeRange> ranges;
    EXPECT_EQ(decoders->listTimeRangesForChannel(0, ranges), 1u);  // 4 s gap: one range
    ASSERT_EQ(ranges.size(), 1u);
    EXPECT_DOUBLE_EQ(ranges[0].start, S);
    EXPECT_EQ(decoders->listTimeRangesForChannel(2, ranges), 0u);

    EXPECT_TRUE(decoders->fileNameIsInDecodeList(0, b0));
    EXPECT_FALSE(decoders->fileNameIsInDecodeList(1, b0));
    EXPECT_FALSE(decoders->fileNameIsInDecodeList(2, b0));
    EXPECT_EQ(decoders->decoderForChannel(2), nullptr);
    const auto c1 = media_.writeChannelMp3(1, S + 20.0, 1.0);
    EXPECT_FALSE(decoders->addFileToDecodeList(
        2, std::make_unique<KorvalisMp3CompressedAudioFile>(c1, true)));
    EXPECT_TRUE(decoders->addFileToDecodeList(
        1, std::make_unique<KorvalisMp3CompressedAudioFile>(c1, true)));
    EXPECT_TRUE(decoders->fileNameIsInDecodeList(1, c1));
    EXPECT_TRUE(decoders->refreshAllFileInformation(60.0));

    AudioDecoderGroup empty;
    EXPECT_EQ(empty.totalPlayTimeIs(), 0.0);
    EXPECT_EQ(empty.numberOfDecodersIs(), 0u);
    EXPECT_TRUE(empty.setPositionByWallClockTime(S, -1.0f));
    bool ended = false;
    EXPECT_TRUE(empty.getNextDecodedChunks(&ended).empty());
    EXPECT_TRUE(ended);
}

TEST_F(AudioDecoderGroupTest, EncodedChunksComeOnePerChannelWithTheTransactionId) {
    auto decoders =
        group({{media_.writeChannelMp3(0, S, 2.0)}, {media_.writeChannelMp3(1, S + 0.5, 2.0)}});
    TransactionId id(99);
    bool endOfData = false;
    EncodedChunkSet chunks = decoders->getNextEncodedChunks(&endOfData, &id);
    ASSERT_EQ(chunks.size(), 2u);
    ASSERT_NE(chunks[0], nullptr);
    ASSERT_NE(chunks[1], nullptr);
    EXPECT_EQ(chunks[0]->transactionIdIs().idNumberIs(), 99u);
    EXPECT_EQ(chunks[1]->transactionIdIs().idNumberIs(), 99u);
    EXPECT_NEAR(chunks[1]->startTimeIs() - (S + 0.5), chunks[0]->startTimeIs() - S, 1e-3);
    int sets = 1;
    while (!endOfData && sets < 100) {
        decoders->getNextEncodedChunks(&endOfData, nullptr);
        ++sets;
    }
    EXPECT_TRUE(endOfData);
    EXPECT_NEAR(sets, 2.0 / 0.144 + 1, 2);
}

}  // namespace
