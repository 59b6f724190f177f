#pragma once

// Test media for the MP3 tests, made on the spot: synthetic frame runs and timed files from the
// product's writer.

#include <gtest/gtest.h>
#include <lame/lame.h>

#include <cmath>
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

// Mono MP3 as other encoders make it: constant `bitRateKbps` at `sampleRate` Hz (frames whose
// padding varies their size by a byte), or variable bit rate when `bitRateKbps` is 0, with the bit
// reservoir in use. The signal changes its loudness and grain, so a variable rate really varies.
inline std::vector<uint8_t> lameFile(int sampleRate, int bitRateKbps, double seconds) {
    lame_global_flags* lame = lame_init();
    lame_set_num_channels(lame, 1);
    lame_set_in_samplerate(lame, sampleRate);
    lame_set_out_samplerate(lame, sampleRate);
    lame_set_mode(lame, MONO);
    lame_set_quality(lame, 7);
    if (bitRateKbps == 0) {
        lame_set_VBR(lame, vbr_default);
        lame_set_VBR_q(lame, 2);
    } else {
        lame_set_brate(lame, bitRateKbps);
    }
    lame_set_bWriteVbrTag(lame, 0);
    lame_set_write_id3tag_automatic(lame, 0);
    std::vector<uint8_t> bytes;
    if (lame_init_params(lame) < 0) {
        lame_close(lame);
        ADD_FAILURE() << "LAME refused " << sampleRate << " Hz, " << bitRateKbps << " kbit/s";
        return bytes;
    }
    const auto count = static_cast<size_t>(seconds * sampleRate);
    std::vector<short> samples(count);
    uint32_t noise = 12345;
    for (size_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / sampleRate;
        noise = noise * 1103515245u + 12345u;
        const double loudness = std::fmod(t, 1.0) < 0.5 ? 0.05 : 0.6;
        const double grain = std::fmod(t, 0.7) < 0.35 ? (static_cast<int>(noise >> 16) % 2000) : 0;
        samples[i] =
            static_cast<short>(loudness * 20000.0 * std::sin(2 * M_PI * 440.0 * t) + grain);
    }
    std::vector<unsigned char> out(count + count / 4 + 7200);
    int produced = lame_encode_buffer(lame, samples.data(), samples.data(), static_cast<int>(count),
                                      out.data(), static_cast<int>(out.size()));
    if (produced > 0) {
        bytes.insert(bytes.end(), out.begin(), out.begin() + produced);
    }
    produced = lame_encode_flush(lame, out.data(), static_cast<int>(out.size()));
    if (produced > 0) {
        bytes.insert(bytes.end(), out.begin(), out.begin() + produced);
    }
    lame_close(lame);
    return bytes;
}

// The offsets and sizes of the frames of `bytes`, each frame sized by its own header.
inline std::vector<std::pair<size_t, size_t>> framesOf(const std::vector<uint8_t>& bytes) {
    std::vector<std::pair<size_t, size_t>> frames;
    for (size_t offset = 0; offset + 4 <= bytes.size();) {
        const uint32_t size = MpegAudioFrameHeader(bytes.data() + offset).frameSize();
        if (size == 0 || offset + size > bytes.size()) {
            break;
        }
        frames.emplace_back(offset, size);
        offset += size;
    }
    return frames;
}

// `bytes` with `junk` inserted after every `every`th frame.
inline std::vector<uint8_t> withJunkBetweenFrames(const std::vector<uint8_t>& bytes, size_t every,
                                                  const std::string& junk) {
    std::vector<uint8_t> result;
    size_t index = 0;
    for (const auto& [offset, size] : framesOf(bytes)) {
        result.insert(result.end(), bytes.begin() + offset, bytes.begin() + offset + size);
        if (++index % every == 0) {
            result.insert(result.end(), junk.begin(), junk.end());
        }
    }
    return result;
}

}  // namespace mp3test
