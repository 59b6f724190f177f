#include "AudioVideoCorrelator.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "PointerChecks.h"

AudioVideoCorrelator::AudioVideoCorrelator(unsigned maximumFrames, unsigned audioSeconds,
                                           float outputChunkSeconds, bool flushOlderFrames,
                                           double timeOffset)
    : maximumFrames_(maximumFrames),
      audioSeconds_(audioSeconds),
      outputChunkSeconds_(outputChunkSeconds),
      timeOffset_(timeOffset),
      flushOlderFrames_(flushOlderFrames) {}

AudioVideoCorrelator::~AudioVideoCorrelator() {
    reset();
}

void AudioVideoCorrelator::initialize() {
    std::lock_guard guard(lock_);
    if (frameSlots_ == nullptr) {
        frameSlots_ = std::make_unique<CountingSemaphore>(maximumFrames_, maximumFrames_);
    }
}

uint32_t AudioVideoCorrelator::samplesHeld(const DecodedAudioChunk& chunk) {
    if (chunk.bufferIs() == nullptr) {
        return 0;
    }
    return std::min(chunk.numberOfSamplesIs(), chunk.validLengthIs() / 2);
}

void AudioVideoCorrelator::learnFormat(const DecodedAudioChunk& chunk) {
    sampleRate_ = chunk.sampleRateIs();
    channelCount_ = chunk.channelCountIs();
    inputChunkSamples_ = samplesHeld(chunk);
    // Rounding half away from zero throughout.
    const double secondsPerSample = 1.0 / static_cast<double>(sampleRate_);
    outputChunkSamples_ = static_cast<unsigned>(
        std::round(static_cast<double>(outputChunkSeconds_) / secondsPerSample));
    const double inputChunkSeconds = static_cast<double>(inputChunkSamples_) * secondsPerSample;
    // At least one chunk, or a chunk longer than twice the audio seconds could never be queued.
    audioCapacity_ = std::max(
        1u,
        static_cast<unsigned>(std::round(static_cast<double>(audioSeconds_) / inputChunkSeconds)));
    outputCapacity_ =
        outputChunkSamples_ == 0 ? 0 : audioCapacity_ * inputChunkSamples_ / outputChunkSamples_;
    audioSlots_ = std::make_unique<CountingSemaphore>(audioCapacity_, audioCapacity_);
    outputReady_ = std::make_unique<CountingSemaphore>(0, outputCapacity_);
    formatLearned_.notify_all();
}

uint64_t AudioVideoCorrelator::availableOutputs() const {
    if (outputChunkSamples_ == 0) {
        return 0;
    }
    return (queuedSamples_ + samplesLeft_) / outputChunkSamples_;
}

void AudioVideoCorrelator::signalAvailableOutputs(uint64_t outputsBefore) {
    const uint64_t outputsAfter = availableOutputs();
    if (outputReady_ == nullptr || outputsAfter <= outputsBefore) {
        return;
    }
    // With equal chunks and nothing partly cut this is the plain count of outputs a chunk adds
    // after n queued ones: (n + 1) x input / output - n x input / output, i.e. 4 or 5 for 2304
    // samples cut into 480. Counting what is really queued keeps the count exact when chunks
    // differ in length or one is partly cut.
    const long wanted = static_cast<long>(outputsAfter - outputsBefore);
    const long room = outputReady_->maximumCount() - outputReady_->count();
    const long count = std::min(wanted, room);
    if (count > 0) {
        outputReady_->release(count);
    }
}

bool AudioVideoCorrelator::addUncompressedAudioChunkToCorrelate(
    std::unique_ptr<DecodedAudioChunk> chunk, bool wait) {
    CHECK_POINTER(chunk);
    CountingSemaphore* slots = nullptr;
    {
        std::lock_guard guard(lock_);
        if (sampleRate_ == 0) {
            if (chunk->sampleRateIs() == 0 || samplesHeld(*chunk) == 0) {
                return false;
            }
            learnFormat(*chunk);
        }
        // Created once with the format and kept for the correlator's lifetime.
        slots = audioSlots_.get();
    }
    const bool tookSlot = wait;
    if (wait) {
        slots->wait();
    }

    std::lock_guard guard(lock_);
    if (audioQueue_.size() >= audioCapacity_) {
        if (tookSlot) {
            slots->release();
        }
        return false;
    }
    const uint64_t outputsBefore = availableOutputs();
    chunk->adjustStartTime(timeOffset_);
    queuedSamples_ += samplesHeld(*chunk);
    audioQueue_.push_back(std::move(chunk));
    signalAvailableOutputs(outputsBefore);
    return true;
}

