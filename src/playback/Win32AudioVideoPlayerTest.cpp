#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <filesystem>
#include <future>
#include <thread>

#include "AudioMixer.h"
#include "AudioOutputDeviceFactory.h"
#include "AudioVideoCorrelator.h"
#include "ManualAudioOutputDevice.h"
#include "PlayerTestSupport.h"
#include "TemporaryDirectory.h"
#include "Win32AudioVideoPlayer.h"

namespace {

using Support = PlayerTestSupport;

// A player on the manual device, with the window's sizes (40 / 40 / 10), recording what its
// hooks report.
class PlayerOnManualDevice : public ::testing::Test {
protected:
    void SetUp() override {
        auto device = std::make_unique<ManualAudioOutputDevice>();
        device_ = device.get();
        player_ = std::make_unique<Win32AudioVideoPlayer>(40, 40, 10, std::move(device));
        player_->setPositionCallback(
            [this](double startTime, double duration, float level, TransactionId id) {
                std::lock_guard guard(mutex_);
                positions_.push_back(startTime);
                durations_.push_back(duration);
                levels_.push_back(level);
                ids_.push_back(id.idNumberIs());
            });
        player_->setFrameCallback([this] {
            std::lock_guard guard(mutex_);
            ++frames_;
        });
        player_->setBufferingCallback([this] {
            std::lock_guard guard(mutex_);
            ++buffering_;
        });
        ASSERT_TRUE(player_->start());
    }

    // The player goes first: its wave thread may still be calling the hooks above.
    void TearDown() override { player_.reset(); }

    void queue(size_t from, size_t count) {
        for (size_t i = from; i < from + count; ++i) {
            ASSERT_TRUE(player_->queueItem(Support::makeSilentItem(i), true));
        }
    }
    std::vector<double> positions() {
        std::lock_guard guard(mutex_);
        return positions_;
    }
    int buffering() {
        std::lock_guard guard(mutex_);
        return buffering_;
    }
    int frames() {
        std::lock_guard guard(mutex_);
        return frames_;
    }
    bool waitForWritten(size_t count) {
        return Support::waitUntil([&] { return device_->writtenCount() == count; });
    }
    bool waitForPositions(size_t count) {
        return Support::waitUntil([&] { return positions().size() == count; });
    }
    // Answers the oldest written buffer and waits until the player has reported it.
    void completeOne() {
        const size_t before = positions().size();
        ASSERT_EQ(device_->completeOldest(1), 1u);
        ASSERT_TRUE(waitForPositions(before + 1));
    }

