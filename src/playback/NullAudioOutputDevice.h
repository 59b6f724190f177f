#pragma once

#include <chrono>
#include <mutex>

#include "AudioOutputDevice.h"
#include "AudioOutputDeviceNoticeQueue.h"

// An output that plays nothing. Paced, it completes each buffer when it would have finished
// playing on a sound card (buffers play back to back; a device that ran dry starts again at the
// next write); fast, it completes every buffer at once.
class NullAudioOutputDevice : public AudioOutputDevice {
public:
    enum class Pace { RealTime, Immediate };

    explicit NullAudioOutputDevice(Pace pace = Pace::RealTime);
    ~NullAudioOutputDevice() override;

    void setCompletionCallback(CompletionCallback callback) override;
    bool open(uint32_t sampleRate, uint16_t channelCount = 1, uint16_t bitsPerSample = 16) override;
    bool isOpen() const override;
    bool write(BufferId bufferId, const void* samples, size_t byteCount) override;
    void reset() override;
    void close() override;
    uint64_t playedSampleCount() const override;
    double outputLatencySeconds() const override { return 0.0; }
    std::string name() const override;
    std::string errorText() const override;

private:
    using Clock = AudioOutputDeviceNoticeQueue::Clock;

    void resetLocked();
    // Samples of the current run heard by `now` (under the lock).
    uint64_t heardInRun(Clock::time_point now) const;

    const Pace pace_;
    mutable std::mutex mutex_;
    CompletionCallback callback_;
    bool open_ = false;
    uint32_t sampleRate_ = 0;
    std::string errorText_;
    // The current run: buffers played back to back since `runStart_`, `runSamples_` long.
    // `heardBefore_` counts the samples of earlier runs.
    Clock::time_point runStart_;
    uint64_t runSamples_ = 0;
    uint64_t heardBefore_ = 0;
    AudioOutputDeviceNoticeQueue notices_;
};