bool AudioVideoCorrelator::flushAllVideoFramesIfLaterTimeFound(double epochTime) {
    std::lock_guard guard(lock_);
    const bool laterFound =
        std::any_of(frameQueue_.begin(), frameQueue_.end(),
                    [epochTime](const auto& frame) { return frame->getEpochTime() > epochTime; });
    if (!laterFound) {
        return false;
    }
    const long discarded = static_cast<long>(frameQueue_.size());
    frameQueue_.clear();
    if (frameSlots_ != nullptr && discarded > 0) {
        const long room = frameSlots_->maximumCount() - frameSlots_->count();
        if (std::min(discarded, room) > 0) {
            frameSlots_->release(std::min(discarded, room));
        }
    }
    return true;
}

void AudioVideoCorrelator::addVideoFrameToCorrelate(std::unique_ptr<VideoSegmentFrame> frame,
                                                    bool wait) {
    CHECK_POINTER(frame);
    CountingSemaphore* slots = nullptr;
    {
        std::lock_guard guard(lock_);
        slots = frameSlots_.get();
    }
    CHECK_POINTER(slots);
    if (wait) {
        slots->wait();
    }

    std::lock_guard guard(lock_);
    if (flushOlderFrames_ && flushAllVideoFramesIfLaterTimeFound(frame->getEpochTime())) {
        ++flushedFrameCount_;
    }
    if (frameQueue_.size() < maximumFrames_) {
        frameQueue_.push_back(std::move(frame));
    } else if (wait) {
        slots->release();
    }
}

void AudioVideoCorrelator::takeFrontAsPartialChunk() {
    partialChunk_ = std::move(audioQueue_.front());
    audioQueue_.pop_front();
    audioSlots_->release();
    samplesLeft_ = samplesHeld(*partialChunk_);
    queuedSamples_ -= samplesLeft_;
    // Every output cut from this chunk shows its levels: computed once here.
    partialChunkIsMixed_ = componentLevelsOf(*partialChunk_, partialChunkLevels_);
}

namespace {

// Samples of a component whose level can be read straight from its buffer; 0 when it has none
// (a level-only chunk, whose stored level is its answer).
uint32_t levelSamples(const DecodedAudioChunk& chunk) {
    const uint32_t n = chunk.numberOfSamplesIs();
    return chunk.bufferIs() == nullptr || n > chunk.bufferSizeIs() / 2 ? 0 : n;
}

inline int16_t sampleAt(const uint8_t* data, size_t index) {
    int16_t sample;
    std::memcpy(&sample, data + index * 2, sizeof sample);
    return sample;
}

// The levels of `Lanes` chunks of `n` samples each, exactly as DecodedAudioChunk::powerLevelIs
// computes each one: the integer mean, then the squared deviations summed in float in sample
// order. The chunks' sums advance side by side, so the processor overlaps them instead of waiting
// on one long chain of additions.
template <unsigned Lanes>
void levelsSideBySide(const uint8_t* const* buffers, uint32_t n, float* levels) {
    int64_t means[Lanes];
    for (unsigned lane = 0; lane < Lanes; ++lane) {
        int64_t total = 0;
        for (size_t i = 0; i < n; ++i) {
            total += sampleAt(buffers[lane], i);
        }
        means[lane] = total / static_cast<int64_t>(n);
    }
    float sums[Lanes] = {};
    for (size_t i = 0; i < n; ++i) {
        for (unsigned lane = 0; lane < Lanes; ++lane) {
            sums[lane] +=
                std::pow(static_cast<float>(sampleAt(buffers[lane], i) - means[lane]), 2.0f);
        }
    }
    for (unsigned lane = 0; lane < Lanes; ++lane) {
        levels[lane] = std::sqrt(sums[lane] / static_cast<float>(n)) / 32767.0f;
    }
}

constexpr unsigned kLanes = 8;

void levelsSideBySide(const std::vector<const uint8_t*>& buffers, uint32_t n, float* levels) {
    switch (buffers.size()) {
        case 1:
            return levelsSideBySide<1>(buffers.data(), n, levels);
        case 2:
            return levelsSideBySide<2>(buffers.data(), n, levels);
        case 3:
            return levelsSideBySide<3>(buffers.data(), n, levels);
        case 4:
            return levelsSideBySide<4>(buffers.data(), n, levels);
        case 5:
            return levelsSideBySide<5>(buffers.data(), n, levels);
        case 6:
            return levelsSideBySide<6>(buffers.data(), n, levels);
        case 7:
            return levelsSideBySide<7>(buffers.data(), n, levels);
        default:
            return levelsSideBySide<kLanes>(buffers.data(), n, levels);
    }
}

}  // namespace

