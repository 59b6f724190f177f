// A growing session: one thread decodes the audio and reads the video while another finds new
// files and channels and adds them, as the window's feeder and refresh threads do.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "AudioDecoderGroup.h"
#include "DecoderTestSupport.h"
#include "KorvalisSession.h"
#include "VideoDecoder.h"

namespace {

constexpr double kStart = DecoderTestSupport::kSessionStart;

TEST(KorvalisSessionThreadTest, UpdatesWhileAnotherThreadDecodes) {
    DecoderTestSupport archive;
    archive.writeChannelMp3(0, kStart, 2.0);
    archive.writeChannelMp3(1, kStart, 2.0);
    archive.writeKov(kStart, 2.0);
    KorvalisSession session(archive.root() + "/Recordings", DecoderTestSupport::kLocation, 2010, 3,
                            15);
    session.enumerateMediaFiles();
    std::unique_ptr<AudioDecoderGroup> group;
    std::unique_ptr<VideoDecoder> video;
    session.createAudioDecoderGroupForSession(group, 0.144f);
    session.createVideDecoderForSession(video);

    std::atomic<bool> recording{true};
    std::atomic<int> chunks{0};
    std::atomic<int> frames{0};
    std::thread feeder([&] {
        while (recording) {
            bool end = false;
            const DecodedChunkSet set = group->getNextDecodedChunks(&end);
            for (const auto& chunk : set) {
                if (chunk) {
                    ++chunks;
                }
            }
            bool videoEnd = false;
            if (video->getNextFrame(&videoEnd, true)) {
                ++frames;
            }
            if (end) {
                std::this_thread::yield();
            }
        }
    });

    // The recorder goes on: two-second files on both channels, a third channel from the fourth
    // file on, and video; after each, the refresh thread's round.
    for (int file = 1; file < 8; ++file) {
        const double start = kStart + 2.0 * file;
        for (int channel = 0; channel < (file >= 4 ? 3 : 2); ++channel) {
            archive.writeChannelMp3(channel, start, 2.0);
        }
        archive.writeKov(start, 2.0);
        EXPECT_TRUE(session.enumerateMediaFiles());
        EXPECT_TRUE(session.updateAudioDecoderGroupForSession(*group));
        EXPECT_TRUE(session.updateVideDecoderForSession(*video));
        group->refreshAllFileInformation(1e9);
        video->refreshAllFileInformation(1e9);
    }
    recording = false;
    feeder.join();

    ASSERT_EQ(group->numberOfDecodersIs(), 3u);
    EXPECT_EQ(group->decoderForChannel(0)->numberOfFilesIs(), 8u);
    EXPECT_EQ(group->decoderForChannel(1)->numberOfFilesIs(), 8u);
    EXPECT_EQ(group->decoderForChannel(2)->numberOfFilesIs(), 4u);
    EXPECT_EQ(video->numberOfFilesIs(), 8u);
    EXPECT_GT(chunks.load(), 0);
    EXPECT_GT(frames.load(), 0);
    EXPECT_TRUE(session.takeSkippedFiles().empty());
}

}  // namespace
