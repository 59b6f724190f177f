#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "AudioVideoPlayer.h"
#include "CountingSemaphore.h"
#include "LatestVideoFrame.h"
#include "ThreadMessageQueue.h"
#include "Win32AudioBuffer.h"

class AudioOutputDevice;
class DecodedAudioChunk;
namespace soundtouch {
class SoundTouch;
}

// The player on an audio output device, driven by its own wave thread.
//
// Items queued by the feeder wait in the pending queue (at most `maximumBuffers`; a free-slot
// semaphore throttles the feeder). Nothing is written to the device while the player is priming;
// a start message ends priming once more than `primeCount` buffers are pending, writing
// primeCount - 1 of them at once. From then on every completed buffer is replaced by the next
// pending one (writes that found nothing pending are owed and made up later). A buffer that has
// finished goes to the history (the newest `historyLength`), from which the level meters read.
// When the last outstanding buffer finishes while playing, the device has run dry: the player
// primes again and restarts by itself once enough buffers are pending.
//
// Threads: the feeder calls queueChunk, play, pause, drain and requestFlush; the window thread
// calls setSpeed, powerLevelForChannelIs, latestFrameIs and the state queries; the wave thread
// handles the device's completion notices and the start and flush messages, and calls the hooks
// (while holding the player's lock: a hook must not wait for another thread that uses the
// player). One recursive lock guards the lists, counters, flags and the tempo processor.
class Win32AudioVideoPlayer : public AudioVideoPlayer {
public:
    // The values the player window uses.
    static constexpr int kDefaultMaximumBuffers = 40;
    static constexpr int kDefaultHistoryLength = 40;
    static constexpr int kDefaultPrimeCount = 10;

    // Messages of the wave thread.
    static constexpr uint32_t kBufferDoneMessage = 0x3BD;  // wParam: buffer id; lParam: 1 = reset
    static constexpr uint32_t kStartMessage = 0x8000;      // wParam: the pause generation
    static constexpr uint32_t kFlushMessage = 0x8001;
    static constexpr uint32_t kQuitMessage = 0x8002;

    // While priming without enough buffers, the start is tried again after this long.
    static constexpr std::chrono::milliseconds kStartRetryInterval{100};
    // requestFlush waits at most this long for the wave thread (5 ms polled 1000 times).
    static constexpr std::chrono::milliseconds kFlushWaitLimit{5000};
    // Bytes of the buffer that receives time-stretched samples (more when a chunk needs more).
    static constexpr uint32_t kStretchedBufferBytes = 96000;
    // The tempo changes setSpeed accepts; other values are clamped to these.
    static constexpr int kSlowestSpeedPercent = -90;
    static constexpr int kFastestSpeedPercent = 400;

    // The player owns `device` (closed; the first queued item opens it). Speed 0, priming.
    Win32AudioVideoPlayer(int maximumBuffers, int historyLength, int primeCount,
                          std::unique_ptr<AudioOutputDevice> device);
    // Ends the wave thread, resets and closes the device and destroys every buffer still held.
    ~Win32AudioVideoPlayer() override;

    // Starts the wave thread. True when it runs (also when it already ran). Call once, before
    // playing; items may be queued before.
    bool start();

    // Tempo change in percent, without changing the pitch: 0 plays as recorded, -50 at half
    // speed, +50 at one and a half. -10 plays as -20. Values beyond the accepted range are
    // clamped to it.
    void setSpeed(int percent);
    int speedIs() const;
    // Drops the samples the tempo processor holds (a flush does this as well).
    void clearTempoProcessor();

    // slot 0. False (the item destroyed) for an item without audio, or when the pending queue is
    // full. Opens the device on the first item; a device that cannot be opened is tried again
    // with the next item.
    bool queueChunk(AudioChunkWithCorrelatedVideoFrame* item, bool wait) override;

