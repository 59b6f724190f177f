// The playback engine end to end on real sessions, through outputs that complete at once: the
// feeder, the player's wave thread and (for a growing session) the refresh thread all run.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "FileIo.h"
#include "JexSession.h"
#include "NullAudioOutputDevice.h"
#include "PlaybackEngine.h"
#include "PlaybackTestSupport.h"
#include "PlayerFeeder.h"
#include "WavAudioOutputDevice.h"
#include "Win32AudioVideoPlayer.h"

namespace {

constexpr double kStart = PlaybackTestSupport::kSessionStart;
// Bound for waits on the engine's threads: long enough for a loaded machine, only reached
// when something is broken.
constexpr auto kPatience = std::chrono::seconds(120);

// What the engine reports, for the test thread to wait on.
class Reports {
public:
    PlaybackEngine::Callbacks callbacks() {
        PlaybackEngine::Callbacks callbacks;
        callbacks.position = [this](double start, double duration, float) {
            std::lock_guard<std::mutex> hold(mutex_);
            positions_.push_back(start);
            EXPECT_NEAR(duration, 0.03, 0.001);
            changed_.notify_all();
        };
        callbacks.frame = [this] {
            std::lock_guard<std::mutex> hold(mutex_);
            ++frames_;
        };
        callbacks.finished = [this] {
            std::lock_guard<std::mutex> hold(mutex_);
            ++finished_;
            changed_.notify_all();
        };
        return callbacks;
    }

    // Waits until `condition` holds over the reports (false after kPatience). It is checked on
    // every report and every few milliseconds, so it may look at the engine too.
    template <typename Condition>
    bool waitFor(Condition condition) {
        const auto deadline = std::chrono::steady_clock::now() + kPatience;
        std::unique_lock<std::mutex> hold(mutex_);
        while (!condition(*this)) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            changed_.wait_for(hold, std::chrono::milliseconds(5));
        }
        return true;
    }

    std::vector<double> positions() {
        std::lock_guard<std::mutex> hold(mutex_);
        return positions_;
    }
    int frames() {
        std::lock_guard<std::mutex> hold(mutex_);
        return frames_;
    }
    void clear() {
        std::lock_guard<std::mutex> hold(mutex_);
        positions_.clear();
    }

    // Used under the lock by waitFor's conditions.
    std::vector<double> positions_;
    int frames_ = 0;
    int finished_ = 0;

private:
    std::mutex mutex_;
    std::condition_variable changed_;
};

std::unique_ptr<AudioOutputDevice> fastDevice() {
    return std::make_unique<NullAudioOutputDevice>(NullAudioOutputDevice::Pace::Immediate);
}

// A seek lands on the decoding step (0.144 s) that holds the time sought.
void expectStartsAt(double first, double sought) {
    EXPECT_LE(first, sought + 1e-6);
    EXPECT_GT(first, sought - 0.145);
}

void expectContiguous(const std::vector<double>& positions, size_t from, size_t to) {
    for (size_t i = from + 1; i < to; ++i) {
        ASSERT_NEAR(positions[i] - positions[i - 1], 0.03, 1e-4) << "item " << i;
    }
}

bool readWav(const std::string& path, std::vector<int16_t>& samples) {
    std::string bytes;
    if (!FileIo::readWholeFile(path, bytes) || bytes.size() < 44) {
        return false;
    }
    samples.resize((bytes.size() - 44) / 2);
    std::memcpy(samples.data(), bytes.data() + 44, samples.size() * 2);
    return true;
}

// The frequency from `low` to `high` Hz (1 Hz steps) strongest in one second of `samples`
// from `from`, by Goertzel power.
double dominantFrequency(const std::vector<int16_t>& samples, size_t from, double low,
                         double high) {
    double best = -1.0, bestPower = -1.0;
    for (double hz = low; hz <= high; hz += 1.0) {
        const double coefficient = 2.0 * std::cos(2.0 * M_PI * hz / 16000.0);
        double previous = 0.0, beforePrevious = 0.0;
        for (size_t i = from; i < from + 16000 && i < samples.size(); ++i) {
            const double current = samples[i] + coefficient * previous - beforePrevious;
            beforePrevious = previous;
            previous = current;
        }
        const double power = previous * previous + beforePrevious * beforePrevious -
                             coefficient * previous * beforePrevious;
        if (power > bestPower) {
            bestPower = power;
            best = hz;
        }
    }
    return best;
}

