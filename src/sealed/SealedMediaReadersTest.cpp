#include <gtest/gtest.h>

#include <sstream>

#include "EncodedAudioChunk.h"
#include "KorvalisEncryptedMediaFile.h"
#include "KorvalisSealedCompressedAudioFile.h"
#include "SealedCompressedVideoFile.h"
#include "SealedTestSupport.h"

namespace {

constexpr uint8_t kKey[16] = {3, 1, 4, 1, 5, 9, 2, 6, 5, 3, 5, 8, 9, 7, 9, 3};

class SealedMediaReadersTest : public ::testing::Test {
protected:
    // Seals media bytes recorded as `originalName`, covering 100..160 s.
    std::string seal(const std::string& originalName, const std::string& sealedName) {
        SealedTestSupport::writeFile(support_.path("clear"),
                                     SealedTestSupport::mediaBytes(5000, 7));
        KorvalisEncryptedMediaFile file;
        file.setSourceLocation(support_.directory().string(), "clear");
        file.setOriginalLocation("/archive/Recordings/000/20100315", originalName);
        file.setStartTime(100.0);
        file.setEndTime(160.0);
        EXPECT_TRUE(file.encrypt(kKey, sizeof kKey, support_.directory().string(), sealedName))
            << file.getErrorText();
        return support_.path(sealedName);
    }

    SealedTestSupport support_;
};

TEST_F(SealedMediaReadersTest, SealedAudioOccupiesItsSpanAndYieldsNothing) {
    KorvalisSealedCompressedAudioFile audio(
        seal("COURT1~00000064~0~7~2~0.mp3", "COURT1~00000064~0~7~2~0.sealedAudio"));
    EXPECT_EQ(audio.getStartTime(), 100.0);
    EXPECT_EQ(audio.getEndTime(), 160.0);
    EXPECT_EQ(audio.getDuration(), 60.0f);
    EXPECT_EQ(audio.getCurrentEpochTime(), 100.0);
    EXPECT_EQ(audio.getFirstNameNumber(), 7);
    EXPECT_FALSE(audio.isAvailable());
    EXPECT_FALSE(audio.isValidFileName(audio.fileName()));
    EXPECT_EQ(audio.getFrameSize(), 0u);
    EXPECT_EQ(audio.generateCheckpoint(), nullptr);

    double reached = 0;
    ASSERT_TRUE(audio.setPositionByEpochTime(130.0, 0.1f, reached));
    EXPECT_EQ(reached, 130.0);
    EXPECT_EQ(audio.getCurrentTimeOffset(), 30.0f);
    EXPECT_FALSE(audio.setPositionByEpochTime(170.0, 0.1f, reached));
    EXPECT_FALSE(audio.setPositionByEpochTime(99.0, 0.1f, reached));
    EXPECT_EQ(audio.getCurrentEpochTime(), 130.0);  // failed positioning moves nothing

    float reachedOffset = 0;
    EXPECT_TRUE(audio.setPositionByTimeOffset(60.0f, 0.0f, reachedOffset));
    EXPECT_EQ(audio.getCurrentEpochTime(), 160.0);
    EXPECT_FALSE(audio.setPositionByTimeOffset(60.5f, 0.0f, reachedOffset));
    EXPECT_FALSE(audio.setPositionByTimeOffset(-1.0f, 0.0f, reachedOffset));

    std::unique_ptr<EncodedAudioChunk> chunk;
    bool endOfFile = false;
    EXPECT_FALSE(audio.getNextEncodedChunk(chunk, endOfFile, 0.5f));
    EXPECT_TRUE(endOfFile);
    EXPECT_EQ(chunk, nullptr);

    std::unique_ptr<CompressedAudioFile> first, second, third;
    double reachedTime = 0;
    EXPECT_FALSE(audio.copyAndSplitAtEpochTime(120.0, support_.directory().string(), first, second,
                                               0.1f, nullptr, nullptr, 0));
    EXPECT_FALSE(audio.copyAndSplitAtEpochTimeToPaths(120.0, reachedTime, support_.path("a"),
                                                      support_.path("b"), 0.1f, nullptr, nullptr, 0,
                                                      false));
    EXPECT_EQ(first, nullptr);
    std::ostringstream csv;
    audio.dumpTimingDataAsCsv(csv);
    EXPECT_TRUE(csv.str().empty());
}

TEST_F(SealedMediaReadersTest, SealedSpansOverlapRangesLikeAnyFile) {
    KorvalisSealedCompressedAudioFile audio(seal("A~00000064~0~1~2~3.mp3", "a.sealedAudio"));
    SealedCompressedVideoFile video(seal("A~00000064~0~1~2~3.kov", "a.sealedVideo"));
    EXPECT_TRUE(audio.overlapsTimeRange(150.0, 200.0, false));
    EXPECT_TRUE(audio.overlapsTimeRange(110.0, 120.0, false));
    EXPECT_FALSE(audio.overlapsTimeRange(161.0, 200.0, false));
    EXPECT_FALSE(audio.overlapsTimeRange(110.0, 170.0, true));
    EXPECT_TRUE(audio.overlapsTimeRange(100.0, 160.0, true));
    EXPECT_TRUE(video.overlapsTimeRange(150.0, 200.0, false));
    EXPECT_FALSE(video.overlapsTimeRange(0.0, 99.0, false));
    EXPECT_TRUE(video.overlapsTimeRange(90.0, 170.0, true));
}

TEST_F(SealedMediaReadersTest, SealedVideoIsValidButYieldsNoFrames) {
    SealedCompressedVideoFile video(
        seal("COURT1~00000064~0~1~0~0.kov", "COURT1~00000064~0~1~0~0.sealedVideo"));
    EXPECT_EQ(video.getStartTime(), 100.0);
    EXPECT_EQ(video.getDuration(), 60.0f);
    EXPECT_FALSE(video.isAvailable());
    EXPECT_TRUE(video.isValid());
    EXPECT_TRUE(video.close());

    double reached = 0;
    EXPECT_FALSE(video.setPositionByEpochTime(130.0, 1.0f, reached));
    std::unique_ptr<VideoSegmentFrame> frame;
    bool endOfFile = false;
    EXPECT_FALSE(video.getNextFrame(frame, &endOfFile, true));
    EXPECT_TRUE(endOfFile);
    EXPECT_EQ(frame, nullptr);
    EXPECT_FALSE(video.getNextFrame(frame, nullptr, false));
}

TEST_F(SealedMediaReadersTest, UnreadableTrailersGiveTheDefaultSpan) {
    SealedTestSupport::writeFile(support_.path("junk.sealedAudio"), "no trailer here");
    KorvalisSealedCompressedAudioFile audio(support_.path("junk.sealedAudio"));
    EXPECT_EQ(audio.getStartTime(), -1.0);
    EXPECT_EQ(audio.getDuration(), 0.0f);
    EXPECT_EQ(audio.getFirstNameNumber(), 0);
    SealedCompressedVideoFile missing(support_.path("missing.sealedVideo"));
    EXPECT_EQ(missing.getStartTime(), -1.0);
    EXPECT_FALSE(missing.isAvailable());
}

}  // namespace