bool AudioVideoCorrelator::componentLevelsOf(DecodedAudioChunk& source,
                                             std::vector<float>& levels) {
    levels.clear();
    auto* mixed = dynamic_cast<MixedDecodedAudioChunk*>(&source);
    if (mixed == nullptr) {
        return false;
    }
    // Computed here rather than by each component's powerLevelIs, which reaches every sample
    // through a virtual call: at eight channels that alone would cost a third of playback.
    const unsigned count = mixed->numberOfComponentsIs();
    levels.resize(count);
    std::vector<unsigned> batch;
    std::vector<const uint8_t*> buffers;
    const auto computeBatch = [&](uint32_t n) {
        float batchLevels[kLanes] = {};
        levelsSideBySide(buffers, n, batchLevels);
        for (size_t k = 0; k < batch.size(); ++k) {
            levels[batch[k]] = batchLevels[k];
        }
        batch.clear();
        buffers.clear();
    };
    uint32_t batchSamples = 0;
    for (unsigned i = 0; i < count; ++i) {
        DecodedAudioChunk* component = mixed->componentIs(i);
        const uint32_t n = levelSamples(*component);
        if (n == 0) {
            levels[i] = component->powerLevelIs(true);
            continue;
        }
        if (!batch.empty() && (n != batchSamples || batch.size() == kLanes)) {
            computeBatch(batchSamples);
        }
        batchSamples = n;
        batch.push_back(i);
        buffers.push_back(component->bufferIs());
    }
    if (!batch.empty()) {
        computeBatch(batchSamples);
    }
    return true;
}

bool AudioVideoCorrelator::addLevelComponents(MixedDecodedAudioChunk& target,
                                              const std::vector<float>& levels) {
    if (target.numberOfComponentsIs() != 0) {
        return false;
    }
    for (float level : levels) {
        target.addComponent(std::make_unique<DecodedAudioChunk>(level));
    }
    return true;
}

std::unique_ptr<VideoSegmentFrame> AudioVideoCorrelator::frameForOutput(double startTime,
                                                                        double endTime) {
    // Output times are sums of a chunk's start and float offsets, so the end of one output and
    // the start of the next may leave a crack far shorter than a sample between them. A frame
    // in such a crack belongs to the next output rather than being lost.
    const double sampleSeconds = 1.0 / static_cast<double>(sampleRate_);
    const bool crackBefore = previousOutputEndTime_ >= 0.0 && previousOutputEndTime_ < startTime &&
                             startTime - previousOutputEndTime_ < sampleSeconds;
    while (!frameQueue_.empty()) {
        std::unique_ptr<VideoSegmentFrame> frame = std::move(frameQueue_.front());
        frameQueue_.pop_front();
        const double time = frame->getEpochTime();
        if (time > endTime) {
            frameQueue_.push_front(std::move(frame));
            return nullptr;
        }
        if (frameSlots_ != nullptr) {
            frameSlots_->release();
        }
        if (time >= startTime || (crackBefore && time > previousOutputEndTime_)) {
            return frame;
        }
        // Earlier than this output: its audio has gone by.
    }
    return nullptr;
}