class PlaybackEngineThreadTest : public ::testing::Test {
protected:
    void writeSession(double seconds, bool video = true) {
        archive_.writeChannelMp3(0, kStart, seconds, 500.0);
        archive_.writeChannelMp3(1, kStart, seconds, 900.0);
        if (video) {
            archive_.writeKov(kStart, seconds);
        }
        ASSERT_TRUE(archive_.writeRecord(2));
    }
    void open(PlaybackEngine& engine) {
        ASSERT_TRUE(engine.openSession(archive_.recordingsPath(), archive_.databasesPath(),
                                       PlaybackTestSupport::kLocation, PlaybackTestSupport::kYear,
                                       PlaybackTestSupport::kMonth, PlaybackTestSupport::kDay));
    }

    PlaybackTestSupport archive_;
    Reports reports_;
};

TEST_F(PlaybackEngineThreadTest, PlaysARangeInOrderToItsEndAndStops) {
    writeSession(6.0);
    PlaybackEngine engine(fastDevice(), reports_.callbacks());
    open(engine);
    double start = 0.0, end = 0.0;
    ASSERT_TRUE(engine.sessionRangeIs(start, end));
    EXPECT_NEAR(start, kStart, 0.01);
    EXPECT_EQ(engine.channelCountIs(), 2u);
    const std::vector<std::vector<TimeRange>> ranges = engine.timeRangesIs();
    ASSERT_EQ(ranges.size(), 2u);
    for (const std::vector<TimeRange>& channel : ranges) {
        ASSERT_EQ(channel.size(), 1u);
        EXPECT_NEAR(channel.front().start, start, 0.01);
        EXPECT_NEAR(channel.front().end, end, 0.05);
        EXPECT_FALSE(channel.front().sealed);
    }
    EXPECT_TRUE(engine.hasVideoIs());
    ASSERT_NE(engine.recordIs(), nullptr);
    EXPECT_EQ(engine.recordIs()->annotationCount(), 2u);

    engine.setEndTime(kStart + 4.0);
    engine.playFrom(kStart + 1.0);
    ASSERT_TRUE(reports_.waitFor([](Reports& r) { return r.finished_ > 0; }));
    EXPECT_TRUE(engine.hasFinished());
    EXPECT_FALSE(engine.isPlaying());

    const std::vector<double> positions = reports_.positions();
    ASSERT_FALSE(positions.empty());
    expectStartsAt(positions.front(), kStart + 1.0);
    EXPECT_LT(positions.back(), kStart + 4.0);
    EXPECT_GE(positions.back() + 0.03, kStart + 4.0 - 1e-6);
    expectContiguous(positions, 0, positions.size());
    // Video at 5 frames a second: about 15 frames went with the items heard.
    EXPECT_GE(reports_.frames(), 14);
    EXPECT_LE(reports_.frames(), 16);
}

// A listener that is slow with each position must still have every one of them before it hears
// of the end: a player that sums the durations heard stops counting at the end.
TEST_F(PlaybackEngineThreadTest, TheEndIsToldOnlyAfterEveryPositionOfTheRange) {
    writeSession(4.0, false);
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<double> positions;
    size_t positionsAtEnd = 0;
    bool ended = false;
    PlaybackEngine::Callbacks callbacks;
    callbacks.position = [&](double start, double, float) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        std::lock_guard<std::mutex> hold(mutex);
        positions.push_back(start);
    };
    callbacks.finished = [&] {
        std::lock_guard<std::mutex> hold(mutex);
        positionsAtEnd = positions.size();
        ended = true;
        changed.notify_all();
    };
    auto engine = std::make_unique<PlaybackEngine>(fastDevice(), std::move(callbacks));
    open(*engine);
    engine->setEndTime(kStart + 3.0);
    engine->playFrom(kStart + 1.0);
    {
        std::unique_lock<std::mutex> hold(mutex);
        ASSERT_TRUE(changed.wait_for(hold, kPatience, [&] { return ended; }));
    }
    // Gone, with its threads: nothing more can be reported.
    engine.reset();
    std::lock_guard<std::mutex> hold(mutex);
    ASSERT_FALSE(positions.empty());
    EXPECT_EQ(positionsAtEnd, positions.size());
    EXPECT_GE(positions.back() + 0.03, kStart + 3.0 - 1e-6);
}

