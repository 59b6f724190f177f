#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "AudioChunk.h"
#include "LiveInstanceCounter.h"

// A run of compressed audio frames (MP3 for this system) with the wall-clock time of its first
// sample. Producers pass false and zeros for the flag and the two 64-bit values.
class EncodedAudioChunk : public AudioChunk {
public:
    // `byteLength` becomes the buffer size; the duration is numberOfSamples / sampleRate.
    EncodedAudioChunk(uint32_t byteLength, uint32_t sampleRate, uint32_t numberOfSamples,
                      std::string formatName, double startTime, bool flag = false,
                      uint32_t firstValueLow = 0, uint32_t firstValueHigh = 0,
                      uint32_t secondValueLow = 0, uint32_t secondValueHigh = 0);
    ~EncodedAudioChunk() override = default;

    virtual float durationIs() const { return duration_; }
    virtual uint32_t sampleRateIs() const { return sampleRate_; }
    // Always 2: the channel count of an encoded chunk is not known before decoding.
    virtual uint32_t channelCountIs() const { return 2; }
    // 1 / sample rate (0 when the sample rate is 0).
    virtual float secondsPerSampleIs() const;
    virtual uint32_t numberOfSamplesIs() const { return numberOfSamples_; }
    virtual double startTimeIs() const { return startTime_; }
    virtual bool flagIs() const { return flag_; }
    virtual uint64_t firstValueIs() const { return firstValue_; }
    virtual uint64_t secondValueIs() const { return secondValue_; }
    virtual void adjustStartTime(double deltaSeconds) { startTime_ += deltaSeconds; }
    virtual void setStartTime(double startTime) { startTime_ = startTime; }

    // The serialized form (below) in bytes.
    uint32_t getSerializedSize() const;
    // Writes the serialized form; false (nothing reported) when `bufferSize` is too small.
    bool serializeToBuffer(uint8_t* buffer, uint32_t bufferSize, uint32_t& bytesWritten) const;
    // Reads a chunk written by serializeToBuffer. Null when the bytes are not such a chunk (short,
    // wrong tag, sizes out of bounds); `bytesRead` then is 0.
    static std::unique_ptr<EncodedAudioChunk> deserializeFromBuffer(const uint8_t* buffer,
                                                                    uint32_t bufferSize,
                                                                    uint32_t& bytesRead);

    // Serialized form, little-endian: tag "EAC1" (4), format name length L (4), sample rate (4),
    // number of samples (4), start time as IEEE double (8), flag (1), zero (3), first value (8),
    // second value (8), transaction id (4), data length D (4), format name (L), data (D).
    static constexpr uint32_t kSerializedHeaderSize = 52;
    static constexpr uint32_t kMaximumFormatNameLength = 64;
    static constexpr uint32_t kMaximumSerializedDataLength = 16u << 20;

    // Live EncodedAudioChunk objects in the process (a leak diagnostic only).
    static long liveInstances() { return LiveInstanceCounter<EncodedAudioChunk>::liveInstances(); }

private:
    uint32_t sampleRate_;
    uint32_t numberOfSamples_;
    float duration_;
    double startTime_;
    bool flag_;
    uint64_t firstValue_;
    uint64_t secondValue_;
    LiveInstanceCounter<EncodedAudioChunk> counter_;
};
