#pragma once

#include <memory>
#include <mutex>

#include "AudioOutputDevice.h"
#include "NullAudioOutputDevice.h"

// Plays through a preferred device when it opens and through a paced null device when it does
// not, so that playback never fails for want of a sound card. The first failed open of this
// object tells the user once, in plain words (UserNotification); every fallback is logged as a
// warning. open() then reports success.
class AudioOutputDeviceWithFallback : public AudioOutputDevice {
public:
    explicit AudioOutputDeviceWithFallback(std::unique_ptr<AudioOutputDevice> preferred);
    ~AudioOutputDeviceWithFallback() override;

    void setCompletionCallback(CompletionCallback callback) override;
    // Tries the preferred device first each time; false only for a format no device can play or
    // when the device is already open.
    bool open(uint32_t sampleRate, uint16_t channelCount = 1, uint16_t bitsPerSample = 16) override;
    bool isOpen() const override;
    bool write(BufferId bufferId, const void* samples, size_t byteCount) override;
    void reset() override;
    void close() override;
    uint64_t playedSampleCount() const override;
    double outputLatencySeconds() const override;
    // The device in use: the preferred one's name, or "null (no sound device)".
    std::string name() const override;
    std::string errorText() const override;

    // True while the null device stands in for the preferred one.
    bool isFallingBack() const;

private:
    // The device in use, or null before open().
    AudioOutputDevice* active() const;

    mutable std::mutex mutex_;
    std::unique_ptr<AudioOutputDevice> preferred_;
    NullAudioOutputDevice fallback_;
    AudioOutputDevice* active_ = nullptr;
    bool userTold_ = false;
    std::string errorText_;
};