TEST_F(PlaybackEngineThreadTest, SeekFlushesAndPlaysOnFromTheNewPosition) {
    writeSession(12.0, false);
    PlaybackEngine engine(fastDevice(), reports_.callbacks());
    open(engine);
    engine.playFrom(kStart);
    ASSERT_TRUE(reports_.waitFor([](Reports& r) { return r.positions_.size() >= 40; }));
    const int flushesBefore = engine.player().flushCountIs();
    const unsigned seeksBefore = engine.feeder().seekCountIs();

    engine.playFrom(kStart + 8.0);
    // The first playback may already have reached the end (the output completes at once): wait
    // for the step to about 8 s that the seek makes, and for the end heard after it.
    ASSERT_TRUE(reports_.waitFor([](Reports& r) {
        const std::vector<double>& p = r.positions_;
        for (size_t i = 1; i < p.size(); ++i) {
            if (std::fabs(p[i] - p[i - 1] - 0.03) > 1e-4 &&
                std::fabs(p[i] - (kStart + 8.0)) < 0.15) {
                return p.back() > kStart + 11.5 && r.finished_ > 0;
            }
        }
        return false;
    }));
    EXPECT_GT(engine.player().flushCountIs(), flushesBefore);
    EXPECT_EQ(engine.feeder().seekCountIs(), seeksBefore + 1);

    // Before the seek: from the start, item after item. After it: from 8 s to the end, item
    // after item. Nothing else.
    const std::vector<double> positions = reports_.positions();
    size_t jump = 1;
    while (jump < positions.size() &&
           std::fabs(positions[jump] - positions[jump - 1] - 0.03) < 1e-4) {
        ++jump;
    }
    ASSERT_LT(jump, positions.size());
    EXPECT_NEAR(positions.front(), kStart, 0.001);
    expectContiguous(positions, 0, jump);
    expectStartsAt(positions[jump], kStart + 8.0);
    expectContiguous(positions, jump, positions.size());
    EXPECT_GT(positions.back(), kStart + 11.5);
}

TEST_F(PlaybackEngineThreadTest, SeekThatStaysStoppedPlaysNothingUntilPlay) {
    writeSession(6.0, false);
    PlaybackEngine engine(fastDevice(), reports_.callbacks());
    open(engine);
    engine.seekTo(kStart + 2.0);
    EXPECT_NEAR(engine.positionIs(), kStart + 2.0, 1e-9);
    // Let the feeder handle the seek: it decodes nothing while stopped.
    ASSERT_TRUE(
        reports_.waitFor([&engine](Reports&) { return engine.feeder().seekCountIs() == 1; }));
    EXPECT_FALSE(engine.isPlaying());
    EXPECT_EQ(engine.feeder().mixedChunkSetCountIs(), 0u);
    EXPECT_EQ(engine.feeder().modeIs(), PlayerFeeder::Mode::kSeekStopped);

    engine.setEndTime(kStart + 3.0);
    engine.play();
    ASSERT_TRUE(reports_.waitFor([](Reports& r) { return r.finished_ > 0; }));
    const std::vector<double> positions = reports_.positions();
    ASSERT_FALSE(positions.empty());
    expectStartsAt(positions.front(), kStart + 2.0);
    EXPECT_LT(positions.back(), kStart + 3.0);
    EXPECT_GE(positions.back() + 0.03, kStart + 3.0 - 1e-6);
    expectContiguous(positions, 0, positions.size());
}

