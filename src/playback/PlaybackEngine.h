#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "ChannelGainModel.h"
#include "PlaybackSpeed.h"
#include "TimeRange.h"

class AudioOutputDevice;
class AudioVideoCorrelator;
class InterleavedAudioVideoDecoder;
class JexSession;
class KorvalisSession;
class PlayerFeeder;
class SessionRefreshThread;
class Win32AudioVideoPlayer;

// The playback half of the player window, without a window: one open session (its media set,
// interleaved decoder and record), the player on an output device, the correlator, the feeder
// thread, the channel model, and the refresh thread while auto refresh is on. The window and
// `korvalis play` both drive it: play, stop, seek, rewind and advance, speed steps, channel
// levels and mutes.
//
// Threads: the owner's thread calls the operations. Callbacks run on the engine's threads (the
// player's for positions and frames, the feeder's for play state and the end, the refresh
// thread's for what it finds); they must not call back into the engine and wait.
class PlaybackEngine {
public:
    // The values the window creates the player and correlator with.
    static constexpr int kMaximumBuffers = 40;
    static constexpr int kHistoryLength = 40;
    static constexpr int kPrimeCount = 10;
    static constexpr float kChunkDurationSeconds = 0.144f;
    static constexpr float kAutoSeekToleranceSeconds = 2.0f;

    struct Callbacks {
        // An item was heard: its start time (epoch seconds), duration and level.
        std::function<void(double startTime, double durationSeconds, float level)> position;
        // The item heard carried a video frame (read it with latestFrameIs).
        std::function<void()> frame;
        std::function<void(bool playing)> playStateChanged;
        // Playback reached the end of the session (or the end time) and everything queued
        // before it has been heard.
        std::function<void()> finished;
        // From the refresh thread.
        std::function<void(const std::vector<std::vector<TimeRange>>& rangesPerChannel)>
            rangesChanged;
        std::function<void()> annotationsChanged;
        std::function<void(const std::string& skipped)> fileSkipped;
    };

    // The engine owns `device` (through the player). Starts the player's wave thread and the
    // feeder thread.
    PlaybackEngine(std::unique_ptr<AudioOutputDevice> device, Callbacks callbacks);
    // Stops everything and closes the session.
    ~PlaybackEngine();

    PlaybackEngine(const PlaybackEngine&) = delete;
    PlaybackEngine& operator=(const PlaybackEngine&) = delete;

    // Opens LOCATION on the day from `recordingsPath` (ROOT/Recordings), replacing the open
    // session after stopping it: the media set, decoders, the record from ROOT/Databases, one
    // channel in the model per audio channel. Files left out are reported through fileSkipped.
    // The position becomes the session's start. Always true (an empty session opens and has
    // nothing to play); `databasesPath` empty: no record.
    bool openSession(const std::string& recordingsPath, const std::string& databasesPath,
                     const std::string& locationName, int year, int month, int day);
    void closeSession();
    bool hasSession() const;

    // The earliest start and latest end of the session's audio; false without audio.
    bool sessionRangeIs(double& start, double& end) const;
    unsigned channelCountIs() const;
    // Every channel's merged time ranges (index = channel), sealed spans flagged; empty without a
    // session. Safe while the feeder plays (the decoder group locks itself).
    std::vector<std::vector<TimeRange>> timeRangesIs() const;
    bool hasVideoIs() const;
    // The session record (null without a session). It locks itself.
    JexSession* recordIs() const;

    // Play from `epochTime` (clamped to the session), or seek there and stay stopped.
    void playFrom(double epochTime);
    void seekTo(double epochTime);
    // Play on from the position last heard (or sought).
    void play();
    void stop();
    void togglePlay();
    // Move the position back or on by `seconds`, playing on when playing.
    void rewind(double seconds);
    void advance(double seconds);
    // Items starting at or after `epochTime` are not played (negative: to the end).
    void setEndTime(double epochTime);

    // A new speed. While playing, playback starts again from the position heard, so nothing
    // queued at the old speed is skipped.
    void setSpeed(const PlaybackSpeed& speed);
    PlaybackSpeed speedIs() const;

    bool isPlaying() const;
    bool hasFinished() const;
    // The start time of the item heard last, or the position sought since; -1.0 without session.
    double positionIs() const;
    // Level of a channel in the item heard last (0.0 .. 1.0).
    float channelLevelIs(unsigned channel) const;

    // Runs the refresh thread (new files, channels and annotations of a session still being
    // recorded) while on. False without a session.
    bool setAutoRefresh(bool on);
    bool autoRefreshIs() const;

    ChannelGainModel& channels() { return channels_; }
    Win32AudioVideoPlayer& player() { return *player_; }
    PlayerFeeder& feeder() { return *feeder_; }

private:
    void heard(double startTime, double durationSeconds, float level);
    void reachedEnd(double lastQueuedStartTime);
    void stopRefresh();

    const Callbacks callbacks_;
    ChannelGainModel channels_;
    std::unique_ptr<Win32AudioVideoPlayer> player_;
    std::unique_ptr<AudioVideoCorrelator> correlator_;
    std::unique_ptr<PlayerFeeder> feeder_;

    std::unique_ptr<KorvalisSession> session_;
    std::unique_ptr<InterleavedAudioVideoDecoder> decoder_;
    std::unique_ptr<JexSession> record_;
    std::unique_ptr<SessionRefreshThread> refresher_;

    // Guards the position, end and speed state below (the player's and feeder's threads write
    // it).
    mutable std::mutex stateLock_;
    double position_ = -1.0;
    // The start of the last item whose position callback has returned: the end is announced only
    // after the last item's, so a listener has every position before it hears of the end.
    double reportedThrough_ = -1.0;
    bool endReached_ = false;
    double lastQueuedStartTime_ = -1.0;
    bool finished_ = false;
    bool playing_ = false;
    PlaybackSpeed speed_;
};
