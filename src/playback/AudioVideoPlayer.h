#pragma once

#include <functional>
#include <memory>
#include <mutex>

#include "AudioChunkWithCorrelatedVideoFrame.h"
#include "TransactionId.h"

// The end of the playback pipeline: it takes correlated items (a mixed audio chunk and,
// optionally, the frame to show with it), plays their audio and reports each played item through
// the callbacks. Nothing here knows the window system: the hooks are plain functions, called on
// the player's own thread.
//
// The virtual operations keep a fixed order (queueChunk, powerLevelForChannelIs,
// freeBufferSlotsIs, destructor).
class AudioVideoPlayer {
public:
    // Called on the player's thread when a played item carried a video frame.
    using FrameCallback = std::function<void()>;
    // Called on the player's thread for every played item with the audio chunk's start time
    // (epoch seconds), its duration (seconds), its power level (0.0 .. 1.0 of full scale) and a
    // copy of its transaction id.
    using PositionCallback = std::function<void(double startTime, double durationSeconds,
                                                float powerLevel, TransactionId transactionId)>;
    // Called on the player's thread while it waits for enough queued items to start.
    using BufferingCallback = std::function<void()>;

    AudioVideoPlayer() = default;
    AudioVideoPlayer(const AudioVideoPlayer&) = delete;
    AudioVideoPlayer& operator=(const AudioVideoPlayer&) = delete;

    // Queues one item to be played. The player takes ownership of `item` and destroys it after
    // playing it, or at once when it refuses it (result false). An item the player already holds
    // is left as it is (result true). With `wait`, blocks until a buffer slot is free.
    virtual bool queueChunk(AudioChunkWithCorrelatedVideoFrame* item, bool wait) = 0;
    // The level (0.0 .. 1.0) of channel `channel` in the newest played item; 0.0 when nothing has
    // been played or the item has no such channel.
    virtual float powerLevelForChannelIs(unsigned channel);
    // Items that can still be queued before the queue is full.
    virtual int freeBufferSlotsIs() = 0;
    virtual ~AudioVideoPlayer();

    // queueChunk for an item held in a unique_ptr (ownership always passes to the player).
    bool queueItem(std::unique_ptr<AudioChunkWithCorrelatedVideoFrame> item, bool wait) {
        return queueChunk(item.release(), wait);
    }

    // Store a hook (an empty function removes it). Once a setter has returned, the replaced hook
    // is not running and is never called again, so a caller may destroy what it captured.
    void setFrameCallback(FrameCallback callback);
    void setPositionCallback(PositionCallback callback);
    void setBufferingCallback(BufferingCallback callback);

protected:
    // Call the hook when one is set; each returns whether one was called. A hook may replace
    // hooks, but must not wait for another thread that uses the player.
    bool callFrameCallback();
    bool callPositionCallback(double startTime, double durationSeconds, float powerLevel,
                              const TransactionId& transactionId);
    bool callBufferingCallback();

private:
    std::recursive_mutex callbackLock_;
    FrameCallback frameCallback_;
    PositionCallback positionCallback_;
    BufferingCallback bufferingCallback_;
};
