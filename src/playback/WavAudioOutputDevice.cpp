#include "WavAudioOutputDevice.h"

#include <cstring>
#include <utility>

#include "AvDebugLogger.h"
#include "UserNotification.h"

WavAudioOutputDevice::WavAudioOutputDevice(std::string path) : path_(std::move(path)) {}

WavAudioOutputDevice::~WavAudioOutputDevice() {
    close();
}

void WavAudioOutputDevice::setCompletionCallback(CompletionCallback callback) {
    std::lock_guard<std::mutex> lock(mutex_);
    callback_ = std::move(callback);
}

bool WavAudioOutputDevice::open(uint32_t sampleRate, uint16_t channelCount,
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
    if (!writer_.open(path_, sampleRate, 1)) {
        errorText_ = writer_.errorText();
        return false;
    }
    errorText_.clear();
    writeFailed_ = false;
    samplesPlayed_ = 0;
    notices_.start(callback_);
    open_ = true;
    return true;
}

bool WavAudioOutputDevice::isOpen() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return open_;
}

bool WavAudioOutputDevice::write(BufferId bufferId, const void* samples, size_t byteCount) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_ || byteCount % 2 != 0 || (byteCount > 0 && samples == nullptr)) {
        return false;
    }
    const size_t sampleCount = byteCount / 2;
    if (sampleCount > 0 && !writeFailed_) {
        // The caller's bytes need not be aligned for int16_t.
        scratch_.resize(sampleCount);
        std::memcpy(scratch_.data(), samples, byteCount);
        if (!writer_.appendSamples(scratch_.data(), static_cast<uint32_t>(sampleCount))) {
            writeFailed_ = true;
            errorText_ = "Writing the audio output stopped. " + writer_.errorText();
            AvDebugLogger::instance().log(AvDebugLogger::kSevere, "WavAudioOutputDevice: %s",
                                          errorText_.c_str());
            UserNotification::notify("Audio output", errorText_);
        }
    }
    samplesPlayed_ += sampleCount;
    notices_.add(bufferId, AudioOutputDeviceNoticeQueue::Clock::now());
    return true;
}

void WavAudioOutputDevice::reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (open_) {
        // Everything written is in the file already: the notices only need delivering.
        notices_.answerAllNow();
    }
}

void WavAudioOutputDevice::close() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_) {
        return;
    }
    notices_.stop();
    if (!writer_.finish() && !writeFailed_) {
        errorText_ = writer_.errorText();
        AvDebugLogger::instance().log(AvDebugLogger::kSevere, "WavAudioOutputDevice: %s",
                                      errorText_.c_str());
        UserNotification::notify("Audio output", errorText_);
    }
    open_ = false;
}

uint64_t WavAudioOutputDevice::playedSampleCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return samplesPlayed_;
}

std::string WavAudioOutputDevice::name() const {
    return "wav:" + path_;
}

std::string WavAudioOutputDevice::errorText() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return errorText_;
}
