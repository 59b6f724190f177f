#include <gtest/gtest.h>

#include "AudioChunkWithCorrelatedVideoFrame.h"
#include "CompressedImage.h"
#include "DecodedAudioChunk.h"

namespace {

std::unique_ptr<MixedDecodedAudioChunk> mixedChunk(double startTime) {
    auto chunk = std::make_unique<MixedDecodedAudioChunk>(480, 16000, 1, "PCM", startTime);
    chunk->addComponent(std::make_unique<DecodedAudioChunk>(0.25f));
    return chunk;
}

std::unique_ptr<VideoSegmentFrame> frame(double epochTime) {
    return std::make_unique<VideoSegmentFrame>(
        std::make_unique<CompressedImage>(64, 48, 100, "JPEG"), epochTime, 7);
}

TEST(AudioChunkWithCorrelatedVideoFrameTest, OwnsBothPartsAndDestroysThemWithItself) {
    const long framesBefore = VideoSegmentFrame::liveInstances();
    {
        AudioChunkWithCorrelatedVideoFrame pair(mixedChunk(100.0), frame(100.01));
        ASSERT_NE(pair.audioChunkIs(), nullptr);
        ASSERT_NE(pair.videoFrameIs(), nullptr);
        EXPECT_EQ(pair.audioChunkIs()->startTimeIs(), 100.0);
        EXPECT_FLOAT_EQ(pair.audioChunkIs()->componentPowerLevelIs(0), 0.25f);
        EXPECT_EQ(pair.videoFrameIs()->getEpochTime(), 100.01);
        EXPECT_EQ(VideoSegmentFrame::liveInstances(), framesBefore + 1);
    }
    EXPECT_EQ(VideoSegmentFrame::liveInstances(), framesBefore);
}

TEST(AudioChunkWithCorrelatedVideoFrameTest, EitherPartMayBeAbsentOrTakenAway) {
    AudioChunkWithCorrelatedVideoFrame audioOnly(mixedChunk(5.0), nullptr);
    EXPECT_EQ(audioOnly.videoFrameIs(), nullptr);
    AudioChunkWithCorrelatedVideoFrame frameOnly(nullptr, frame(6.0));
    EXPECT_EQ(frameOnly.audioChunkIs(), nullptr);

    std::unique_ptr<VideoSegmentFrame> taken = frameOnly.takeVideoFrame();
    ASSERT_NE(taken, nullptr);
    EXPECT_EQ(taken->getEpochTime(), 6.0);
    EXPECT_EQ(frameOnly.videoFrameIs(), nullptr);
}

}  // namespace
