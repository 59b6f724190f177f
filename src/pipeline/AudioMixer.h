#pragma once

#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "DecodedAudioChunk.h"
#include "MixedDecodedAudioChunk.h"

// Mixes one decoded chunk per channel into one MixedDecodedAudioChunk, with a gain and a mute per
// channel. The mixed chunk keeps every input (muted ones too) as a component, so the level meters
// can read each channel's level.
//
// Chunks may be added from one thread while another mixes: the queue is guarded by the mixer's
// own lock for each add and for the whole of a mix.
class AudioMixer {
public:
    // With sanity checks, a mix fails (and leaves its inputs queued) unless every queued chunk
    // has the front chunk's sample rate, sample count, start time (within 0.0001 s) and format.
    explicit AudioMixer(bool sanityChecksEnabled);
    virtual ~AudioMixer();

    AudioMixer(const AudioMixer&) = delete;
    AudioMixer& operator=(const AudioMixer&) = delete;

    // Queues `chunk` with its gain (1.0 = unchanged) and mute flag; the mixer takes ownership.
    // False for a null chunk.
    bool addChunkToMix(std::unique_ptr<DecodedAudioChunk> chunk, float gain, bool mute);

    // Queues every chunk of one decoding step, channel i with gains[i] and mutes[i]. A gain or
    // mute list whose length differs from the chunk count is ignored as a whole (gains 1.0,
    // nothing muted) with a warning in the debug log. The chunk vector must be present (fatal
    // check). True when every chunk was queued; a null chunk (a channel that has ended) is
    // skipped and makes the result false.
    bool addChunksToMix(std::unique_ptr<std::vector<std::unique_ptr<DecodedAudioChunk>>> chunks,
                        const std::vector<float>* gains = nullptr,
                        const std::vector<bool>* mutes = nullptr);
    // The same for a chunk set held by value, as the decoder group hands it out.
    bool addChunksToMix(std::vector<std::unique_ptr<DecodedAudioChunk>> chunks,
                        const std::vector<float>* gains = nullptr,
                        const std::vector<bool>* mutes = nullptr);

    // Mixes everything queued and empties the queue. The result has the front chunk's length,
    // rate, channel count, format, start time and transaction id; each output sample is the sum
    // of the unmuted inputs' samples times their gains (each product truncated towards zero),
    // clamped to the 16-bit range after each addition. An input shorter than the front chunk
    // counts as silence beyond its end. Null when nothing is queued or a sanity check fails
    // (the failed check is written as one line to stderr and the inputs stay queued).
    std::unique_ptr<MixedDecodedAudioChunk> mixedResultIs();

    // Entries queued since the last successful mix.
    unsigned pendingChunkCountIs() const;

    static constexpr float kTimeStampBoundSeconds = 0.0001f;

private:
    struct PendingEntry {
        std::unique_ptr<DecodedAudioChunk> chunk;
        float gain;
        bool mute;
    };

    // The first sanity check that fails, as its stderr line; empty when all pass.
    std::string firstFailedSanityCheck() const;

    std::deque<PendingEntry> pendingEntries_;
    const bool sanityChecksEnabled_;
    const float timeStampBound_ = kTimeStampBoundSeconds;
    mutable std::recursive_mutex lock_;
};
