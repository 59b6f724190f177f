#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

#include "DecoderTestSupport.h"
#include "InterleavedAudioVideoDecoder.h"
#include "KorvalisMp3CompressedAudioFile.h"
#include "KovCompressedVideoFile.h"

namespace {

constexpr double S = DecoderTestSupport::kSessionStart;
constexpr double kFrameSeconds = TimedMp3Writer::kFrameDurationSeconds;
constexpr int kFiles = 10;

double fileEnd(double start, double seconds) {
    return start + std::round(seconds / kFrameSeconds) * kFrameSeconds;
}

// A live recording: the refresh thread adds the files of two channels and the video as they
// appear (and a channel found later), refreshing the decoders, while the feeder thread decodes
// and seeks through the same decoders.
TEST(AudioDecoderThreadTest, FilesAddedAndRefreshedWhileAnotherThreadDecodes) {
    DecoderTestSupport media;
    std::vector<std::string> channel0;
    std::vector<std::string> channel1;
    std::vector<std::string> channel2;
    std::vector<std::string> video;
    double start = S;
    for (int i = 0; i < kFiles; ++i) {
        channel0.push_back(media.writeChannelMp3(0, start, 1.0));
        channel1.push_back(media.writeChannelMp3(1, start, 1.0));
        channel2.push_back(media.writeChannelMp3(2, start, 1.0));
        start = fileEnd(start, 1.0);
    }
    const double sessionEnd = start;
    for (int i = 0; i < kFiles / 2; ++i) {
        video.push_back(media.writeKov(S + 2.0 * i, 2.0));
    }

    auto group = std::make_unique<AudioDecoderGroup>();
    group->addDecoder(DecoderTestSupport::makeDecoder({channel0[0]}));
    group->addDecoder(DecoderTestSupport::makeDecoder({channel1[0]}));
    auto videoDecoder = std::make_unique<VideoDecoder>();
    videoDecoder->addFileToDecodeList(std::make_unique<KovCompressedVideoFile>(video[0]));
    InterleavedAudioVideoDecoder interleaved(std::move(group), std::move(videoDecoder), 2.0f);
    AudioDecoderGroup* decoders = interleaved.audioDecoderGroupIs();
    VideoDecoder* videoFiles = interleaved.videoDecoderIs();

    std::atomic<bool> refreshing{true};
    std::thread refresh([&] {
        for (int i = 1; i < kFiles; ++i) {
            for (unsigned c = 0; c < 2; ++c) {
                const std::string& path = c == 0 ? channel0[i] : channel1[i];
                if (!decoders->fileNameIsInDecodeList(c, path)) {
                    EXPECT_TRUE(decoders->addFileToDecodeList(
                        c, std::make_unique<KorvalisMp3CompressedAudioFile>(path, true)));
                }
            }
            if (i < static_cast<int>(video.size()) &&
                !videoFiles->fileNameIsInDecodeList(video[i])) {
                videoFiles->addFileToDecodeList(std::make_unique<KovCompressedVideoFile>(video[i]));
            }
            if (i == kFiles / 2) {
                decoders->addDecoder(DecoderTestSupport::makeDecoder(channel2));
            }
            for (int pass = 0; pass < 10; ++pass) {
                decoders->refreshAllFileInformation(1e12);
                videoFiles->refreshAllFileInformation(1e12);
                std::vector<TimeRange> ranges;
                decoders->listTimeRangesForChannel(0, ranges);
                decoders->totalPlayTimeIs();
                std::this_thread::yield();
            }
        }
        refreshing = false;
    });

    size_t sets = 0;
    size_t frames = 0;
    int round = 0;
    while (refreshing || round < 3) {
        if (!refreshing) {
            ++round;
        }
        interleaved.setPositionByWallClockTime(S + 0.3 * (sets % 30), -1.0f, false);
        for (int call = 0; call < 4; ++call) {
            std::vector<DecodedChunkSet> audio;
            std::vector<std::unique_ptr<VideoSegmentFrame>> frameList;
            interleaved.getNextDecodedChunksAndFrames(2, audio, frameList, false);
            sets += audio.size();
            frames += frameList.size();
        }
    }
    refresh.join();
    EXPECT_GT(sets, 0u);
    EXPECT_GT(frames, 0u);

    // Everything arrived, and the whole session now plays from start to end on every channel.
    ASSERT_EQ(decoders->numberOfDecodersIs(), 3u);
    EXPECT_EQ(decoders->decoderForChannel(0)->numberOfFilesIs(), static_cast<unsigned>(kFiles));
    EXPECT_EQ(decoders->decoderForChannel(1)->numberOfFilesIs(), static_cast<unsigned>(kFiles));
    EXPECT_EQ(videoFiles->numberOfFilesIs(), video.size());
    ASSERT_TRUE(interleaved.setPositionByWallClockTime(S, -1.0f, false));
    double expectedStart = -1.0;
    double lastEnd = 0.0;
    bool complete = true;
    for (int call = 0; call < 1000; ++call) {
        std::vector<DecodedChunkSet> audio;
        std::vector<std::unique_ptr<VideoSegmentFrame>> frameList;
        if (!interleaved.getNextDecodedChunksAndFrames(5, audio, frameList, false)) {
            break;
        }
        for (const auto& set : audio) {
            ASSERT_EQ(set.size(), 3u);
            for (const auto& chunk : set) {
                complete = complete && chunk != nullptr;
            }
            const auto& master = set[0];
            ASSERT_NE(master, nullptr);
            if (expectedStart >= 0.0) {
                EXPECT_NEAR(master->startTimeIs(), expectedStart, 1e-3);
            }
            expectedStart = master->startTimeIs() + master->numberOfSamplesIs() / 16000.0;
            lastEnd = expectedStart;
        }
    }
    EXPECT_TRUE(complete);
    EXPECT_NEAR(lastEnd, sessionEnd, 1e-3);
}

}  // namespace
