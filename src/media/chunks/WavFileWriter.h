#pragma once

#include <cstdint>
#include <string>

class DecodedAudioChunk;

// Writes 16-bit PCM to a WAV file as it arrives: a RIFF header whose sizes are filled in by
// finish(). One writer, one file; not shared between threads.
class WavFileWriter {
public:
    WavFileWriter() = default;
    // Finishes the file when it is still open.
    ~WavFileWriter();

    WavFileWriter(const WavFileWriter&) = delete;
    WavFileWriter& operator=(const WavFileWriter&) = delete;

    // Creates (or truncates) `path` for samples at `sampleRate` Hz, `channelCount` interleaved
    // channels. False, with errorText(), when the file cannot be created.
    bool open(const std::string& path, uint32_t sampleRate, uint16_t channelCount = 1);
    // Appends the valid samples of a decoded chunk.
    bool append(const DecodedAudioChunk& chunk);
    // Appends samples (machine byte order); false when writing fails or the file would pass the
    // 4 GiB that WAV sizes can express.
    bool appendSamples(const int16_t* samples, uint32_t count);
    // Writes the final sizes and closes the file. A file whose writing failed is removed.
    bool finish();

    uint64_t samplesWritten() const { return dataBytes_ / 2; }
    const std::string& errorText() const { return errorText_; }

    // RIFF header of 16-bit PCM: "RIFF" (4), 36 + data size (4), "WAVE" (4), "fmt " (4),
    // 16 (4), format 1 (2), channels (2), sample rate (4), byte rate (4), block align (2),
    // 16 bits (2), "data" (4), data size (4).
    static constexpr uint32_t kHeaderSize = 44;

private:
    bool writeHeader();
    void fail(const std::string& what);

    int descriptor_ = -1;
    std::string path_;
    uint32_t sampleRate_ = 0;
    uint16_t channelCount_ = 1;
    uint64_t dataBytes_ = 0;
    bool failed_ = false;
    std::string errorText_;
};
