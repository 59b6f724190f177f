#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "AudioOutputDevice.h"
#include "AudioOutputDeviceFactory.h"
#include "AudioOutputDeviceNoticeQueue.h"

struct PaStreamCallbackTimeInfo;

// The sound card, through a PortAudio callback stream: the default output, or the output whose
// name is given. The stream runs from open() to close() and plays silence while no buffer is
// queued. A buffer's completion notice is delivered when its last sample reaches the listener,
// as the stream's output time tells, so positions follow what is heard rather than what was
// written.
class PortAudioOutputDevice : public AudioOutputDevice {
public:
    // `deviceName` empty: the default output; otherwise the output with exactly that name, or
    // else the only one whose name contains it (ignoring case).
    explicit PortAudioOutputDevice(std::string deviceName = {});
    ~PortAudioOutputDevice() override;

    void setCompletionCallback(CompletionCallback callback) override;
    // False, with errorText() in plain words, when there is no sound device, the named one does
    // not exist or the stream cannot be opened or started.
    bool open(uint32_t sampleRate, uint16_t channelCount = 1, uint16_t bitsPerSample = 16) override;
    bool isOpen() const override;
    bool write(BufferId bufferId, const void* samples, size_t byteCount) override;
    // Aborts the stream (dropping what the card still holds), answers every buffer not yet heard
    // with a reset notice, and starts the stream again.
    void reset() override;
    void close() override;
    uint64_t playedSampleCount() const override;
    double outputLatencySeconds() const override;
    std::string name() const override;
    std::string errorText() const override;

    // The outputs PortAudio finds; see AudioOutputDeviceFactory::listOutputDevices.
    static bool listOutputDevices(std::vector<AudioOutputDeviceFactory::OutputDeviceInfo>& devices,
                                  std::string& errorText);

private:
    struct QueuedBuffer {
        BufferId bufferId = 0;
        std::vector<int16_t> samples;
        size_t consumed = 0;
    };

    // Called by PortAudio on its audio thread.
    static int streamCallback(const void* input, void* output, unsigned long frameCount,
                              const PaStreamCallbackTimeInfo* timeInfo, unsigned long statusFlags,
                              void* self);
    // Copies queued samples to the card's buffer, which starts being heard `secondsUntilHeard`
    // from now (negative: unknown), and adds the notices of the buffers it finishes.
    int fill(int16_t* output, unsigned long frameCount, double secondsUntilHeard);
    // Samples heard by now (under mutex_).
    uint64_t heardSamplesLocked() const;
    void closeLocked();

    const std::string requestedName_;
    // Serialises open, reset and close, which wait for the audio thread; mutex_ guards the queue
    // and counters that the audio thread shares.
    mutable std::mutex controlMutex_;
    mutable std::mutex mutex_;
    CompletionCallback callback_;
    void* stream_ = nullptr;
    bool initialised_ = false;
    uint32_t sampleRate_ = 0;
    double latencySeconds_ = 0.0;
    std::string deviceName_;
    std::string errorText_;
    std::deque<QueuedBuffer> queue_;
    // Samples handed to the card, and when the last of them will be heard.
    uint64_t consumedSamples_ = 0;
    AudioOutputDeviceNoticeQueue::Clock::time_point consumedHeardAt_;
    mutable uint64_t heardReported_ = 0;
    AudioOutputDeviceNoticeQueue notices_;
};
