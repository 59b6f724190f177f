#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "AudioOutputDeviceFactory.h"
#include "PlayerTestSupport.h"
#include "Win32AudioVideoPlayer.h"

namespace {

using Support = PlayerTestSupport;

// A feeding thread queues items while the wave thread plays them and a third thread reads what
// the window reads (levels, free slots, the latest frame).
class PlayerThreads : public ::testing::Test {
protected:
    void makePlayer(const std::string& output) {
        std::string errorText;
        auto device = AudioOutputDeviceFactory::create(output, "", errorText);
        ASSERT_NE(device, nullptr) << errorText;
        player_ = std::make_unique<Win32AudioVideoPlayer>(40, 40, 10, std::move(device));
        player_->setPositionCallback([this](double startTime, double, float, TransactionId) {
            std::lock_guard guard(mutex_);
            positions_.push_back(startTime);
        });
        player_->setFrameCallback([this] { ++frames_; });
        ASSERT_TRUE(player_->start());
    }

    // Items `from` .. `from + count - 1`, every fourth with a small frame.
    void feed(size_t from, size_t count) {
        const std::vector<int16_t> samples = Support::tone(440.0, 0.3, 0, Support::kChunkSamples);
        for (size_t i = from; i < from + count; ++i) {
            const uint32_t width = i % 4 == 0 ? 8 : 0;
            EXPECT_TRUE(player_->queueItem(
                Support::makeItem(Support::itemStartTime(i), samples, {0.3f, 0.0f}, width, 6),
                true));
        }
    }

    void startWindowThread() {
        window_ = std::thread([this] {
            LatestVideoFrame frame;
            while (!stopWindow_) {
                const float level = player_->powerLevelForChannelIs(0);
                EXPECT_GE(level, 0.0f);
                EXPECT_LE(level, 1.0f);
                EXPECT_GE(player_->freeBufferSlotsIs(), 0);
                if (player_->latestFrameIs(frame)) {
                    EXPECT_EQ(frame.pixels.size(), 8u * 6u * 3u);
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
    }

    void TearDown() override {
        stopWindow_ = true;
        if (window_.joinable()) {
            window_.join();
        }
        player_.reset();
    }

    std::vector<double> positions() {
        std::lock_guard guard(mutex_);
        return positions_;
    }

    std::unique_ptr<Win32AudioVideoPlayer> player_;
    std::mutex mutex_;
    std::vector<double> positions_;
    std::atomic<int> frames_{0};
    std::atomic<bool> stopWindow_{false};
    std::thread window_;
};

TEST_F(PlayerThreads, EveryQueuedItemIsReportedOnceAndInOrder) {
    makePlayer("null:fast");
    startWindowThread();
    player_->play();
    constexpr size_t kItems = 600;
    std::thread feeder([&] {
        feed(0, kItems);
        player_->drain();
    });
    feeder.join();
    ASSERT_TRUE(Support::waitUntil([&] { return player_->outstandingCountIs() == 0; }));

    const std::vector<double> reported = positions();
    ASSERT_EQ(reported.size(), kItems);
    for (size_t i = 0; i < kItems; ++i) {
        ASSERT_DOUBLE_EQ(reported[i], Support::itemStartTime(i)) << i;
    }
    EXPECT_EQ(frames_.load(), static_cast<int>(kItems / 4));
    EXPECT_FLOAT_EQ(player_->powerLevelForChannelIs(0), 0.3f);
}

TEST_F(PlayerThreads, ASeekFlushesAndPlaybackGoesOnFromTheNewPosition) {
    makePlayer("null:fast");
    startWindowThread();
    player_->play();
    constexpr size_t kBefore = 300;
    constexpr size_t kAfter = 1000;  // items of the new position
    std::thread feeder([&] {
        feed(0, kBefore);
        EXPECT_TRUE(player_->requestFlush());
        player_->play();
        feed(kAfter, kBefore);
        player_->drain();
    });
    feeder.join();
    ASSERT_TRUE(Support::waitUntil([&] { return player_->outstandingCountIs() == 0; }));

    // Monotonic throughout (the seek here goes forwards), the old position's items a prefix,
    // and everything queued after the flush heard.
    const std::vector<double> reported = positions();
    for (size_t i = 1; i < reported.size(); ++i) {
        ASSERT_LT(reported[i - 1], reported[i]) << i;
    }
    ASSERT_GE(reported.size(), kBefore);
    const std::vector<double> tail(reported.end() - kBefore, reported.end());
    for (size_t i = 0; i < kBefore; ++i) {
        ASSERT_DOUBLE_EQ(tail[i], Support::itemStartTime(kAfter + i)) << i;
    }
    EXPECT_EQ(player_->flushCountIs(), 1);
}

TEST_F(PlayerThreads, PacedPlaybackReportsEveryItemInOrder) {
    makePlayer("null");
    startWindowThread();
    constexpr size_t kItems = 60;  // 1.8 s of audio
    std::thread feeder([&] {
        feed(0, 30);
        player_->play();
        feed(30, kItems - 30);
        player_->drain();
    });
    feeder.join();
    ASSERT_TRUE(Support::waitUntil([&] { return player_->outstandingCountIs() == 0; }));
    const std::vector<double> reported = positions();
    ASSERT_EQ(reported.size(), kItems);
    for (size_t i = 0; i < kItems; ++i) {
        ASSERT_DOUBLE_EQ(reported[i], Support::itemStartTime(i));
    }
    // Drained: nothing more to write, so the player is priming again.
    EXPECT_TRUE(player_->primingIs());
}

}  // namespace
