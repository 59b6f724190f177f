#pragma once

// What the copier and copy-job tests share: a generated session (three channels with their own
// tones, video, annotations), its media set, and readers for what a copy wrote.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "AudioDecoder.h"
#include "AudioDecoderGroup.h"
#include "DecodedAudioChunk.h"
#include "KorvalisSession.h"
#include "SampleArchiveWriter.h"
#include "TemporaryDirectory.h"
#include "VideoDecoder.h"

namespace session_copy_test {

inline constexpr const char* kLocation = "COURT1";
inline constexpr SampleArchiveWriter::Date kDate{2010, 3, 15};
inline constexpr int kChannels = 3;
inline constexpr double kFrameSeconds = 576.0 / 16000.0;

inline SampleArchiveWriter::Settings sessionSettings() {
    SampleArchiveWriter::Settings settings;
    settings.locations = {kLocation};
    settings.dates = {kDate};
    settings.channels = kChannels;
    settings.hours = 0.05;  // 3 minutes
    settings.fileMinutes = 1.0;
    settings.videoWidth = 64;
    settings.videoHeight = 48;
    settings.videoFrameRate = 5;
    settings.annotationsPerHour = 600;
    return settings;
}

inline std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// Every regular file below `root` with its bytes.
inline std::map<std::string, std::string> treeContents(const std::string& root) {
    std::map<std::string, std::string> contents;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        if (entry.is_regular_file()) {
            contents[entry.path().string()] = readBytes(entry.path().string());
        }
    }
    return contents;
}

// Regular files directly in `directory` with the extension `extension`, sorted.
inline std::vector<std::string> filesIn(const std::string& directory,
                                        const std::string& extension) {
    std::vector<std::string> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(directory, error)) {
        if (entry.is_regular_file() && entry.path().extension() == "." + extension) {
            files.push_back(entry.path().string());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

// A session and its media set as playback builds it.
struct OpenSession {
    OpenSession(const std::string& root, const std::string& location)
        : session(root + "/Recordings", location, static_cast<uint32_t>(kDate.year),
                  static_cast<uint32_t>(kDate.month), static_cast<uint32_t>(kDate.day)) {
        session.enumerateMediaFiles();
        session.createAudioDecoderGroupForSession(group, 0.144f);
        session.createVideDecoderForSession(video);
    }
    KorvalisSession session;
    std::unique_ptr<AudioDecoderGroup> group;
    std::unique_ptr<VideoDecoder> video;
};

// Every decoded sample of channel `channel`, and the time of the first.
inline std::vector<int16_t> decodeChannel(AudioDecoderGroup& group, unsigned channel,
                                          double& firstTime) {
    std::vector<int16_t> samples;
    AudioDecoder* decoder = group.decoderForChannel(channel);
    firstTime = -1.0;
    bool endOfData = false;
    while (decoder != nullptr && !endOfData) {
        std::unique_ptr<DecodedAudioChunk> chunk = decoder->getNextDecodedChunk(&endOfData);
        if (!chunk) {
            continue;
        }
        if (firstTime < 0.0) {
            firstTime = chunk->startTimeIs();
        }
        for (uint32_t i = 0; i < chunk->numberOfSamplesIs(); ++i) {
            samples.push_back(chunk->sampleAt(i));
        }
    }
    return samples;
}

// Relative strength of `frequency` in `samples` (Goertzel).
inline double toneStrength(const std::vector<int16_t>& samples, double frequency) {
    const double coefficient = 2.0 * std::cos(2.0 * std::numbers::pi * frequency / 16000.0);
    double previous = 0.0, beforePrevious = 0.0;
    for (int16_t sample : samples) {
        const double value = sample / 32768.0 + coefficient * previous - beforePrevious;
        beforePrevious = previous;
        previous = value;
    }
    const double power = previous * previous + beforePrevious * beforePrevious -
                         coefficient * previous * beforePrevious;
    return std::sqrt(std::max(0.0, power)) /
           static_cast<double>(std::max<size_t>(1, samples.size()));
}

// A generated archive with one session, written once per test.
class GeneratedSession : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(scratch_.isValid());
        root_ = scratch_.file("source");
        SampleArchiveWriter writer(sessionSettings());
        ASSERT_TRUE(writer.write(root_)) << writer.errorText();
        start_ = writer.sessionStart(kDate);
        end_ = writer.sessionEnd(kDate);
    }

    TemporaryDirectory scratch_{"session-copy-"};
    std::string root_;
    double start_ = 0.0;
    double end_ = 0.0;
};

}  // namespace session_copy_test
