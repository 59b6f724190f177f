#pragma once

// Shared by the KOV tests: scratch directories, raw file access, frames of arbitrary bytes, and
// a reader of the frame chain written independently of the classes under test.

#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "ByteOrder.h"
#include "CompressedImage.h"
#include "KovNavigatorAndFormatter.h"
#include "TemporaryDirectory.h"
#include "VideoSegmentFrame.h"

namespace kovtest {

inline std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// A frame whose data are `size` bytes counting up from `seed` (not a picture: the container does
// not look inside frames).
inline std::unique_ptr<VideoSegmentFrame> dataFrame(double epochTime, uint32_t size,
                                                    uint8_t seed = 0, uint64_t timeStamp = 0) {
    auto image = std::make_unique<CompressedImage>(64, 48, size, "JPEG");
    image->allocateBuffer();
    for (uint32_t i = 0; i < size; ++i) {
        image->getData()[i] = static_cast<uint8_t>(seed + i);
    }
    image->setDataLength(size);
    return std::make_unique<VideoSegmentFrame>(std::move(image), epochTime, timeStamp);
}

// Writes a KOV file of data frames at `times` (the header's start time is the first of them).
inline bool writeKovFile(const std::string& path, const std::vector<double>& times,
                         uint32_t frameBytes = 500) {
    KovNavigatorAndFormatter writer;
    writer.setFileName(path, false);
    bool ok = writer.writeFileHeader(times.empty() ? 0.0 : times.front(), 1000, 64, 48, 10, "JPEG",
                                     nullptr, nullptr);
    for (size_t i = 0; i < times.size(); ++i) {
        ok = writer.appendFrame(*dataFrame(times[i], frameBytes, static_cast<uint8_t>(i), i * 100),
                                i + 1 == times.size(), nullptr, nullptr) &&
             ok;
    }
    return ok;
}

// Evenly spaced times: count frames from `start`, `step` seconds apart.
inline std::vector<double> evenTimes(double start, double step, size_t count) {
    std::vector<double> times;
    for (size_t i = 0; i < count; ++i) {
        times.push_back(start + step * static_cast<double>(i));
    }
    return times;
}

// One frame of a file as its bytes say, read without the classes under test (standard table).
struct RawFrame {
    uint64_t position;  // of the frame-header block in the file
    uint32_t marker;
    double epochTime;
    uint64_t timeStamp;
    uint32_t frameNumber, thisOffset, nextOffset, priorOffset, dataLength;
    std::string data;
};

inline size_t rawHeaderLength(const std::string& bytes) {
    const size_t terminator = bytes.find('\0');
    return terminator == std::string::npos ? 0 : terminator + 5;
}

// The frames of a file in storage order, following the blocks one after another.
inline std::vector<RawFrame> rawFrames(const std::string& bytes) {
    std::vector<RawFrame> frames;
    size_t at = rawHeaderLength(bytes);
    const auto* b = reinterpret_cast<const uint8_t*>(bytes.data());
    while (at != 0 && at + 72 <= bytes.size()) {
        RawFrame frame;
        frame.position = at;
        frame.marker = ByteOrder::readBigEndian32(b + at);
        frame.epochTime = ByteOrder::readLittleEndianDouble(b + at + 4);
        frame.timeStamp = ByteOrder::readBigEndian64(b + at + 12);
        frame.frameNumber = ByteOrder::readBigEndian32(b + at + 20);
        frame.thisOffset = ByteOrder::readBigEndian32(b + at + 24);
        frame.nextOffset = ByteOrder::readBigEndian32(b + at + 28);
        frame.priorOffset = ByteOrder::readBigEndian32(b + at + 32);
        frame.dataLength = ByteOrder::readBigEndian32(b + at + 36);
        if (at + 72 + frame.dataLength > bytes.size()) {
            break;
        }
        frame.data = bytes.substr(at + 72, frame.dataLength);
        frames.push_back(frame);
        at += 72 + frame.dataLength;
    }
    return frames;
}

inline std::vector<double> rawTimes(const std::string& path) {
    std::vector<double> times;
    for (const RawFrame& frame : rawFrames(readBytes(path))) {
        times.push_back(frame.epochTime);
    }
    return times;
}

// The header text of a file (up to its terminator).
inline std::string rawHeaderText(const std::string& path) {
    const std::string bytes = readBytes(path);
    return bytes.substr(0, bytes.find('\0'));
}

}  // namespace kovtest
