#include "AudioOutputDeviceWithFallback.h"

#include <utility>

#include "AvDebugLogger.h"
#include "UserNotification.h"

AudioOutputDeviceWithFallback::AudioOutputDeviceWithFallback(
    std::unique_ptr<AudioOutputDevice> preferred)
    : preferred_(std::move(preferred)), fallback_(NullAudioOutputDevice::Pace::RealTime) {}

AudioOutputDeviceWithFallback::~AudioOutputDeviceWithFallback() {
    close();
}

void AudioOutputDeviceWithFallback::setCompletionCallback(CompletionCallback callback) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (preferred_) {
        preferred_->setCompletionCallback(callback);
    }
    fallback_.setCompletionCallback(std::move(callback));
}

bool AudioOutputDeviceWithFallback::open(uint32_t sampleRate, uint16_t channelCount,
                                         uint16_t bitsPerSample) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (active_ != nullptr) {
        errorText_ = "The audio output is already open.";
        return false;
    }
    if (sampleRate == 0 || channelCount != 1 || bitsPerSample != 16) {
        errorText_ = "Only 16-bit mono audio at a sample rate above 0 can be played.";
        return false;
    }
    if (preferred_ && preferred_->open(sampleRate, channelCount, bitsPerSample)) {
        active_ = preferred_.get();
        errorText_.clear();
        return true;
    }
    errorText_ = preferred_ ? preferred_->errorText() : "No sound device was chosen.";
    if (!fallback_.open(sampleRate, channelCount, bitsPerSample)) {
        errorText_ = fallback_.errorText();
        return false;
    }
    active_ = &fallback_;
    AvDebugLogger::instance().log(AvDebugLogger::kWarning,
                                  "AudioOutputDeviceWithFallback::open(): %s; playing through null",
                                  errorText_.c_str());
    if (!userTold_) {
        userTold_ = true;
        UserNotification::notify("Audio output", errorText_ + " Playback goes on without sound.");
    }
    return true;
}

AudioOutputDevice* AudioOutputDeviceWithFallback::active() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return active_;
}

bool AudioOutputDeviceWithFallback::isOpen() const {
    return active() != nullptr;
}

bool AudioOutputDeviceWithFallback::isFallingBack() const {
    return active() == &fallback_;
}

bool AudioOutputDeviceWithFallback::write(BufferId bufferId, const void* samples,
                                          size_t byteCount) {
    AudioOutputDevice* device = active();
    return device != nullptr && device->write(bufferId, samples, byteCount);
}

void AudioOutputDeviceWithFallback::reset() {
    if (AudioOutputDevice* device = active()) {
        device->reset();
    }
}

void AudioOutputDeviceWithFallback::close() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (active_ != nullptr) {
        active_->close();
        active_ = nullptr;
    }
}

uint64_t AudioOutputDeviceWithFallback::playedSampleCount() const {
    AudioOutputDevice* device = active();
    return device != nullptr ? device->playedSampleCount() : 0;
}

double AudioOutputDeviceWithFallback::outputLatencySeconds() const {
    AudioOutputDevice* device = active();
    return device != nullptr ? device->outputLatencySeconds() : 0.0;
}

std::string AudioOutputDeviceWithFallback::name() const {
    AudioOutputDevice* device = active();
    if (device == &fallback_) {
        return "null (no sound device)";
    }
    if (device != nullptr) {
        return device->name();
    }
    return preferred_ ? preferred_->name() : fallback_.name();
}

std::string AudioOutputDeviceWithFallback::errorText() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return errorText_;
}