TEST_F(PlaybackEngineThreadTest, RewindAndAdvanceMoveFromThePositionHeardWithinTheSession) {
    writeSession(6.0, false);
    PlaybackEngine engine(fastDevice(), reports_.callbacks());
    open(engine);
    engine.seekTo(kStart + 3.0);
    engine.advance(1.5);
    EXPECT_NEAR(engine.positionIs(), kStart + 4.5, 1e-9);
    engine.rewind(10.0);
    EXPECT_NEAR(engine.positionIs(), kStart, 0.01) << "clamped to the session's start";
    engine.advance(100.0);
    double start = 0.0, end = 0.0;
    ASSERT_TRUE(engine.sessionRangeIs(start, end));
    EXPECT_NEAR(engine.positionIs(), end, 1e-9) << "clamped to the session's end";

    // Playing from the end: nothing to hear, the end is reached at once.
    engine.play();
    ASSERT_TRUE(reports_.waitFor([](Reports& r) { return r.finished_ > 0; }));
    EXPECT_TRUE(reports_.positions().empty());
}

TEST_F(PlaybackEngineThreadTest, MutedChannelsKeepTheirLevelsForTheMeters) {
    writeSession(4.0, false);
    PlaybackEngine engine(fastDevice(), reports_.callbacks());
    open(engine);
    ASSERT_TRUE(engine.channels().setChannelMute(1, true));
    engine.setEndTime(kStart + 2.0);
    engine.playFrom(kStart + 1.0);
    ASSERT_TRUE(reports_.waitFor([](Reports& r) { return r.finished_ > 0; }));
    // The newest item heard holds both channels' levels, the muted one's too.
    EXPECT_GT(engine.channelLevelIs(0), 0.05f);
    EXPECT_GT(engine.channelLevelIs(1), 0.05f);
    EXPECT_EQ(engine.channelLevelIs(2), 0.0f);
}

TEST_F(PlaybackEngineThreadTest, SpeedChangeWhilePlayingStartsAgainFromThePositionHeard) {
    writeSession(8.0, false);
    PlaybackEngine engine(fastDevice(), reports_.callbacks());
    open(engine);
    engine.playFrom(kStart);
    ASSERT_TRUE(reports_.waitFor([](Reports& r) { return r.positions_.size() >= 20; }));
    engine.setSpeed(PlaybackSpeed::fromTrackBarPosition(5));
    EXPECT_EQ(engine.speedIs().percentIs(), -50);
    EXPECT_EQ(engine.player().speedIs(), -50);
    ASSERT_TRUE(reports_.waitFor([](Reports& r) { return r.finished_ > 0; }));
    // No stretch of the session was skipped: every 30 ms from the start to the end was heard
    // at least once (the items around the change may be heard twice).
    std::vector<double> positions = reports_.positions();
    std::sort(positions.begin(), positions.end());
    for (size_t i = 1; i < positions.size(); ++i) {
        ASSERT_LE(positions[i] - positions[i - 1], 0.03 + 1e-4) << i;
    }
    EXPECT_GT(positions.back(), kStart + 7.5);
}

// A session without audio plays its video alone: silent items carry the frames and the
// positions advance to the video's end.
TEST_F(PlaybackEngineThreadTest, SessionWithoutAudioPlaysItsVideo) {
    archive_.writeKov(kStart, 3.0);
    PlaybackEngine engine(fastDevice(), reports_.callbacks());
    open(engine);
    EXPECT_EQ(engine.channelCountIs(), 0u);
    double start = 0.0, end = 0.0;
    ASSERT_TRUE(engine.sessionRangeIs(start, end));
    EXPECT_NEAR(start, kStart, 0.01);
    engine.playFrom(kStart);
    ASSERT_TRUE(reports_.waitFor([](Reports& r) { return r.finished_ > 0; }));
    const std::vector<double> positions = reports_.positions();
    ASSERT_FALSE(positions.empty());
    EXPECT_NEAR(positions.front(), kStart, 1e-6);
    expectContiguous(positions, 0, positions.size());
    EXPECT_GT(positions.back(), kStart + 2.7);
    EXPECT_LT(positions.back(), kStart + 3.4);
    // 5 frames a second for 3 seconds.
    EXPECT_GE(reports_.frames(), 14);
    EXPECT_LE(reports_.frames(), 15);
}

