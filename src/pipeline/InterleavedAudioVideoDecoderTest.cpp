#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>

#include "AvDebugLogger.h"
#include "DecoderTestSupport.h"
#include "InterleavedAudioVideoDecoder.h"
#include "KovCompressedVideoFile.h"

namespace {

constexpr double S = DecoderTestSupport::kSessionStart;

using Frames = std::vector<std::unique_ptr<VideoSegmentFrame>>;

class InterleavedAudioVideoDecoderTest : public ::testing::Test {
protected:
    void SetUp() override {
        audioPath_ = media_.writeChannelMp3(0, S, 20.0);
        logBase_ = media_.root() + "/log";
        AvDebugLogger::instance().setMinimumLevel(0);
        ASSERT_TRUE(AvDebugLogger::instance().enableLoggingToFile(logBase_, 0));
    }
    void TearDown() override { AvDebugLogger::instance().disableLoggingToFile(); }

    std::string logText() {
        AvDebugLogger::instance().disableLoggingToFile();
        std::ifstream in(logBase_ + ".txt");
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    // An interleaved decoder over the 20 s channel and the given KOV files (none: no video).
    std::unique_ptr<InterleavedAudioVideoDecoder> decoder(const std::vector<std::string>& kovs,
                                                          bool withVideo = true) {
        auto group = std::make_unique<AudioDecoderGroup>();
        group->addDecoder(DecoderTestSupport::makeDecoder({audioPath_}));
        std::unique_ptr<VideoDecoder> video;
        if (withVideo) {
            video = std::make_unique<VideoDecoder>();
            for (const auto& path : kovs) {
                video->addFileToDecodeList(std::make_unique<KovCompressedVideoFile>(path));
            }
        }
        return std::make_unique<InterleavedAudioVideoDecoder>(std::move(group), std::move(video),
                                                              2.0f);
    }

    // The start of the first chunk decoded after positioning the channel at `t` (-1.0 tolerance).
    double firstChunkStartAfterSeek(double t) {
        auto alone = DecoderTestSupport::makeDecoder({audioPath_});
        EXPECT_TRUE(alone->setPositionByWallClockTime(t, -1.0f));
        bool endOfData = false;
        auto chunk = alone->getNextDecodedChunk(&endOfData);
        EXPECT_NE(chunk, nullptr);
        return chunk ? chunk->startTimeIs() : 0.0;
    }

    DecoderTestSupport media_;
    std::string audioPath_;
    std::string logBase_;
};

TEST_F(InterleavedAudioVideoDecoderTest, FramesComeUpToTheAudioEndPlusTheFirstLaterOne) {
    auto interleaved = decoder({media_.writeKov(S, 20.0)});
    ASSERT_TRUE(interleaved->setPositionByWallClockTime(S + 6.0, -1.0f, false));
    std::vector<DecodedChunkSet> audio;
    Frames frames;
    ASSERT_TRUE(interleaved->getNextDecodedChunksAndFrames(5, audio, frames, false));
    ASSERT_EQ(audio.size(), 5u);
    const auto& last = audio.back()[0];
    ASSERT_NE(last, nullptr);
    const double audioEnd = last->startTimeIs() + last->durationIs();
    EXPECT_NEAR(audio.front()[0]->startTimeIs(), S + 6.0, 0.04);
    ASSERT_GE(frames.size(), 2u);
    EXPECT_NEAR(frames.front()->getEpochTime(), S + 6.0, 0.1 + 1e-6);
    for (size_t i = 0; i + 1 < frames.size(); ++i) {
        EXPECT_LE(frames[i]->getEpochTime(), audioEnd);
        EXPECT_NEAR(frames[i + 1]->getEpochTime(), frames[i]->getEpochTime() + 0.2, 1e-6);
    }
    EXPECT_GT(frames.back()->getEpochTime(), audioEnd);

    // The next call goes on after the frame already handed out; no frame twice.
    const double handedOut = frames.back()->getEpochTime();
    Frames more;
    for (int call = 0; call < 5; ++call) {
        ASSERT_TRUE(interleaved->getNextDecodedChunksAndFrames(1, audio, more, false));
    }
    ASSERT_FALSE(more.empty());
    EXPECT_NEAR(more.front()->getEpochTime(), handedOut + 0.2, 1e-6);
    EXPECT_EQ(interleaved->autoSeekAttemptsIs(), 0);
    EXPECT_EQ(logText().find("auto-seek"), std::string::npos);
}

TEST_F(InterleavedAudioVideoDecoderTest, VideoTwoSecondsBehindIsSoughtToTheAudio) {
    const double first = firstChunkStartAfterSeek(S + 10.0);
    const double chunkEnd = first + 0.144;
    // Exactly 2.0 s behind the first chunk (both times exact in double): re-sought.
    auto interleaved = decoder({media_.writeKov(first - 2.0, 6.0)});
    ASSERT_TRUE(interleaved->setPositionByWallClockTime(S + 10.0, -1.0f, true));
    ASSERT_TRUE(interleaved->videoDecoderIs()->setPositionByWallClockTime(first - 2.0, 0.01f));
    std::vector<DecodedChunkSet> audio;
    Frames frames;
    ASSERT_TRUE(interleaved->getNextDecodedChunksAndFrames(1, audio, frames, false));
    ASSERT_DOUBLE_EQ(audio.front()[0]->startTimeIs(), first);
    EXPECT_EQ(interleaved->autoSeekAttemptsIs(), 1);
    EXPECT_EQ(interleaved->successfulAutoSeeksIs(), 1);
    ASSERT_FALSE(frames.empty());
    EXPECT_NEAR(frames.front()->getEpochTime(), first, 1e-6);
    char expected[400];
    std::snprintf(expected, sizeof expected,
                  "InterleavedAudioVideoDecoder::getNextDecodedChunksAndFrames(): Performed "
                  "auto-seek. frameTimeStamp=%0.3f, firstAudioChunkTimeStamp=%0.3f,  "
                  "finalAudioSampleTimeStamp=%0.3f, videoSeekSuccessful=1, "
                  "autoSeekAttemptCounter=1, successfulAutoSeekCounter=1",
                  first - 2.0, first, chunkEnd);
    const std::string log = logText();
    EXPECT_NE(log.find(expected), std::string::npos) << log;
    EXPECT_EQ(log.find("AUTO-SEEK FAILED"), std::string::npos);
}

TEST_F(InterleavedAudioVideoDecoderTest, VideoUnderTwoSecondsOffIsLeftAlone) {
    const double first = firstChunkStartAfterSeek(S + 10.0);
    const double chunkEnd = first + 0.144;
    // 1.9 s behind the first chunk, then 1.9 s past the end of the audio: no re-seek.
    for (const double frameStart : {first - 1.9, chunkEnd + 1.9}) {
        auto interleaved = decoder({media_.writeKov(frameStart, 3.0)});
        ASSERT_TRUE(interleaved->setPositionByWallClockTime(S + 10.0, -1.0f, true));
        ASSERT_TRUE(interleaved->videoDecoderIs()->setPositionByWallClockTime(frameStart, 0.01f));
        std::vector<DecodedChunkSet> audio;
        Frames frames;
        ASSERT_TRUE(interleaved->getNextDecodedChunksAndFrames(1, audio, frames, false));
        EXPECT_EQ(interleaved->autoSeekAttemptsIs(), 0);
        ASSERT_FALSE(frames.empty());
        EXPECT_NEAR(frames.front()->getEpochTime(), frameStart, 1e-6);
    }
    EXPECT_EQ(logText().find("auto-seek"), std::string::npos);
}

TEST_F(InterleavedAudioVideoDecoderTest, AFailedReSeekIsLoggedAndCounted) {
    const double first = firstChunkStartAfterSeek(S + 10.0);
    // The only video ends long before the audio: the seek to the audio cannot succeed.
    auto interleaved = decoder({media_.writeKov(first - 9.0, 3.0)});
    ASSERT_TRUE(interleaved->setPositionByWallClockTime(S + 10.0, -1.0f, true));
    std::vector<DecodedChunkSet> audio;
    Frames frames;
    ASSERT_TRUE(interleaved->getNextDecodedChunksAndFrames(2, audio, frames, false));
    EXPECT_EQ(audio.size(), 2u);
    EXPECT_TRUE(frames.empty());
    EXPECT_EQ(interleaved->autoSeekAttemptsIs(), 1);
    EXPECT_EQ(interleaved->successfulAutoSeeksIs(), 0);
    const std::string log = logText();
    EXPECT_NE(log.find("InterleavedAudioVideoDecoder::getNextDecodedChunksAndFrames(): AUTO-SEEK "
                       "FAILED!!"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("videoSeekSuccessful=0, autoSeekAttemptCounter=1, "
                       "successfulAutoSeekCounter=0"),
              std::string::npos)
        << log;
}

TEST_F(InterleavedAudioVideoDecoderTest, AudioOnlyAndNoVideoGiveNoFrames) {
    auto interleaved = decoder({media_.writeKov(S, 20.0)});
    ASSERT_TRUE(interleaved->setPositionByWallClockTime(S + 1.0, -1.0f, false));
    std::vector<DecodedChunkSet> audio;
    Frames frames;
    ASSERT_TRUE(interleaved->getNextDecodedChunksAndFrames(3, audio, frames, true));
    EXPECT_EQ(audio.size(), 3u);
    EXPECT_TRUE(frames.empty());

    auto withoutVideo = decoder({}, false);
    EXPECT_EQ(withoutVideo->videoDecoderIs(), nullptr);
    ASSERT_TRUE(withoutVideo->setPositionByWallClockTime(S + 1.0, -1.0f, false));
    ASSERT_TRUE(withoutVideo->getNextDecodedChunksAndFrames(2, audio, frames, false));
    EXPECT_EQ(audio.size(), 5u);
    EXPECT_TRUE(frames.empty());
}

// A video file that only records the tolerances it is positioned with.
class ToleranceRecordingVideoFile : public CompressedVideoFile {
public:
    explicit ToleranceRecordingVideoFile(std::vector<float>& tolerances)
        : CompressedVideoFile("recording.kov"), tolerances_(tolerances) {}
    bool isValidFileName(const std::string&) override { return false; }
    double getStartTime() override { return S; }
    float getDuration() override { return 20.0f; }
    bool refreshFileInformation() override { return true; }
    bool setPositionByTimeOffsetFromStart(float, float, float&) override { return true; }
    bool setPositionByTimeOffsetFromCurrent(float, float, float&) override { return false; }
    bool setPositionByEpochTime(double t, float tolerance, double& reached) override {
        tolerances_.push_back(tolerance);
        reached = t;
        return true;
    }
    double getCurrentEpochTime() override { return S; }
    float getCurrentTimeOffset() override { return 0.0f; }
    bool getNextFrame(std::unique_ptr<VideoSegmentFrame>&, bool* endOfFile, bool) override {
        if (endOfFile != nullptr) {
            *endOfFile = true;
        }
        return false;
    }
    void dumpTimingDataAsCsv(std::ostream&) override {}
    bool copyAndSplitAtEpochTime(double, double, const std::string&,
                                 std::unique_ptr<CompressedVideoFile>&,
                                 std::unique_ptr<CompressedVideoFile>&,
                                 std::unique_ptr<CompressedVideoFile>&, float, KovWriteCallback,
                                 void*, int) override {
        return false;
    }
    bool copyAndSplitAtEpochTime(double, const std::string&, std::unique_ptr<CompressedVideoFile>&,
                                 std::unique_ptr<CompressedVideoFile>&, float, KovWriteCallback,
                                 void*, int) override {
        return false;
    }
    bool copyAndSplitAtEpochTimeToPaths(double, const std::string&, const std::string&, float,
                                        KovWriteCallback, void*, int) override {
        return false;
    }
    std::string getErrorText() override { return ""; }
    bool close() override { return true; }
    bool isAvailable() override { return true; }
    bool isValid() override { return true; }

private:
    std::vector<float>& tolerances_;
};

TEST_F(InterleavedAudioVideoDecoderTest, ANegativeToleranceSeeksTheVideoWithOneSecond) {
    std::vector<float> tolerances;
    auto interleaved = decoder({});
    interleaved->videoDecoderIs()->addFileToDecodeList(
        std::make_unique<ToleranceRecordingVideoFile>(tolerances));
    EXPECT_TRUE(interleaved->setPositionByWallClockTime(S + 8.5, -1.0f, false));
    EXPECT_TRUE(interleaved->setPositionByWallClockTime(S + 8.5, 0.25f, false));
    EXPECT_TRUE(interleaved->setPositionByWallClockTime(S + 8.5, 0.25f, true));  // audio only
    EXPECT_EQ(tolerances, (std::vector<float>{1.0f, 0.25f}));
    // The audio's answer is the result.
    EXPECT_FALSE(interleaved->setPositionByWallClockTime(S + 30.0, 0.25f, false));
}

TEST_F(InterleavedAudioVideoDecoderTest, TheEndOfTheAudioEndsTheCallsWithoutSeekingTheVideo) {
    auto interleaved = decoder({media_.writeKov(S, 25.0)});
    ASSERT_TRUE(interleaved->setPositionByWallClockTime(S + 19.0, -1.0f, false));
    std::vector<DecodedChunkSet> audio;
    Frames frames;
    int calls = 0;
    while (interleaved->getNextDecodedChunksAndFrames(5, audio, frames, false) && calls < 100) {
        ++calls;
    }
    EXPECT_LT(calls, 100);
    ASSERT_FALSE(audio.empty());
    const auto& lastChunk = audio.back()[0];
    EXPECT_NEAR(lastChunk->startTimeIs() + lastChunk->durationIs(), S + 20.016, 1e-3);
    const size_t framesAtEnd = frames.size();
    EXPECT_FALSE(interleaved->getNextDecodedChunksAndFrames(5, audio, frames, false));
    EXPECT_EQ(frames.size(), framesAtEnd);
    EXPECT_EQ(interleaved->autoSeekAttemptsIs(), 0);
}

}  // namespace
