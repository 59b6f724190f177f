#include "DecoderTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "KorvalisEncryptedMediaFile.h"
#include "KorvalisMp3CompressedAudioFile.h"
#include "KorvalisSealedCompressedAudioFile.h"
#include "MediaFileName.h"
#include "MpegAudioCompressor.h"
#include "SyntheticKovWriter.h"

namespace {

constexpr uint8_t kSealingKey[16] = {3, 1, 4, 1, 5, 9, 2, 6, 5, 3, 5, 8, 9, 7, 9, 3};

std::string fileNameFor(double startTime, int channel, const std::string& extension) {
    const auto seconds = static_cast<uint32_t>(std::floor(startTime));
    const auto milliseconds =
        static_cast<uint32_t>(std::lround((startTime - std::floor(startTime)) * 1000.0));
    char name[128];
    std::snprintf(name, sizeof name, "%s~%08x~%u~%d~0~0.%s", DecoderTestSupport::kLocation, seconds,
                  milliseconds, channel, extension.c_str());
    return name;
}

}  // namespace

DecoderTestSupport::DecoderTestSupport() : scratch_("korvalis-pipeline-") {
    EXPECT_TRUE(scratch_.isValid()) << scratch_.error();
}

std::string DecoderTestSupport::channelDirectory(int channel, double startTime) const {
    const auto seconds = static_cast<time_t>(startTime);
    std::tm day{};
    gmtime_r(&seconds, &day);
    char relative[64];
    std::snprintf(relative, sizeof relative, "Recordings/%03d/%04d%02d%02d", channel,
                  day.tm_year + 1900, day.tm_mon + 1, day.tm_mday);
    const std::string directory = root() + "/" + relative;
    std::filesystem::create_directories(directory);
    return directory;
}

std::string DecoderTestSupport::writeChannelMp3(int channel, double startTime, double seconds,
                                                TimedMp3Writer::Signal signal) {
    const std::string path =
        channelDirectory(channel, startTime) + "/" + fileNameFor(startTime, channel, "mp3");
    TimedMp3Writer writer(startTime, seconds);
    writer.setSignal(std::move(signal));
    if (!writer.writeFile(path)) {
        ADD_FAILURE() << writer.errorText();
        return "";
    }
    return path;
}

std::string DecoderTestSupport::writeKov(double startTime, double seconds, uint32_t frameRate) {
    const std::string path =
        channelDirectory(0, startTime) + "/" + fileNameFor(startTime, 0, "kov");
    SyntheticKovWriter::Settings settings;
    settings.width = 64;
    settings.height = 48;
    settings.frameRate = frameRate;
    settings.startTime = startTime;
    settings.durationSeconds = seconds;
    SyntheticKovWriter writer(settings);
    std::string errorText;
    if (!writer.write(path, errorText)) {
        ADD_FAILURE() << errorText;
        return "";
    }
    return path;
}

std::string DecoderTestSupport::writeSealedAudio(int channel, double startTime, double endTime) {
    const std::string directory = channelDirectory(channel, startTime);
    const std::string clearName = "clear-" + fileNameFor(startTime, channel, "bin");
    {
        std::ofstream clear(directory + "/" + clearName, std::ios::binary);
        clear << std::string(3000, '\x5a');
    }
    const std::string originalName = fileNameFor(startTime, channel, "mp3");
    const std::string sealedName = fileNameFor(startTime, channel, "sealedAudio");
    KorvalisEncryptedMediaFile file;
    file.setSourceLocation(directory, clearName);
    file.setOriginalLocation(directory, originalName);
    file.setStartTime(startTime);
    file.setEndTime(endTime);
    const bool sealed = file.encrypt(kSealingKey, sizeof kSealingKey, directory, sealedName);
    std::filesystem::remove(directory + "/" + clearName);
    if (!sealed) {
        ADD_FAILURE() << file.getErrorText();
        return "";
    }
    return directory + "/" + sealedName;
}

std::unique_ptr<AudioDecoder> DecoderTestSupport::makeDecoder() {
    return std::make_unique<AudioDecoder>(
        std::make_unique<MpegAudioCompressor>(16000, 16000, 32, 7), kChunkSeconds);
}

std::unique_ptr<AudioDecoder> DecoderTestSupport::makeDecoder(
    const std::vector<std::string>& paths) {
    auto decoder = makeDecoder();
    for (const std::string& path : paths) {
        if (path.size() > 12 && path.substr(path.size() - 12) == ".sealedAudio") {
            decoder->addFileToDecodeList(std::make_unique<KorvalisSealedCompressedAudioFile>(path));
        } else {
            decoder->addFileToDecodeList(
                std::make_unique<KorvalisMp3CompressedAudioFile>(path, true));
        }
    }
    return decoder;
}

std::vector<DecoderTestSupport::Piece> DecoderTestSupport::decodeToEnd(
    AudioDecoder& decoder, std::vector<int16_t>* samples, size_t maximumChunks) {
    std::vector<Piece> pieces;
    for (size_t i = 0; i < maximumChunks; ++i) {
        bool endOfData = false;
        std::unique_ptr<DecodedAudioChunk> chunk = decoder.getNextDecodedChunk(&endOfData);
        if (chunk) {
            pieces.push_back(Piece{chunk->startTimeIs(), chunk->numberOfSamplesIs()});
            if (samples != nullptr) {
                for (uint32_t k = 0; k < chunk->numberOfSamplesIs(); ++k) {
                    samples->push_back(chunk->sampleAt(k));
                }
            }
        }
        if (endOfData || !chunk) {
            break;
        }
    }
    return pieces;
}

double DecoderTestSupport::tonePower(const std::vector<int16_t>& samples, double frequencyHz) {
    const double omega = 2.0 * M_PI * frequencyHz / TimedMp3Writer::kSampleRate;
    const double coefficient = 2.0 * std::cos(omega);
    double previous = 0.0;
    double beforePrevious = 0.0;
    for (int16_t sample : samples) {
        const double value = sample + coefficient * previous - beforePrevious;
        beforePrevious = previous;
        previous = value;
    }
    const double power = previous * previous + beforePrevious * beforePrevious -
                         coefficient * previous * beforePrevious;
    return samples.empty() ? 0.0 : power / static_cast<double>(samples.size());
}

double DecoderTestSupport::dominantFrequency(const std::vector<int16_t>& samples,
                                             const std::vector<double>& frequencies) {
    double best = -1.0;
    double bestPower = 1.0;  // below this the samples count as silence
    for (double frequency : frequencies) {
        const double power = tonePower(samples, frequency);
        if (power > bestPower) {
            bestPower = power;
            best = frequency;
        }
    }
    return best;
}

int DecoderTestSupport::openFilesBelow(const std::string& directory) {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        const auto target = std::filesystem::read_symlink(entry.path(), error);
        if (!error && target.string().rfind(directory, 0) == 0) {
            ++count;
        }
    }
    return count;
}