// At -50 a range lasts about twice as long, at +50 about two thirds, and the tones keep their
// pitch.
TEST_F(PlaybackEngineThreadTest, SpeedChangesTheLengthAndKeepsThePitch) {
    writeSession(6.0, false);
    for (const int percent : {-50, 50}) {
        SCOPED_TRACE(percent);
        const std::string path = archive_.root() + "/speed.wav";
        {
            Reports reports;
            PlaybackEngine engine(std::make_unique<WavAudioOutputDevice>(path),
                                  reports.callbacks());
            open(engine);
            ASSERT_TRUE(engine.channels().setChannelMute(1, true));
            engine.setSpeed(PlaybackSpeed::fromPercent(percent));
            engine.setEndTime(kStart + 5.0);
            engine.playFrom(kStart + 1.0);
            ASSERT_TRUE(reports.waitFor([](Reports& r) { return r.finished_ > 0; }));
        }
        std::vector<int16_t> samples;
        ASSERT_TRUE(readWav(path, samples));
        // 4 s of session (the seek lands up to one decoding step early).
        const double heardSeconds = samples.size() / 16000.0;
        const double expected = 4.0 / (1.0 + percent / 100.0);
        EXPECT_NEAR(heardSeconds, expected, expected * 0.03 + 0.144 / (1.0 + percent / 100.0));
        ASSERT_GT(samples.size(), 2u * 16000);
        const double hz = dominantFrequency(samples, samples.size() / 2 - 8000, 400.0, 600.0);
        EXPECT_NEAR(hz, 500.0, 10.0);
    }
}

// The feeder plays a session that the recorder is still writing while the refresh thread adds
// its new files and a new channel: playback goes on into them.
TEST_F(PlaybackEngineThreadTest, PlaysIntoFilesAddedWhileItPlays) {
    archive_.writeChannelMp3(0, kStart, 2.0, 500.0);
    archive_.writeKov(kStart, 2.0);
    ASSERT_TRUE(archive_.writeRecord(1));
    PlaybackEngine engine(std::make_unique<NullAudioOutputDevice>(), reports_.callbacks());
    open(engine);
    ASSERT_TRUE(engine.setAutoRefresh(true));
    EXPECT_TRUE(engine.autoRefreshIs());
    engine.playFrom(kStart);

    for (int file = 1; file < 4; ++file) {
        const double start = kStart + 2.0 * file;
        archive_.writeChannelMp3(0, start, 2.0, 500.0);
        archive_.writeChannelMp3(1, start, 2.0, 900.0);
        archive_.writeKov(start, 2.0);
        ASSERT_TRUE(archive_.writeRecord(1 + file));
    }
    // Until the refresh thread has seen the new channel, the engine plays what it has; once the
    // first file is over it may stop, so play on from where it stopped until the end is heard.
    ASSERT_TRUE(
        reports_.waitFor([&engine](Reports&) { return engine.channels().channelCountIs() == 2; }));
    ASSERT_TRUE(reports_.waitFor([&engine](Reports& r) {
        if (!r.positions_.empty() && r.positions_.back() > kStart + 7.5) {
            return true;
        }
        if (r.finished_ > 0) {
            r.finished_ = 0;
            engine.playFrom(r.positions_.empty() ? kStart : r.positions_.back());
        }
        return false;
    }));
    EXPECT_EQ(engine.channelCountIs(), 2u);
    ASSERT_TRUE(reports_.waitFor(
        [&engine](Reports&) { return engine.recordIs()->annotationCount() == 4; }));
    engine.setAutoRefresh(false);
    EXPECT_FALSE(engine.autoRefreshIs());
}

}  // namespace
