#include "DecodedAudioChunk.h"

#include <cmath>
#include <cstring>

namespace {
constexpr uint32_t kBytesPerSample = 2;
}  // namespace

DecodedAudioChunk::DecodedAudioChunk(uint32_t numberOfSamples, uint32_t sampleRate,
                                     uint32_t channelCount, std::string formatName,
                                     double startTime, bool flag, uint64_t firstValue,
                                     uint64_t secondValue)
    : AudioChunk(std::move(formatName), numberOfSamples * kBytesPerSample),
      sampleRate_(sampleRate),
      channelCount_(channelCount),
      numberOfSamples_(numberOfSamples),
      duration_(sampleRate == 0
                    ? 0.0f
                    : static_cast<float>(numberOfSamples) / static_cast<float>(sampleRate)),
      startTime_(startTime),
      powerLevel_(-1.0f),
      flag_(flag),
      firstValue_(firstValue),
      secondValue_(secondValue) {}

DecodedAudioChunk::DecodedAudioChunk(float powerLevel)
    : AudioChunk(std::string(), 0),
      sampleRate_(0),
      channelCount_(0),
      numberOfSamples_(0),
      duration_(0.0f),
      startTime_(0.0),
      powerLevel_(powerLevel),
      flag_(false),
      firstValue_(0),
      secondValue_(0) {}

float DecodedAudioChunk::secondsPerSampleIs() const {
    return sampleRate_ == 0 ? 0.0f : 1.0f / static_cast<float>(sampleRate_);
}

float DecodedAudioChunk::powerLevelIs(bool useCached) {
    if (useCached && powerLevel_ >= 0.0f) {
        return powerLevel_;
    }
    // Only samples the buffer really holds are read.
    uint32_t n = numberOfSamplesIs();
    if (bufferIs() == nullptr || n > bufferSizeIs() / kBytesPerSample) {
        n = 0;
    }
    if (n == 0) {
        return powerLevel_;
    }
    // The buffer is taken once: bufferIs() is virtual, and a call per sample costs more than the
    // arithmetic.
    const uint8_t* const samples = bufferIs();
    int64_t total = 0;
    for (uint32_t i = 0; i < n; ++i) {
        int16_t sample;
        std::memcpy(&sample, samples + i * kBytesPerSample, sizeof sample);
        total += sample;
    }
    const int64_t mean = total / static_cast<int64_t>(n);
    float sumOfSquares = 0.0f;
    for (uint32_t i = 0; i < n; ++i) {
        int16_t sample;
        std::memcpy(&sample, samples + i * kBytesPerSample, sizeof sample);
        sumOfSquares += std::pow(static_cast<float>(sample - mean), 2.0f);
    }
    powerLevel_ = std::sqrt(sumOfSquares / static_cast<float>(n)) / 32767.0f;
    return powerLevel_;
}

int16_t DecodedAudioChunk::sampleAt(uint32_t index) const {
    if (bufferIs() == nullptr || index >= validLengthIs() / kBytesPerSample) {
        return 0;
    }
    int16_t sample;
    std::memcpy(&sample, bufferIs() + index * kBytesPerSample, sizeof sample);
    return sample;
}

bool DecodedAudioChunk::appendSamples(const int16_t* samples, uint32_t count) {
    if (count > freeSpaceIs() / kBytesPerSample) {
        return false;
    }
    const uint32_t bytes = count * kBytesPerSample;
    if (!appendBytes(reinterpret_cast<const uint8_t*>(samples), bytes)) {
        return false;
    }
    advanceValidLength(bytes);
    return true;
}