    ManualAudioOutputDevice* device_ = nullptr;
    std::unique_ptr<Win32AudioVideoPlayer> player_;
    std::mutex mutex_;
    std::vector<double> positions_;
    std::vector<double> durations_;
    std::vector<float> levels_;
    std::vector<uint32_t> ids_;
    int frames_ = 0;
    int buffering_ = 0;
};

TEST_F(PlayerOnManualDevice, StartsWritingOnlyOnceMoreThanThePrimeCountIsPending) {
    EXPECT_TRUE(player_->primingIs());
    queue(0, 10);
    player_->play();
    ASSERT_TRUE(Support::waitUntil([&] { return buffering() >= 1; }));
    EXPECT_EQ(device_->writtenCount(), 0u);
    EXPECT_TRUE(player_->primingIs());
    EXPECT_TRUE(device_->isOpen());
    EXPECT_EQ(device_->sampleRate(), Support::kSampleRate);

    // The eleventh item lets the waiting start go ahead: prime count - 1 buffers are written.
    queue(10, 1);
    ASSERT_TRUE(waitForWritten(9));
    EXPECT_FALSE(player_->primingIs());
    EXPECT_EQ(player_->pendingCountIs(), 2);
    EXPECT_EQ(player_->outstandingCountIs(), 11);
    EXPECT_EQ(player_->freeBufferSlotsIs(), 38);
    EXPECT_EQ(player_->samplesWrittenIs(), 9u * Support::kChunkSamples);
}

TEST_F(PlayerOnManualDevice, EachCompletionWritesTheNextBufferAndReportsItsPositionInOrder) {
    queue(0, 20);
    player_->play();
    ASSERT_TRUE(waitForWritten(9));
    for (size_t played = 1; played <= 11; ++played) {
        completeOne();
        EXPECT_EQ(device_->writtenCount(), 9 + played);
    }
    EXPECT_EQ(player_->pendingCountIs(), 0);
    // Nothing left to write: the remaining completions only report, and the last one finds the
    // device dry.
    for (int played = 12; played <= 20; ++played) {
        completeOne();
    }
    EXPECT_EQ(device_->writtenCount(), 20u);
    EXPECT_TRUE(player_->primingIs());
    EXPECT_EQ(player_->restartCountIs(), 1);
    EXPECT_EQ(player_->historyCountIs(), 20);
    EXPECT_EQ(player_->outstandingCountIs(), 0);

    const std::vector<double> reported = positions();
    ASSERT_EQ(reported.size(), 20u);
    for (size_t i = 0; i < reported.size(); ++i) {
        EXPECT_DOUBLE_EQ(reported[i], Support::itemStartTime(i));
    }
    EXPECT_NEAR(durations_.front(), 0.03, 1e-6);

    // Having run dry, the player starts by itself once enough buffers are pending again.
    queue(20, 11);
    ASSERT_TRUE(waitForWritten(29));
    EXPECT_FALSE(player_->primingIs());
    completeOne();
    EXPECT_DOUBLE_EQ(positions().back(), Support::itemStartTime(20));
}

TEST_F(PlayerOnManualDevice, CompletionsThatFindNothingPendingAreMadeUpLater) {
    queue(0, 11);
    player_->play();
    ASSERT_TRUE(waitForWritten(9));
    completeOne();  // writes item 9
    completeOne();  // writes item 10; nothing pending now
    EXPECT_EQ(device_->writtenCount(), 11u);
    completeOne();
    completeOne();
    EXPECT_EQ(player_->owedWritesIs(), 2u);

    queue(11, 5);
    completeOne();  // owed 2 + this one: three buffers go out
    EXPECT_EQ(device_->writtenCount(), 14u);
    EXPECT_EQ(player_->owedWritesIs(), 0u);
    EXPECT_EQ(player_->pendingCountIs(), 2);

    completeOne();
    completeOne();
    completeOne();
    completeOne();
    EXPECT_EQ(player_->owedWritesIs(), 2u);
    // Fewer pending than owed + 1: all are written and the rest stays owed.
    queue(16, 1);
    completeOne();
    EXPECT_EQ(device_->writtenCount(), 17u);
    EXPECT_EQ(player_->owedWritesIs(), 2u);
    EXPECT_FALSE(player_->primingIs());
    EXPECT_EQ(player_->restartCountIs(), 0);
}

TEST_F(PlayerOnManualDevice, FlushDropsEverythingUnheardAndPrimesAgain) {
    queue(0, 20);
    player_->play();
    ASSERT_TRUE(waitForWritten(9));
    completeOne();
    completeOne();
    ASSERT_EQ(player_->pendingCountIs(), 9);

    ASSERT_TRUE(player_->requestFlush());
    EXPECT_EQ(device_->resetCount(), 1);
    EXPECT_EQ(player_->flushCountIs(), 1);
    EXPECT_EQ(player_->pendingCountIs(), 0);
    EXPECT_EQ(player_->freeBufferSlotsIs(), 40);
    EXPECT_TRUE(player_->primingIs());
    EXPECT_EQ(player_->samplesWrittenIs(), 0u);
    // The written buffers come back as reset notices: they leave without being reported.
    ASSERT_TRUE(Support::waitUntil([&] { return player_->outstandingCountIs() == 0; }));
    EXPECT_EQ(positions().size(), 2u);
    EXPECT_EQ(player_->historyCountIs(), 2);
    EXPECT_EQ(player_->restartCountIs(), 0);

    // After the seek the new items prime again before anything is written.
    const size_t writtenBefore = device_->writtenCount();
    queue(100, 10);
    player_->play();
    ASSERT_TRUE(Support::waitUntil([&] { return buffering() >= 1; }));
    EXPECT_EQ(device_->writtenCount(), writtenBefore);
    queue(110, 1);
    ASSERT_TRUE(waitForWritten(writtenBefore + 9));
    completeOne();
    EXPECT_DOUBLE_EQ(positions().back(), Support::itemStartTime(100));
}

// The buffers written before a flush hold their slots until the device hands them back: were
// the slots refilled at once, the feeder would outrun the queue and have items refused.
TEST_F(PlayerOnManualDevice, AfterAFlushTheFeederWaitsForTheBuffersTheDeviceStillHolds) {
    queue(0, 20);
    player_->play();
    ASSERT_TRUE(waitForWritten(9));
    completeOne();
    completeOne();
    ASSERT_EQ(device_->unansweredCount(), 9u);
    device_->setHoldResetAnswers(true);
    ASSERT_TRUE(player_->requestFlush());

    std::atomic<int> refused{0};
    std::thread feeder([&] {
        for (size_t i = 100; i < 140; ++i) {
            if (!player_->queueItem(Support::makeSilentItem(i), true)) {
                ++refused;
            }
        }
    });
    // Not fatal: the feeder must be let go and joined whatever happens here.
    EXPECT_TRUE(Support::waitUntil([&] { return player_->pendingCountIs() == 31; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(player_->pendingCountIs(), 31);
    device_->answerHeldResets();
    feeder.join();
    EXPECT_EQ(refused.load(), 0);
    EXPECT_EQ(player_->pendingCountIs(), 40);
    EXPECT_EQ(player_->freeBufferSlotsIs(), 0);
    // Only the two heard before the flush were reported.
    EXPECT_EQ(positions().size(), 2u);

    player_->play();
    ASSERT_TRUE(waitForWritten(11 + 9));
    completeOne();
    EXPECT_DOUBLE_EQ(positions().back(), Support::itemStartTime(100));
}

TEST_F(PlayerOnManualDevice, AnItemQueuedTwiceIsHeldAndPlayedOnce) {
    auto samples = Support::tone(440.0, 0.5, 0, Support::kChunkSamples);
    auto owned = Support::makeItem(Support::itemStartTime(0), samples);
    owned->audioChunkIs()->transactionIdIs().setIdNumber(77);
    AudioChunkWithCorrelatedVideoFrame* item = owned.release();
    EXPECT_TRUE(player_->queueChunk(item, true));
    EXPECT_TRUE(player_->queueChunk(item, true));
    EXPECT_EQ(player_->pendingCountIs(), 1);
    queue(1, 10);
    player_->play();
    ASSERT_TRUE(waitForWritten(9));
    completeOne();
    // Still held (now in the history): queueing it again changes nothing.
    const int pending = player_->pendingCountIs();
    EXPECT_TRUE(player_->queueChunk(item, false));
    EXPECT_EQ(player_->pendingCountIs(), pending);

    const auto written = device_->written();
    EXPECT_EQ(written.front().samples, samples);
    std::lock_guard guard(mutex_);
    ASSERT_EQ(positions_.size(), 1u);
    EXPECT_EQ(ids_.front(), 77u);
    EXPECT_NEAR(levels_.front(), 0.5 / std::sqrt(2.0), 0.01);
}

TEST_F(PlayerOnManualDevice, RefusesNoItemsItemsWithoutAudioAndAFullQueue) {
    const long chunksBefore = DecodedAudioChunk::liveInstances();
    const long framesBefore = VideoSegmentFrame::liveInstances();
    EXPECT_FALSE(player_->queueChunk(nullptr, false));
    auto frameOnly = Support::makeItem(0.0, {}, {}, 4, 2);
    auto videoOnly =
        std::make_unique<AudioChunkWithCorrelatedVideoFrame>(nullptr, frameOnly->takeVideoFrame());
    frameOnly.reset();
    EXPECT_FALSE(player_->queueItem(std::move(videoOnly), true));
    EXPECT_EQ(VideoSegmentFrame::liveInstances(), framesBefore);

    // Without play nothing leaves the pending queue.
    for (size_t i = 0; i < 40; ++i) {
        ASSERT_TRUE(player_->queueItem(Support::makeSilentItem(i), false));
    }
    EXPECT_EQ(player_->freeBufferSlotsIs(), 0);
    const long chunksWhenFull = DecodedAudioChunk::liveInstances();
    EXPECT_FALSE(player_->queueItem(Support::makeSilentItem(40), false));
    EXPECT_EQ(DecodedAudioChunk::liveInstances(), chunksWhenFull);
    EXPECT_EQ(player_->pendingCountIs(), 40);

    player_.reset();
    EXPECT_EQ(DecodedAudioChunk::liveInstances(), chunksBefore);
}

TEST_F(PlayerOnManualDevice, ADeviceThatCannotBeOpenedIsTriedAgainWithTheNextItem) {
    device_->setRefuseOpen(true);
    queue(0, 2);
    EXPECT_EQ(device_->openAttempts(), 2);
    EXPECT_FALSE(player_->deviceIsOpen());
    device_->setRefuseOpen(false);
    queue(2, 2);
    EXPECT_EQ(device_->openAttempts(), 3);
    EXPECT_TRUE(player_->deviceIsOpen());
}

TEST_F(PlayerOnManualDevice, LevelsComeFromTheNewestPlayedItemPerChannel) {
    EXPECT_EQ(player_->powerLevelForChannelIs(0), 0.0f);
    const std::vector<int16_t> silence(Support::kChunkSamples, 0);
    for (size_t i = 0; i < 11; ++i) {
        const float first = 0.1f * static_cast<float>(i % 5);
        ASSERT_TRUE(player_->queueItem(
            Support::makeItem(Support::itemStartTime(i), silence, {first, 0.0f, 0.25f}), true));
    }
    player_->play();
    ASSERT_TRUE(waitForWritten(9));
    completeOne();
    EXPECT_EQ(player_->powerLevelForChannelIs(0), 0.0f);
    EXPECT_EQ(player_->powerLevelForChannelIs(2), 0.25f);
    completeOne();
    completeOne();
    EXPECT_FLOAT_EQ(player_->powerLevelForChannelIs(0), 0.2f);
    EXPECT_EQ(player_->powerLevelForChannelIs(1), 0.0f);
    EXPECT_EQ(player_->powerLevelForChannelIs(2), 0.25f);
    // A channel beyond the item's components.
    EXPECT_EQ(player_->powerLevelForChannelIs(3), 0.0f);
}

TEST_F(PlayerOnManualDevice, KeepsTheNewestPlayedFrameForDrawing) {
    LatestVideoFrame frame;
    EXPECT_FALSE(player_->latestFrameIs(frame));
    const std::vector<int16_t> silence(Support::kChunkSamples, 0);
    for (size_t i = 0; i < 11; ++i) {
        const bool withFrame = i == 1 || i == 3;
        ASSERT_TRUE(player_->queueItem(
            Support::makeItem(Support::itemStartTime(i), silence, {}, withFrame ? 4 : 0, 2,
                              static_cast<uint8_t>(10 + i)),
            true));
    }
    player_->play();
    ASSERT_TRUE(waitForWritten(9));
    completeOne();
    EXPECT_FALSE(player_->latestFrameIs(frame));
    completeOne();
    EXPECT_EQ(frames(), 1);
    ASSERT_TRUE(player_->latestFrameIs(frame));
    EXPECT_EQ(frame.width, 4u);
    EXPECT_EQ(frame.height, 2u);
    EXPECT_EQ(frame.pixels, std::vector<uint8_t>(24, 11));
    EXPECT_DOUBLE_EQ(frame.epochTime, Support::itemStartTime(1));
    const uint64_t first = frame.sequenceNumber;

    completeOne();  // no frame: the drawn frame stays
    ASSERT_TRUE(player_->latestFrameIs(frame));
    EXPECT_EQ(frame.sequenceNumber, first);
    completeOne();
    EXPECT_EQ(frames(), 2);
    ASSERT_TRUE(player_->latestFrameIs(frame));
    EXPECT_GT(frame.sequenceNumber, first);
    EXPECT_EQ(frame.pixels, std::vector<uint8_t>(24, 13));
    // A flush keeps the last frame on screen until a new one is played.
    ASSERT_TRUE(player_->requestFlush());
    EXPECT_TRUE(player_->latestFrameIs(frame));
}

TEST_F(PlayerOnManualDevice, PauseCancelsAStartStillWaitingForBuffers) {
    queue(0, 5);
    player_->play();
    ASSERT_TRUE(Support::waitUntil([&] { return buffering() >= 1; }));
    player_->pause();
    queue(5, 20);
    // Were the start still waiting, it would have written within a few retries.
    std::this_thread::sleep_for(3 * Win32AudioVideoPlayer::kStartRetryInterval);
    EXPECT_EQ(device_->writtenCount(), 0u);
    EXPECT_TRUE(player_->primingIs());
    player_->play();
    ASSERT_TRUE(waitForWritten(9));
}

TEST_F(PlayerOnManualDevice, RequestFlushGivesUpWhenTheWaveThreadNeverAnswers) {
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<bool> entered{false};
    player_->setPositionCallback([&](double, double, float, TransactionId) {
        entered = true;
        released.wait();
    });
    queue(0, 11);
    player_->play();
    ASSERT_TRUE(waitForWritten(9));
    device_->completeOldest(1);
    ASSERT_TRUE(Support::waitUntil([&] { return entered.load(); }));

    const auto before = std::chrono::steady_clock::now();
    EXPECT_FALSE(player_->requestFlush());
    EXPECT_GE(std::chrono::steady_clock::now() - before,
              Win32AudioVideoPlayer::kFlushWaitLimit - std::chrono::milliseconds(50));
    EXPECT_EQ(player_->flushCountIs(), 0);

    release.set_value();
    // The flush asked for is still carried out once the wave thread is free.
    ASSERT_TRUE(Support::waitUntil([&] { return player_->flushCountIs() == 1; }));
    player_->setPositionCallback(nullptr);
}

// Through a device that completes at once, the queue empties, the device runs dry, and the player
// primes again and restarts by itself when enough items arrive.
TEST(Win32AudioVideoPlayerNullFast, RunningDryPrimesAgainAndRestartsByItself) {
    std::mutex mutex;
    std::vector<double> reported;
    std::string errorText;
    auto device = AudioOutputDeviceFactory::create("null:fast", "", errorText);
    ASSERT_NE(device, nullptr) << errorText;
    Win32AudioVideoPlayer player(40, 40, 10, std::move(device));
    player.setPositionCallback([&](double startTime, double, float, TransactionId) {
        std::lock_guard guard(mutex);
        reported.push_back(startTime);
    });
    auto reportedCount = [&] {
        std::lock_guard guard(mutex);
        return reported.size();
    };
    ASSERT_TRUE(player.start());
    for (size_t i = 0; i < 11; ++i) {
        ASSERT_TRUE(player.queueItem(Support::makeSilentItem(i), true));
    }
    player.play();
    ASSERT_TRUE(Support::waitUntil([&] { return reportedCount() == 11; }));
    ASSERT_TRUE(Support::waitUntil([&] { return player.restartCountIs() == 1; }));
    EXPECT_TRUE(player.primingIs());
    EXPECT_EQ(player.outstandingCountIs(), 0);

    for (size_t i = 11; i < 22; ++i) {
        ASSERT_TRUE(player.queueItem(Support::makeSilentItem(i), true));
    }
    ASSERT_TRUE(Support::waitUntil([&] { return reportedCount() == 22; }));
    ASSERT_TRUE(Support::waitUntil([&] { return player.restartCountIs() == 2; }));
    player.setPositionCallback(nullptr);
    for (size_t i = 0; i < reported.size(); ++i) {
        EXPECT_DOUBLE_EQ(reported[i], Support::itemStartTime(i));
    }
}

TEST(Win32AudioVideoPlayerSpeed, MinusTenPlaysAsMinusTwentyAndExtremesAreClamped) {
    Win32AudioVideoPlayer player(40, 40, 10, std::make_unique<ManualAudioOutputDevice>());
    EXPECT_EQ(player.speedIs(), 0);
    player.setSpeed(-10);
    EXPECT_EQ(player.speedIs(), -20);
    player.setSpeed(-30);
    EXPECT_EQ(player.speedIs(), -30);
    player.setSpeed(-100);
    EXPECT_EQ(player.speedIs(), Win32AudioVideoPlayer::kSlowestSpeedPercent);
    player.setSpeed(70);
    EXPECT_EQ(player.speedIs(), 70);
}

// Plays `seconds` of a 440 Hz tone at `speed` through a WAV device and returns what was heard.
std::vector<int16_t> playToneThroughWav(int speed, double seconds, size_t& inputSamples) {
    TemporaryDirectory scratch;
    const std::string path = scratch.path() + "/heard.wav";
    std::string errorText;
    auto device = AudioOutputDeviceFactory::create("wav:" + path, "", errorText);
    EXPECT_NE(device, nullptr) << errorText;
    if (device == nullptr) {
        return {};
    }
    auto player = std::make_unique<Win32AudioVideoPlayer>(40, 40, 10, std::move(device));
    player->setSpeed(speed);
    EXPECT_TRUE(player->start());
    player->play();
    const auto items = static_cast<size_t>(seconds * Support::kSampleRate / Support::kChunkSamples);
    inputSamples = items * Support::kChunkSamples;
    for (size_t i = 0; i < items; ++i) {
        const auto samples =
            Support::tone(440.0, 0.5, i * Support::kChunkSamples, Support::kChunkSamples);
        EXPECT_TRUE(player->queueItem(Support::makeItem(Support::itemStartTime(i), samples), true));
    }
    player->drain();
    EXPECT_TRUE(Support::waitUntil([&] { return player->outstandingCountIs() == 0; }));
    player.reset();  // closes the device, which finishes the file
    std::vector<int16_t> heard;
    uint32_t rate = 0;
    EXPECT_TRUE(Support::readWav(path, heard, rate));
    EXPECT_EQ(rate, Support::kSampleRate);
    return heard;
}

TEST(Win32AudioVideoPlayerSpeed, NormalSpeedPlaysTheSamplesUnchanged) {
    size_t inputSamples = 0;
    const std::vector<int16_t> heard = playToneThroughWav(0, 3.0, inputSamples);
    ASSERT_EQ(heard.size(), inputSamples);
    EXPECT_EQ(heard, Support::tone(440.0, 0.5, 0, inputSamples));
}

TEST(Win32AudioVideoPlayerSpeed, TempoChangesTheLengthButNotThePitch) {
    struct Case {
        int speed;
        double expectedRatio;
    };
    // -10 plays as -20: 1 / 0.8 rather than 1 / 0.9.
    for (const Case& c : {Case{-50, 2.0}, Case{50, 2.0 / 3.0}, Case{-10, 1.25}}) {
        SCOPED_TRACE(c.speed);
        size_t inputSamples = 0;
        const std::vector<int16_t> heard = playToneThroughWav(c.speed, 20.0, inputSamples);
        const double ratio = static_cast<double>(heard.size()) / inputSamples;
        EXPECT_NEAR(ratio, c.expectedRatio, 0.03 * c.expectedRatio);
        ASSERT_GT(heard.size(), 3u * Support::kSampleRate);
        const double dominant = Support::dominantFrequency(
            heard, heard.size() / 2, Support::kSampleRate / 2, 300.0, 600.0, 1.0);
        EXPECT_NEAR(dominant, 440.0, 0.02 * 440.0);
    }
}

// The road from the mixer through the correlator into the player: the meters see every channel,
// a muted one too, while only the unmuted channels are heard.
TEST(Win32AudioVideoPlayerLevels, MutedChannelsStillShowTheirLevel) {
    TemporaryDirectory scratch;
    const std::string path = scratch.path() + "/heard.wav";
    std::string errorText;
    auto device = AudioOutputDeviceFactory::create("wav:" + path, "", errorText);
    ASSERT_NE(device, nullptr) << errorText;
    auto owned = std::make_unique<Win32AudioVideoPlayer>(40, 40, 10, std::move(device));
    Win32AudioVideoPlayer& player = *owned;
    ASSERT_TRUE(player.start());
    player.play();

    AudioMixer mixer(true);
    AudioVideoCorrelator correlator(90, 2, 0.03f, true, 0.0);
    correlator.initialize();
    constexpr uint32_t kInputSamples = 2304;
    const std::vector<float> gains{1.0f, 1.0f, 1.0f};
    const std::vector<bool> mutes{false, true, false};
    std::vector<int16_t> expected;
    for (size_t set = 0; set < 10; ++set) {
        const double start = Support::kSessionStart + set * 0.144;
        std::vector<std::unique_ptr<DecodedAudioChunk>> chunks;
        const std::vector<std::vector<int16_t>> channelSamples{
            Support::tone(440.0, 0.5, set * kInputSamples, kInputSamples),
            Support::tone(660.0, 0.25, set * kInputSamples, kInputSamples),
            std::vector<int16_t>(kInputSamples, 0)};
        for (const auto& samples : channelSamples) {
            auto chunk = std::make_unique<DecodedAudioChunk>(kInputSamples, Support::kSampleRate, 1,
                                                             "PCM", start);
            chunk->allocateBuffer(true);
            chunk->appendSamples(samples.data(), kInputSamples);
            chunks.push_back(std::move(chunk));
        }
        expected.insert(expected.end(), channelSamples[0].begin(), channelSamples[0].end());
        ASSERT_TRUE(mixer.addChunksToMix(std::move(chunks), &gains, &mutes));
        auto mixed = mixer.mixedResultIs();
        ASSERT_NE(mixed, nullptr);
        ASSERT_TRUE(correlator.addUncompressedAudioChunkToCorrelate(std::move(mixed), true));
        std::unique_ptr<AudioChunkWithCorrelatedVideoFrame> item;
        while (correlator.getNextCorrelatedChunk(item, false)) {
            ASSERT_TRUE(player.queueItem(std::move(item), true));
        }
    }
    player.drain();
    ASSERT_TRUE(Support::waitUntil([&] { return player.outstandingCountIs() == 0; }));

    EXPECT_NEAR(player.powerLevelForChannelIs(0), 0.5 / std::sqrt(2.0), 0.01);
    EXPECT_NEAR(player.powerLevelForChannelIs(1), 0.25 / std::sqrt(2.0), 0.01);
    EXPECT_EQ(player.powerLevelForChannelIs(2), 0.0f);
    EXPECT_EQ(player.powerLevelForChannelIs(3), 0.0f);

    owned.reset();  // closes the device, which finishes the file
    std::vector<int16_t> heard;
    uint32_t rate = 0;
    ASSERT_TRUE(Support::readWav(path, heard, rate));
    ASSERT_EQ(heard.size(), expected.size());
    EXPECT_EQ(heard, expected);
}

}  // namespace
