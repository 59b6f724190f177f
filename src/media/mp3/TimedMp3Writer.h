#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Writes timed MP3 audio as the recorder makes it: LAME at 16000 Hz mono, 32 kbit/s constant bit
// rate, no bit reservoir (MPEG-2 Layer III, 144-byte frames of 36 ms), with wall-clock stamps
// (Mp3FrameStamp, private bit set) in frames whose trailing bytes are free. Any start time,
// duration and test signal; the signal is shifted by the codec's delay, so that decoded sample k
// is the signal at start time + k / 16000 s. Used by `korvalis mp3 make`, the tests, the
// benchmarks and the sample-archive maker. One writer per thread.
class TimedMp3Writer {
public:
    static constexpr uint32_t kSampleRate = 16000;
    static constexpr uint32_t kBitRateKbps = 32;
    static constexpr uint32_t kQuality = 7;
    static constexpr uint32_t kSamplesPerFrame = 576;
    static constexpr uint32_t kFrameBytes = 144;
    static constexpr double kFrameDurationSeconds = 576.0 / 16000.0;
    // The synthesis filter bank's delay, which every decoder adds to the encoder's own.
    static constexpr uint32_t kDecoderDelaySamples = 529;

    // Sample `sampleIndex` (counted from the start time at 16000 Hz) of the signal to encode.
    using Signal = std::function<int16_t(uint64_t sampleIndex)>;
    // A sine of `frequencyHz` at `amplitude` of full scale; its phase starts again every whole
    // second, which a whole number of hertz does not hear.
    static Signal tone(double frequencyHz, double amplitude = 0.5);
    static Signal silence();

    // A file of round(duration / 36 ms) frames (at least one) starting at `startTime` (epoch
    // seconds); a 440 Hz tone, stamps once a second.
    TimedMp3Writer(double startTime, double durationSeconds);

    void setSignal(Signal signal);
    // The first frame at or after every multiple of `seconds` from the start that has room
    // carries a stamp; 0 writes no stamps; a value below one frame stamps every frame with room.
    void setStampIntervalSeconds(double seconds);
    // Stamps say frame time + `seconds` (a recorder clock that runs apart from the name's).
    void setStampOffsetSeconds(double seconds);

    // Receives the file's bytes in order; returns false to abandon the write.
    using Sink = std::function<bool(const uint8_t* bytes, size_t count)>;
    // Encodes the whole file into `sink`. False, with errorText(), when encoding fails.
    bool write(const Sink& sink);
    // Writes the file at `path`, which appears whole or not at all.
    bool writeFile(const std::string& path);
    bool writeToMemory(std::vector<uint8_t>& bytes);

    double startTime() const { return startTime_; }
    uint64_t frameCount() const { return frameCount_; }
    // Frames that got a stamp in the last write.
    uint64_t stampedFrames() const { return stampedFrames_; }
    const std::string& errorText() const { return errorText_; }

private:
    bool processFrame(uint8_t* frame, uint32_t size, uint64_t index);

    double startTime_;
    uint64_t frameCount_;
    Signal signal_;
    double stampIntervalSeconds_ = 1.0;
    double stampOffsetSeconds_ = 0.0;
    double nextStampOffsetSeconds_ = 0.0;
    uint64_t stampedFrames_ = 0;
    std::string errorText_;
};
