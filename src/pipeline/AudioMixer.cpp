#include "AudioMixer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iostream>
#include <sstream>

#include "AvDebugLogger.h"
#include "PointerChecks.h"

namespace {

constexpr uint32_t kBytesPerSample = 2;

// Samples the chunk's buffer really holds: never more than its valid data.
uint32_t samplesHeld(const DecodedAudioChunk& chunk) {
    if (chunk.bufferIs() == nullptr) {
        return 0;
    }
    return std::min(chunk.numberOfSamplesIs(), chunk.validLengthIs() / kBytesPerSample);
}

// gain x sample truncated towards zero. Products beyond twice the 16-bit range are cut there
// first: the clamped sum is the same, and the conversion stays defined for any gain.
inline int32_t scaledSample(int16_t sample, float gain) {
    const float product = std::clamp(static_cast<float>(sample) * gain, -65536.0f, 65536.0f);
    return static_cast<int32_t>(product);
}

inline int16_t clampedSum(int16_t accumulated, int32_t addend) {
    return static_cast<int16_t>(std::clamp(accumulated + addend, -32768, 32767));
}

inline int16_t loadSample(const uint8_t* bytes, size_t index) {
    int16_t sample;
    std::memcpy(&sample, bytes + index * kBytesPerSample, kBytesPerSample);
    return sample;
}

inline void storeSample(uint8_t* bytes, size_t index, int16_t sample) {
    std::memcpy(bytes + index * kBytesPerSample, &sample, kBytesPerSample);
}

// Adds `count` source samples, scaled by `gain`, to the first `count` output samples. Unit gain,
// the usual case, needs no multiplication.
void mixInto(uint8_t* output, const uint8_t* source, size_t count, float gain) {
    if (gain == 1.0f) {
        for (size_t i = 0; i < count; ++i) {
            storeSample(output, i, clampedSum(loadSample(output, i), loadSample(source, i)));
        }
        return;
    }
    for (size_t i = 0; i < count; ++i) {
        storeSample(output, i,
                    clampedSum(loadSample(output, i), scaledSample(loadSample(source, i), gain)));
    }
}

}  // namespace

AudioMixer::AudioMixer(bool sanityChecksEnabled) : sanityChecksEnabled_(sanityChecksEnabled) {}

AudioMixer::~AudioMixer() = default;

bool AudioMixer::addChunkToMix(std::unique_ptr<DecodedAudioChunk> chunk, float gain, bool mute) {
    if (chunk == nullptr) {
        return false;
    }
    std::lock_guard guard(lock_);
    pendingEntries_.push_back(PendingEntry{std::move(chunk), gain, mute});
    return true;
}

bool AudioMixer::addChunksToMix(
    std::unique_ptr<std::vector<std::unique_ptr<DecodedAudioChunk>>> chunks,
    const std::vector<float>* gains, const std::vector<bool>* mutes) {
    CHECK_POINTER(chunks);
    return addChunksToMix(std::move(*chunks), gains, mutes);
}

bool AudioMixer::addChunksToMix(std::vector<std::unique_ptr<DecodedAudioChunk>> chunks,
                                const std::vector<float>* gains, const std::vector<bool>* mutes) {
    std::lock_guard guard(lock_);
    if (mutes != nullptr && mutes->size() != chunks.size()) {
        AvDebugLogger::instance().log(
            AvDebugLogger::kWarning,
            "AudioMixer::addChunksToMix(): Mute container count (%d) does not match chunk "
            "container size (%d).  Ignoring mutes.",
            static_cast<int>(mutes->size()), static_cast<int>(chunks.size()));
        mutes = nullptr;
    }
    if (gains != nullptr && gains->size() != chunks.size()) {
        AvDebugLogger::instance().log(
            AvDebugLogger::kWarning,
            "AudioMixer::addChunksToMix(): Gain container count (%d) does not match chunk "
            "container size (%d).  Ignoring gains.",
            static_cast<int>(gains->size()), static_cast<int>(chunks.size()));
        gains = nullptr;
    }
    bool allAdded = true;
    for (size_t i = 0; i < chunks.size(); ++i) {
        const float gain = gains != nullptr ? (*gains)[i] : 1.0f;
        const bool mute = mutes != nullptr ? static_cast<bool>((*mutes)[i]) : false;
        if (!addChunkToMix(std::move(chunks[i]), gain, mute)) {
            allAdded = false;
        }
    }
    return allAdded;
}