    // Asks the wave thread to start writing once enough buffers are pending. Always true.
    bool play();
    // Writes nothing more to the device: what it holds plays out. A start requested before and
    // not yet carried out is cancelled.
    void pause();
    // For the end of the material: like play, but the player also starts, and keeps writing,
    // with fewer than primeCount + 1 buffers pending, so the last items are heard. Once every
    // pending buffer has been played the player primes again without restarting by itself
    // (outstandingCountIs() is then 0). A flush or pause ends draining. Always true.
    bool drain();
    // Asks the wave thread to flush (reset the device, destroy every pending buffer, free every
    // slot, prime again) and waits until it has, at most kFlushWaitLimit. True when the flush was
    // done within that time.
    bool requestFlush();

    // slot 1: the newest played item's level of `channel` (0.0 when none).
    float powerLevelForChannelIs(unsigned channel) override;
    // slot 2: maximumBuffers - pending buffers.
    int freeBufferSlotsIs() override;

    // Copies the newest played video frame into `frame` when it is newer than what `frame` holds
    // (by sequence number). True when `frame` now holds a frame (new or kept). Frames whose
    // image is not decoded 24-bit pixels are skipped.
    bool latestFrameIs(LatestVideoFrame& frame);

    // Opens the device for the chunk's sample rate (mono, 16 bit) unless it is open. True when
    // the device is open afterwards.
    bool openWaveDevice(DecodedAudioChunk* chunk);

    // State, for the engine, the command line and tests.
    bool primingIs() const;
    bool drainingIs() const;
    int restartCountIs() const;
    int flushCountIs() const;
    unsigned owedWritesIs() const;
    uint64_t samplesWrittenIs() const;
    int pendingCountIs() const;
    int outstandingCountIs() const;
    int historyCountIs() const;
    int maximumBuffersIs() const { return maximumBuffers_; }
    int historyLengthIs() const { return historyLength_; }
    int primeCountIs() const { return primeCount_; }
    bool deviceIsOpen() const;
    // The device the player writes to (owned by the player).
    AudioOutputDevice* deviceIs() const { return device_.get(); }

private:
    using BufferList = std::deque<Win32AudioBuffer*>;

    void waveThreadMain();
    void bufferDone(uint64_t bufferId, bool wasReset);
    void startPlaying(uint64_t pauseGeneration);
    void flush();
    // Writes the front pending buffer; the lock must be held.
    void writeOneBuffer();
    // Time-stretches the buffer's audio by the current speed; the lock must be held.
    void stretchBuffer(Win32AudioBuffer& buffer);
    void configureTempoProcessor();
    bool holdsItem(const AudioChunkWithCorrelatedVideoFrame* item) const;
    void keepLatestFrame(Win32AudioBuffer& buffer);
    void postDeviceCompletion(uint64_t bufferId, bool wasReset);

    std::unique_ptr<soundtouch::SoundTouch> tempoProcessor_;
    int speed_ = 0;
    std::atomic<int> flushCount_{0};
    BufferList pending_;
    BufferList outstanding_;
    int restartCount_ = 0;
    BufferList history_;
    mutable std::recursive_mutex lock_;
    const int maximumBuffers_;
    const int historyLength_;
    const int primeCount_;
    unsigned owedWrites_ = 0;
    bool priming_ = true;
    bool draining_ = false;
    // A start that found too few buffers pending is tried again at startRetryTime_ (or as soon
    // as queueChunk brings enough), unless a pause cancels it.
    bool startRetryScheduled_ = false;
    std::chrono::steady_clock::time_point startRetryTime_;
    // Grows with every pause; a start message posted before the latest pause is ignored.
    uint64_t pauseGeneration_ = 0;
    CountingSemaphore freeSlots_;
    std::unique_ptr<AudioOutputDevice> device_;
    bool deviceOpenFailureLogged_ = false;
    uint32_t sampleRate_ = 16000;
    ThreadMessageQueue waveQueue_;
    std::thread waveThread_;
    uint64_t samplesWritten_ = 0;
    uint64_t nextBufferId_ = 1;

    std::unique_ptr<VideoSegmentFrame> latestFrame_;
    uint64_t latestFrameNumber_ = 0;

    // requestFlush waits on this for the flush count to change.
    std::mutex flushWaitLock_;
    std::condition_variable flushDone_;
};
