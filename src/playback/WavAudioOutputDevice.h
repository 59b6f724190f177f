#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "AudioOutputDevice.h"
#include "AudioOutputDeviceNoticeQueue.h"
#include "WavFileWriter.h"

// An output that writes exactly what would be heard to a 16-bit mono WAV file: every buffer, in
// the order written, is appended to the file at once and completes at once (so reset() finds
// nothing unheard to drop). The file is created by open() and its header finished by close().
class WavAudioOutputDevice : public AudioOutputDevice {
public:
    explicit WavAudioOutputDevice(std::string path);
    ~WavAudioOutputDevice() override;

    void setCompletionCallback(CompletionCallback callback) override;
    // Creates (or truncates) the file; false, with errorText(), when it cannot be created.
    bool open(uint32_t sampleRate, uint16_t channelCount = 1, uint16_t bitsPerSample = 16) override;
    bool isOpen() const override;
    // Appends the samples. Should the file fail (disk full), the user is told once, the buffers
    // still complete so that playback goes on, and close() removes the unfinished file.
    bool write(BufferId bufferId, const void* samples, size_t byteCount) override;
    void reset() override;
    // Finishes the WAV header and closes the file.
    void close() override;
    uint64_t playedSampleCount() const override;
    double outputLatencySeconds() const override { return 0.0; }
    std::string name() const override;
    std::string errorText() const override;

    const std::string& path() const { return path_; }

private:
    const std::string path_;
    mutable std::mutex mutex_;
    CompletionCallback callback_;
    WavFileWriter writer_;
    std::vector<int16_t> scratch_;
    bool open_ = false;
    bool writeFailed_ = false;
    uint64_t samplesPlayed_ = 0;
    std::string errorText_;
    AudioOutputDeviceNoticeQueue notices_;
};
