#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "AudioMixer.h"
#include "PlaybackMessages.h"
#include "ThreadMessageQueue.h"
#include "VideoSegmentFrame.h"

class AudioVideoCorrelator;
class ChannelGainModel;
class InterleavedAudioVideoDecoder;
class Win32AudioVideoPlayer;

// The player feeder thread: pulls chunk sets and frames from the open session's interleaved
// decoder, mixes each set with the channel model's gains and mutes, hands mixed audio and frames
// to the correlator and moves the correlated 30 ms items into the player's queue.
//
// It is driven by thread messages only (PlaybackMessages::kFeeder*): play from a position (mode
// 0), seek and stay stopped (mode 1), resume (mode 2), stop and quit. A seek positions the
// decoder, resets the correlator and flushes the player; the first request after a seek asks for
// 5 chunk sets, and once they are correlated they are queued at once and (in mode 0) the player
// is started; from then on one set is decoded whenever the correlator has no item ready. When the
// decoder has nothing more (or the end time is reached), the feeder stops and lets the player
// drain, so the end of the session is heard.
//
// Threads: the owner posts messages from any thread; the feeder thread is the only one that
// calls the decoder, mixer and correlator and feeds the player. The decoder may be replaced with
// setDecoder while the thread runs (the feeder's own lock keeps it from doing so mid-turn).
// Callbacks run on the feeder thread.
class PlayerFeeder {
public:
    // Chunk sets asked for after a seek, and per step afterwards.
    static constexpr unsigned kChunkSetsAfterSeek = 5;
    static constexpr unsigned kChunkSetsPerStep = 1;

    enum class Mode { kPlayFrom = 0, kSeekStopped = 1, kResumed = 2 };

    struct Callbacks {
        // Playing started (true: the play button pressed) or ended (false).
        std::function<void(bool playing)> playStateChanged;
        // The decoder ran out or the end time was reached. `lastQueuedStartTime` is the start
        // time of the last item handed to the player (-1.0 when none was), so the owner can tell
        // when everything has been heard.
        std::function<void(double lastQueuedStartTime)> endOfSession;
    };

    PlayerFeeder(Win32AudioVideoPlayer& player, AudioVideoCorrelator& correlator,
                 const ChannelGainModel& channels, Callbacks callbacks = {});
    // Quits the thread when it runs.
    ~PlayerFeeder();

    PlayerFeeder(const PlayerFeeder&) = delete;
    PlayerFeeder& operator=(const PlayerFeeder&) = delete;

    // Starts the thread; false when it runs already.
    bool start();
    // Posts the quit message and waits for the thread.
    void quit();

    // The session to play (not owned; null: none). Stops playback first; the decoder must stay
    // alive until it is replaced or the feeder quits.
    void setDecoder(InterleavedAudioVideoDecoder* decoder);
    // Items starting at or after `epochTime` are not played: reaching one ends the session as
    // the decoder's end does. A negative time (the default) plays to the end.
    void setEndTime(double epochTime);

    // The messages, posted to the feeder's queue. Positions are epoch seconds; the message
    // carries whole seconds in wParam (as the time slider sends them) and the milliseconds
    // beyond in lParam.
    void postPlayFrom(double epochTime);
    void postSeekTo(double epochTime);
    void postStop();
    void postResume();
    void post(uint32_t message, uint64_t wParam = 0, int64_t lParam = 0);

    bool isPlaying() const;
    Mode modeIs() const;
    // Seeks carried out, and chunk sets mixed, since construction.
    unsigned seekCountIs() const;
    uint64_t mixedChunkSetCountIs() const;

    // Length of the silent chunks that carry a session without audio.
    static constexpr uint32_t kSilentChunkSamples = 2304;
    static constexpr uint32_t kSilentSampleRate = 16000;

    // The earliest start and latest end of the decoder's audio channels, or of its video when it
    // has no audio; false when it has neither.
    static bool sessionRangeOf(InterleavedAudioVideoDecoder& decoder, double& start, double& end);

private:
    void run();
    // Handles one message; false for quit.
    bool handle(const ThreadMessage& message);
    void seek(double epochTime, bool clamp);
    // One turn of the work loop while playing.
    void feedOnce();
    // Decodes, mixes and correlates the next chunk sets; false when the decoder had nothing.
    bool decodeNext();
    // For a session without audio: silent chunks of the decoding step's length, timed from the
    // position, carry the video's frames; false when the video has ended.
    bool decodeSilence();
    // Queues one item to the player, or ends the session when it lies beyond the end time.
    bool queueOrEnd(std::unique_ptr<class AudioChunkWithCorrelatedVideoFrame> item);
    void endSession();
    void setPlaying(bool playing);

    Win32AudioVideoPlayer& player_;
    AudioVideoCorrelator& correlator_;
    const ChannelGainModel& channels_;
    const Callbacks callbacks_;
    AudioMixer mixer_{false};

    ThreadMessageQueue messages_;
    std::thread thread_;
    // Held for each turn and each message, so setDecoder never replaces a decoder in use.
    mutable std::mutex workLock_;
    InterleavedAudioVideoDecoder* decoder_ = nullptr;
    double endTime_ = -1.0;

    std::atomic<bool> playing_{false};
    std::atomic<Mode> mode_{Mode::kSeekStopped};
    unsigned chunkSets_ = kChunkSetsAfterSeek;
    bool priming_ = false;
    double lastQueuedStartTime_ = -1.0;
    // A session without audio: the start of the next silent chunk, and a frame read beyond the
    // chunk before.
    double silentClock_ = -1.0;
    std::unique_ptr<VideoSegmentFrame> heldFrame_;
    std::atomic<unsigned> seekCount_{0};
    std::atomic<uint64_t> mixedChunkSets_{0};
};
