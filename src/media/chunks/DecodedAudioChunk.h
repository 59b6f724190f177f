#pragma once

#include <cstdint>
#include <string>

#include "AudioChunk.h"
#include "LiveInstanceCounter.h"

// Decoded audio: signed 16-bit samples in the machine's byte order, one channel, with the
// wall-clock time of the first sample (-1.0 until the decoder that made it sets it).
class DecodedAudioChunk : public AudioChunk {
public:
    // The buffer holds numberOfSamples x 2 bytes; `channelCount` is what the decoder reported.
    DecodedAudioChunk(uint32_t numberOfSamples, uint32_t sampleRate, uint32_t channelCount,
                      std::string formatName, double startTime, bool flag = false,
                      uint64_t firstValue = 0, uint64_t secondValue = 0);
    // A level-only chunk: no format, no buffer, every count zero; powerLevelIs(true) answers
    // `powerLevel`. The meters read per-channel levels from such chunks.
    explicit DecodedAudioChunk(float powerLevel);
    ~DecodedAudioChunk() override = default;

    virtual float durationIs() const { return duration_; }
    virtual uint32_t sampleRateIs() const { return sampleRate_; }
    virtual uint32_t channelCountIs() const { return channelCount_; }
    // 1 / sample rate (0 when the sample rate is 0).
    virtual float secondsPerSampleIs() const;
    virtual uint32_t numberOfSamplesIs() const { return numberOfSamples_; }
    virtual double startTimeIs() const { return startTime_; }
    virtual bool flagIs() const { return flag_; }
    virtual uint64_t firstValueIs() const { return firstValue_; }
    virtual uint64_t secondValueIs() const { return secondValue_; }
    virtual void adjustStartTime(double deltaSeconds) { startTime_ += deltaSeconds; }
    virtual void setStartTime(double startTime) { startTime_ = startTime; }

    // The RMS of the zero-mean signal relative to full scale (32767). With `useCached` a level
    // computed (or given) earlier is returned as is; otherwise it is computed and stored. A chunk
    // without samples keeps its stored level.
    float powerLevelIs(bool useCached);

    // Sample `index` of the valid data (0 beyond it).
    int16_t sampleAt(uint32_t index) const;
    // Appends samples to the valid data; false (nothing appended) when they do not fit.
    bool appendSamples(const int16_t* samples, uint32_t count);

    // Live DecodedAudioChunk objects, mixed chunks included (a leak diagnostic only).
    static long liveInstances() { return LiveInstanceCounter<DecodedAudioChunk>::liveInstances(); }

private:
    uint32_t sampleRate_;
    uint32_t channelCount_;
    uint32_t numberOfSamples_;
    float duration_;
    double startTime_;
    float powerLevel_;
    bool flag_;
    uint64_t firstValue_;
    uint64_t secondValue_;
    LiveInstanceCounter<DecodedAudioChunk> counter_;
};
