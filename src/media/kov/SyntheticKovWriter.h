#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "JpegImageCompressor.h"
#include "KovWriteCallback.h"
#include "RgbImage.h"
#include "VideoSegmentFrame.h"

// Writes KOV files of test-pattern frames, each showing its own time as
// "YYYY-MM-DD HH:MM:SS.mmm" (UTC) in a built-in 5x7 digit font over a moving pattern: any size,
// rate, start and duration. Used by `korvalis kov make`, the tests and the benchmarks.
class SyntheticKovWriter {
public:
    struct Settings {
        uint32_t width = 640;
        uint32_t height = 480;
        uint32_t frameRate = 20;              // frames per second
        double startTime = 0.0;               // epoch seconds of the first frame
        double durationSeconds = 10.0;        // frames cover [start, start + duration)
        int64_t counterFrequency = 10000000;  // ticks per second of the frames' time stamps
        int quality = 70;                     // JPEG quality
    };

    // Glyph cells: 5 x 7 pixels, characters 6 cells apart.
    static constexpr uint32_t kGlyphWidth = 5;
    static constexpr uint32_t kGlyphHeight = 7;
    static constexpr uint32_t kGlyphAdvance = 6;
    // Largest frame side the writer makes.
    static constexpr uint32_t kMaximumSide = 8192;

    explicit SyntheticKovWriter(const Settings& settings);

    // max(1, duration x rate rounded): every frame of the file.
    uint32_t frameCount() const;
    // start + index / rate.
    double frameTime(uint32_t index) const;
    // index x counter frequency / rate.
    uint64_t frameTimeStamp(uint32_t index) const;

    // Writes the whole file to `path`, or through `callback` when one is given. False, with the
    // reason in `errorText`, when the settings are unusable or a write fails.
    bool write(const std::string& path, std::string& errorText, KovWriteCallback callback = nullptr,
               void* callbackContext = nullptr);
    // One frame as a KOV file stores it: the pattern for `epochTime`, JPEG-compressed. Null, with
    // the reason in `errorText`, when compression fails.
    std::unique_ptr<VideoSegmentFrame> makeFrame(double epochTime, uint64_t timeStamp,
                                                 uint32_t frameIndex, std::string& errorText);
    // The pattern itself (blue, green, red pixels) for `epochTime`; `frameIndex` moves the pattern.
    std::unique_ptr<RgbImage> drawFrame(double epochTime, uint32_t frameIndex) const;

    // The text a frame at `epochTime` shows.
    static std::string caption(double epochTime);
    // Where the caption's first glyph cell starts and how many pixels one font cell takes.
    struct CaptionLayout {
        uint32_t x;
        uint32_t y;
        uint32_t scale;
    };
    static CaptionLayout captionLayout(uint32_t width, uint32_t height);
    // The rows of a glyph (bit 4 is the leftmost cell), or null for a character without one.
    static const uint8_t* glyph(char c);

private:
    Settings settings_;
    JpegImageCompressor compressor_;
};
