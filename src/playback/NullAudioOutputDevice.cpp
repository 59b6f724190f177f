#include "NullAudioOutputDevice.h"

#include <algorithm>
#include <utility>

NullAudioOutputDevice::NullAudioOutputDevice(Pace pace) : pace_(pace) {}

NullAudioOutputDevice::~NullAudioOutputDevice() {
    close();
}

void NullAudioOutputDevice::setCompletionCallback(CompletionCallback callback) {
    std::lock_guard<std::mutex> lock(mutex_);
    callback_ = std::move(callback);
}

bool NullAudioOutputDevice::open(uint32_t sampleRate, uint16_t channelCount,
                                 uint16_t bitsPerSample) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (open_) {
        errorText_ = "The audio output is already open.";
        return false;
    }
    if (sampleRate == 0 || channelCount != 1 || bitsPerSample != 16) {
        errorText_ = "Only 16-bit mono audio at a sample rate above 0 can be played.";
        return false;
    }
    errorText_.clear();
    sampleRate_ = sampleRate;
    runStart_ = Clock::now();
    runSamples_ = 0;
    heardBefore_ = 0;
    notices_.start(callback_);
    open_ = true;
    return true;
}

bool NullAudioOutputDevice::isOpen() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return open_;
}

uint64_t NullAudioOutputDevice::heardInRun(Clock::time_point now) const {
    if (pace_ == Pace::Immediate) {
        return runSamples_;
    }
    const auto elapsed = std::chrono::duration_cast<std::chrono::nanoseconds>(now - runStart_);
    if (elapsed.count() <= 0) {
        return 0;
    }
    const uint64_t elapsedSamples =
        static_cast<uint64_t>(std::chrono::duration<double>(elapsed).count() * sampleRate_);
    return std::min(runSamples_, elapsedSamples);
}

bool NullAudioOutputDevice::write(BufferId bufferId, const void* samples, size_t byteCount) {
    (void)samples;
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_ || byteCount % 2 != 0) {
        return false;
    }
    const Clock::time_point now = Clock::now();
    if (heardInRun(now) >= runSamples_) {
        // Ran dry (or never started): this buffer starts a new run now.
        heardBefore_ += runSamples_;
        runStart_ = now;
        runSamples_ = 0;
    }
    runSamples_ += byteCount / 2;
    Clock::time_point heardAt = now;
    if (pace_ == Pace::RealTime) {
        const std::chrono::duration<double> runLength(static_cast<double>(runSamples_) /
                                                      sampleRate_);
        heardAt = runStart_ + std::chrono::duration_cast<Clock::duration>(runLength);
    }
    notices_.add(bufferId, heardAt);
    return true;
}

void NullAudioOutputDevice::reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    resetLocked();
}

void NullAudioOutputDevice::resetLocked() {
    if (!open_) {
        return;
    }
    const Clock::time_point now = Clock::now();
    heardBefore_ += heardInRun(now);
    runStart_ = now;
    runSamples_ = 0;
    // The notice thread never takes this device's lock, so waiting for it here is safe, and no
    // write can slip in between the reset and its notices.
    notices_.answerAllNow();
}

void NullAudioOutputDevice::close() {
    std::lock_guard<std::mutex> lock(mutex_);
    resetLocked();
    notices_.stop();
    open_ = false;
}

uint64_t NullAudioOutputDevice::playedSampleCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_) {
        return heardBefore_ + runSamples_;
    }
    return heardBefore_ + heardInRun(Clock::now());
}

std::string NullAudioOutputDevice::name() const {
    return pace_ == Pace::RealTime ? "null" : "null:fast";
}

std::string NullAudioOutputDevice::errorText() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return errorText_;
}