bool AudioVideoCorrelator::getNextCorrelatedChunk(
    std::unique_ptr<AudioChunkWithCorrelatedVideoFrame>& out, bool wait) {
    if (wait) {
        CountingSemaphore* ready = nullptr;
        {
            std::unique_lock guard(lock_);
            formatLearned_.wait(guard, [this] { return outputReady_ != nullptr; });
            ready = outputReady_.get();
        }
        ready->wait();
    }

    std::lock_guard guard(lock_);
    const uint64_t available = queuedSamples_ + samplesLeft_;
    if (available == 0 || outputChunkSamples_ == 0 || available < outputChunkSamples_) {
        return false;
    }
    if (partialChunk_ == nullptr) {
        takeFrontAsPartialChunk();
    }
    const double startTime = partialChunk_->startTimeIs() +
                             static_cast<double>(samplesHeld(*partialChunk_) - samplesLeft_) *
                                 static_cast<double>(partialChunk_->secondsPerSampleIs());

    auto output = std::make_unique<MixedDecodedAudioChunk>(outputChunkSamples_, sampleRate_,
                                                           channelCount_, "PCM", startTime);
    CHECK_ALLOCATION(output);
    output->allocateBuffer(true);
    CHECK_ALLOCATION(output->bufferIs());
    output->advanceValidLength(output->bufferSizeIs());

    unsigned filled = 0;
    while (filled < outputChunkSamples_) {
        if (partialChunk_ == nullptr) {
            takeFrontAsPartialChunk();
        }
        output->transactionIdIs() = partialChunk_->transactionIdIs();
        const unsigned count = std::min(outputChunkSamples_ - filled, samplesLeft_);
        const unsigned from = samplesHeld(*partialChunk_) - samplesLeft_;
        std::memcpy(output->bufferIs() + filled * bytesPerSample_,
                    partialChunk_->bufferIs() + from * bytesPerSample_, count * bytesPerSample_);
        filled += count;
        if (filled == outputChunkSamples_) {
            // The levels shown with an output are those of the last input it draws from.
            if (partialChunkIsMixed_) {
                addLevelComponents(*output, partialChunkLevels_);
            }
        }
        if (samplesLeft_ > count) {
            samplesLeft_ -= count;
        } else {
            partialChunk_.reset();
            samplesLeft_ = 0;
        }
    }

    const double endTime = startTime + static_cast<double>(output->durationIs());
    std::unique_ptr<VideoSegmentFrame> frame = frameForOutput(startTime, endTime);
    previousOutputEndTime_ = endTime;
    out = std::make_unique<AudioChunkWithCorrelatedVideoFrame>(std::move(output), std::move(frame));

    // A release cut short by the semaphore's maximum is made up once there is room again.
    if (outputReady_ != nullptr) {
        const long owed = static_cast<long>(availableOutputs()) - outputReady_->count();
        const long room = outputReady_->maximumCount() - outputReady_->count();
        if (std::min(owed, room) > 0) {
            outputReady_->release(std::min(owed, room));
        }
    }
    return true;
}

bool AudioVideoCorrelator::fillComponentsFromAnotherMixedChunk(MixedDecodedAudioChunk* target,
                                                               DecodedAudioChunk* source) {
    CHECK_POINTER(target);
    CHECK_POINTER(source);
    std::vector<float> levels;
    if (!componentLevelsOf(*source, levels)) {
        return false;
    }
    return addLevelComponents(*target, levels);
}

void AudioVideoCorrelator::reset() {
    std::lock_guard guard(lock_);
    audioQueue_.clear();
    frameQueue_.clear();
    partialChunk_.reset();
    partialChunkLevels_.clear();
    partialChunkIsMixed_ = false;
    samplesLeft_ = 0;
    queuedSamples_ = 0;
    previousOutputEndTime_ = -1.0;
    for (CountingSemaphore* slots : {frameSlots_.get(), audioSlots_.get()}) {
        if (slots != nullptr && slots->count() < slots->maximumCount()) {
            slots->release(slots->maximumCount() - slots->count());
        }
    }
    if (outputReady_ != nullptr) {
        while (outputReady_->tryWait()) {
        }
    }
}

unsigned AudioVideoCorrelator::sampleRateIs() const {
    std::lock_guard guard(lock_);
    return sampleRate_;
}

unsigned AudioVideoCorrelator::inputChunkSamplesIs() const {
    std::lock_guard guard(lock_);
    return inputChunkSamples_;
}

unsigned AudioVideoCorrelator::outputChunkSamplesIs() const {
    std::lock_guard guard(lock_);
    return outputChunkSamples_;
}

unsigned AudioVideoCorrelator::audioCapacityIs() const {
    std::lock_guard guard(lock_);
    return audioCapacity_;
}

unsigned AudioVideoCorrelator::outputCapacityIs() const {
    std::lock_guard guard(lock_);
    return outputCapacity_;
}

unsigned AudioVideoCorrelator::queuedAudioChunkCountIs() const {
    std::lock_guard guard(lock_);
    return static_cast<unsigned>(audioQueue_.size());
}

unsigned AudioVideoCorrelator::queuedFrameCountIs() const {
    std::lock_guard guard(lock_);
    return static_cast<unsigned>(frameQueue_.size());
}

long AudioVideoCorrelator::outputsReadyIs() const {
    std::lock_guard guard(lock_);
    return outputReady_ == nullptr ? 0 : outputReady_->count();
}

int AudioVideoCorrelator::flushedFrameCountIs() const {
    std::lock_guard guard(lock_);
    return flushedFrameCount_;
}
