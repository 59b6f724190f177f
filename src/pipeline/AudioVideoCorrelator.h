#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "AudioChunkWithCorrelatedVideoFrame.h"
#include "CountingSemaphore.h"
#include "DecodedAudioChunk.h"
#include "MixedDecodedAudioChunk.h"
#include "VideoSegmentFrame.h"

// Cuts the stream of mixed audio chunks (about 0.144 s each) into fixed output chunks (30 ms for
// the player) and pairs each with at most one video frame whose time lies inside it.
//
// Producer calls (adding audio and frames) and consumer calls (taking correlated chunks) may run
// on different threads: three semaphores let them block when asked to wait. Audio slots bound the
// queued audio, frame slots the queued frames, and output ready counts the output chunks that
// can be cut. Every operation holds the correlator's own lock, except while it waits on a
// semaphore. The audio format is learnt from the first chunk ever added and kept for the
// correlator's lifetime.
class AudioVideoCorrelator {
public:
    // The player feeder uses (90, 2, 0.03, true, 0.0): up to 90 queued frames, 2 s of queued
    // audio, 30 ms outputs, a frame queue emptied when time goes backwards, no time shift.
    AudioVideoCorrelator(unsigned maximumFrames, unsigned audioSeconds, float outputChunkSeconds,
                         bool flushOlderFrames, double timeOffset);
    // Destroys everything still queued (as reset() does).
    virtual ~AudioVideoCorrelator();

    AudioVideoCorrelator(const AudioVideoCorrelator&) = delete;
    AudioVideoCorrelator& operator=(const AudioVideoCorrelator&) = delete;

    // Creates the frame slots. Call once before the first frame is added.
    void initialize();

    // Queues a decoded (usually mixed) chunk, shifted by the time offset; the correlator takes
    // ownership. With `wait`, blocks until the audio queue has a free slot. False (the chunk
    // destroyed) when the queue is full, or when the very first chunk has no samples or no
    // sample rate to learn the format from. The chunk must be present (fatal check).
    bool addUncompressedAudioChunkToCorrelate(std::unique_ptr<DecodedAudioChunk> chunk, bool wait);

    // Queues a frame; the correlator takes ownership. With `wait`, blocks until the frame queue
    // has a free slot. A frame earlier than a queued one (time went backwards, e.g. after a seek)
    // first empties the queue when flushing is on. A full queue destroys the frame. The frame
    // must be present (fatal check), and initialize() must have been called.
    void addVideoFrameToCorrelate(std::unique_ptr<VideoSegmentFrame> frame, bool wait);

    // Cuts the next output chunk from the queued audio and pairs it with the queued frame whose
    // time lies within [start, end] of the output (a frame at exactly either end counts).
    // Frames earlier than the output are destroyed; later ones stay queued. With `wait`, blocks
    // until an output chunk can be cut. False (and `out` untouched) when not enough audio is
    // queued for a whole output chunk.
    bool getNextCorrelatedChunk(std::unique_ptr<AudioChunkWithCorrelatedVideoFrame>& out,
                                bool wait);

    // When some queued frame is later than `epochTime`: destroys every queued frame and returns
    // true. Otherwise changes nothing and returns false.
    bool flushAllVideoFramesIfLaterTimeFound(double epochTime);

    // Destroys every queued chunk and frame and the chunk being cut; every slot becomes free and
    // no output is ready. The learnt audio format stays.
    void reset();

    // Gives `target` one level-only component per component of `source`, holding that
    // component's power level, so the meters can read per-channel levels from output chunks.
    // True only when `source` is a mixed chunk and `target` has no components yet (a mixed chunk
    // cannot shed components; the correlator fills each output once).
    bool fillComponentsFromAnotherMixedChunk(MixedDecodedAudioChunk* target,
                                             DecodedAudioChunk* source);

    // The learnt format and the capacities derived from it (0 before the first chunk).
    unsigned sampleRateIs() const;
    unsigned inputChunkSamplesIs() const;
    unsigned outputChunkSamplesIs() const;
    unsigned audioCapacityIs() const;
    unsigned outputCapacityIs() const;
    // What is queued now.
    unsigned queuedAudioChunkCountIs() const;
    unsigned queuedFrameCountIs() const;
    // Output chunks signalled as ready and not yet waited for.
    long outputsReadyIs() const;
    // Frame-queue flushes since construction.
    int flushedFrameCountIs() const;

private:
    // Samples a chunk really holds (never beyond its valid data).
    static uint32_t samplesHeld(const DecodedAudioChunk& chunk);
    void learnFormat(const DecodedAudioChunk& chunk);
    // Moves the front of the audio queue to the partial chunk and frees its slot.
    void takeFrontAsPartialChunk();
    // Releases output-ready units so that they match the output chunks the queued audio makes,
    // as far as the semaphore's maximum allows. `before` is the number of output chunks that
    // were available before the change that calls it.
    void signalAvailableOutputs(uint64_t outputsBefore);
    uint64_t availableOutputs() const;
    std::unique_ptr<VideoSegmentFrame> frameForOutput(double startTime, double endTime);
    // The power level of each component of a mixed chunk, as its powerLevelIs(true) gives it;
    // false (and none) for another chunk.
    static bool componentLevelsOf(DecodedAudioChunk& source, std::vector<float>& levels);
    // Level-only components holding `levels`; false (nothing added) when `target` has components.
    static bool addLevelComponents(MixedDecodedAudioChunk& target,
                                   const std::vector<float>& levels);

    const unsigned maximumFrames_;
    const unsigned audioSeconds_;
    std::deque<std::unique_ptr<DecodedAudioChunk>> audioQueue_;
    std::deque<std::unique_ptr<VideoSegmentFrame>> frameQueue_;
    std::unique_ptr<CountingSemaphore> audioSlots_;
    std::unique_ptr<CountingSemaphore> frameSlots_;
    std::unique_ptr<CountingSemaphore> outputReady_;
    mutable std::recursive_mutex lock_;
    // Signalled when the audio format (and with it the output-ready semaphore) becomes known.
    std::condition_variable_any formatLearned_;

    unsigned sampleRate_ = 0;
    // Decoded samples are 16-bit whatever channel count their decoder reports.
    unsigned bytesPerSample_ = 2;
    unsigned channelCount_ = 0;
    unsigned inputChunkSamples_ = 0;
    unsigned outputChunkSamples_ = 0;
    const float outputChunkSeconds_;
    unsigned audioCapacity_ = 0;
    const double timeOffset_;
    const bool flushOlderFrames_;
    int flushedFrameCount_ = 0;
    unsigned outputCapacity_ = 0;
    std::unique_ptr<DecodedAudioChunk> partialChunk_;
    unsigned samplesLeft_ = 0;
    // The partial chunk's per-channel levels, when it is a mixed chunk.
    std::vector<float> partialChunkLevels_;
    bool partialChunkIsMixed_ = false;

    // Samples held by the chunks in the audio queue (their real lengths, which may differ from
    // the first chunk's).
    uint64_t queuedSamples_ = 0;
    // End time of the last output chunk cut, -1.0 before one and after a reset.
    double previousOutputEndTime_ = -1.0;
};
