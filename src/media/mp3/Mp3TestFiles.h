#pragma once

// Test media for the MP3 tests, made on the spot: synthetic frame runs and timed files from the
// product's writer.

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ByteOrder.h"
#include "MpegAudioFrameHeader.h"
#include "TimedMp3Writer.h"

namespace mp3test {

// The recorder's header: MPEG-2 Layer III, 32 kbit/s, 16000 Hz, single channel, no CRC.
constexpr uint32_t kRecorderHeader = 0xFFF348C0u;
// MPEG-1 Layer III, 128 kbit/s, 44100 Hz, joint stereo, no CRC, no padding.
constexpr uint32_t kMpeg1Header = 0xFFFB9064u;

// `frames` frames of the header's size, each the header followed by its index as bytes, then
// `extraBytes` bytes of a truncated frame.
inline std::vector<uint8_t> frameRun(uint32_t header, uint32_t frames, uint32_t extraBytes = 0) {
    uint8_t headerBytes[4];
    ByteOrder::writeBigEndian32(headerBytes, header);
    const uint32_t size = MpegAudioFrameHeader(headerBytes).frameSize();
    std::vector<uint8_t> bytes;
    for (uint32_t i = 0; i < frames + (extraBytes > 0 ? 1 : 0); ++i) {
        std::vector<uint8_t> frame(size, static_cast<uint8_t>(i));
        std::copy(headerBytes, headerBytes + 4, frame.begin());
        if (i == frames) {
            frame.resize(extraBytes);
        }
        bytes.insert(bytes.end(), frame.begin(), frame.end());
    }
    return bytes;
}

inline void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

inline std::vector<uint8_t> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>());
}

// A timed file from the product's writer, written to `path`.
inline void writeTimedFile(const std::string& path, double startTime, double seconds,
                           double stampIntervalSeconds = 1.0, double stampOffsetSeconds = 0.0) {
    TimedMp3Writer writer(startTime, seconds);
    writer.setStampIntervalSeconds(stampIntervalSeconds);
    writer.setStampOffsetSeconds(stampOffsetSeconds);
    ASSERT_TRUE(writer.writeFile(path)) << writer.errorText();
}

}  // namespace mp3test
