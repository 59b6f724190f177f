#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

class AudioDecoderGroup;
class AudioMixer;
class MixedDecodedAudioChunk;

// A session's audio as one unbroken line of mono samples from a start time on: every channel
// decoded and mixed as the player mixes them (unity gain, nothing muted), each mixed chunk placed
// by its wall-clock time. Gaps of the recording, the time before it and after it are silence;
// chunks that overlap what was already placed give up their overlapping part. Chunks whose time
// is within kJitterSeconds of where the line has reached are taken as continuing it, so the
// rounding of chunk times never adds or drops samples.
//
// Only the chunk being placed is held, so any length of session streams through. The object
// locks itself for each operation; the group is read from the caller's thread only.
class MixedAudioTimeline {
public:
    static constexpr double kJitterSeconds = 0.05;
    static constexpr uint32_t kDefaultSampleRate = 16000;

    // `group` stays the caller's and must outlive the time line.
    MixedAudioTimeline(AudioDecoderGroup& group, double startTime);
    ~MixedAudioTimeline();
    MixedAudioTimeline(const MixedAudioTimeline&) = delete;
    MixedAudioTimeline& operator=(const MixedAudioTimeline&) = delete;

    // Positions the channels at the start time (or the first audio after it) and reads the first
    // chunk. False when the group has no audio from the start time on; the line is then silence.
    bool start();
    // The rate of the mixed chunks (that of the first chunk; kDefaultSampleRate without one).
    uint32_t sampleRateIs();
    // Appends the next `count` samples of the line to `out`.
    void take(size_t count, std::vector<int16_t>& out);
    // Chunks placed so far (a measure for tests and logs).
    uint64_t chunksPlacedIs();

private:
    // The next mixed chunk from the group; null at the end of the audio.
    std::unique_ptr<MixedDecodedAudioChunk> nextMixedChunk();
    // Makes `chunk_` the next chunk and decides where it lies on the line.
    void placeNextChunk();

    std::mutex mutex_;
    AudioDecoderGroup& group_;
    std::unique_ptr<AudioMixer> mixer_;
    const double startTime_;
    uint32_t sampleRate_ = kDefaultSampleRate;
    bool ended_ = true;
    // The chunk being placed: its samples from `chunkOffset_` on lie at line position
    // `chunkPosition_` (which may still be ahead of `position_`: silence until then).
    std::unique_ptr<MixedDecodedAudioChunk> chunk_;
    uint32_t chunkOffset_ = 0;
    int64_t chunkPosition_ = 0;
    int64_t position_ = 0;  // samples handed out
    uint64_t chunksPlaced_ = 0;
};