unsigned AudioMixer::pendingChunkCountIs() const {
    std::lock_guard guard(lock_);
    return static_cast<unsigned>(pendingEntries_.size());
}

std::string AudioMixer::firstFailedSanityCheck() const {
    const DecodedAudioChunk& first = *pendingEntries_.front().chunk;
    std::ostringstream line;
    for (const PendingEntry& entry : pendingEntries_) {
        const DecodedAudioChunk& other = *entry.chunk;
        if (other.sampleRateIs() != first.sampleRateIs()) {
            line << "AudioMixer::mixedResultIs(): Sanity check failed. firstSampleRate was"
                 << first.sampleRateIs() << " found another rate of" << other.sampleRateIs();
            return line.str();
        }
        if (other.numberOfSamplesIs() != first.numberOfSamplesIs()) {
            line << "AudioMixer::mixedResultIs(): Sanity check failed. firstSampleCount was"
                 << first.numberOfSamplesIs() << " found another count of"
                 << other.numberOfSamplesIs();
            return line.str();
        }
        if (std::fabs(other.startTimeIs() - first.startTimeIs()) > timeStampBound_) {
            // Six decimals: epoch times differ in their microseconds here.
            line << std::fixed;
            line.precision(6);
            line << "AudioMixer::mixedResultIs(): Sanity check failed. firstTimeStamp was"
                 << first.startTimeIs() << " found another time of" << other.startTimeIs()
                 << " which exceeded the allowed bound of" << timeStampBound_;
            return line.str();
        }
        if (other.formatNameIs() != first.formatNameIs()) {
            line << "AudioMixer::mixedResultIs(): Sanity check failed. firstFormat was \""
                 << first.formatNameIs() << "\" found another format of \"" << other.formatNameIs()
                 << "\"";
            return line.str();
        }
    }
    return std::string();
}

std::unique_ptr<MixedDecodedAudioChunk> AudioMixer::mixedResultIs() {
    std::lock_guard guard(lock_);
    if (pendingEntries_.empty()) {
        return nullptr;
    }
    if (sanityChecksEnabled_) {
        const std::string failure = firstFailedSanityCheck();
        if (!failure.empty()) {
            std::cerr << failure << std::endl;
            return nullptr;
        }
    }

    const DecodedAudioChunk& front = *pendingEntries_.front().chunk;
    auto result = std::make_unique<MixedDecodedAudioChunk>(
        front.numberOfSamplesIs(), front.sampleRateIs(), front.channelCountIs(),
        front.formatNameIs(), front.startTimeIs());
    CHECK_ALLOCATION(result);
    result->allocateBuffer(true);
    CHECK_ALLOCATION(result->bufferIs());
    result->advanceValidLength(result->bufferSizeIs());
    result->transactionIdIs() = front.transactionIdIs();

    const uint32_t resultSamples = result->numberOfSamplesIs();
    while (!pendingEntries_.empty()) {
        PendingEntry entry = std::move(pendingEntries_.front());
        pendingEntries_.pop_front();
        // A NaN gain contributes nothing rather than an undefined conversion.
        if (!entry.mute && !std::isnan(entry.gain)) {
            const uint32_t count = std::min(resultSamples, samplesHeld(*entry.chunk));
            mixInto(result->bufferIs(), entry.chunk->bufferIs(), count, entry.gain);
        }
        result->addComponent(std::move(entry.chunk));
    }
    return result;
}
