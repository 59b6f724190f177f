// korvalis mp3: timed MP3 channel files — their header and name, their stamps, splits, decoding
// to WAV, and making new ones.

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "DecodedAudioChunk.h"
#include "EncodedAudioChunk.h"
#include "KorvalisCommand.h"
#include "KorvalisMp3CompressedAudioFile.h"
#include "MediaFileName.h"
#include "MpegAudioCompressor.h"
#include "SplitArguments.h"
#include "SystemError.h"
#include "TimedMp3Writer.h"
#include "WavFileWriter.h"

namespace {

constexpr const char* kUsage =
    "Usage: korvalis mp3 info FILE\n"
    "       korvalis mp3 timing FILE\n"
    "       korvalis mp3 split FILE --at TIME [--at TIME2] --out DIR [--mode N] [--tolerance S]\n"
    "       korvalis mp3 decode FILE --wav OUT\n"
    "       korvalis mp3 make FILE --start TIME --seconds S [--tone HZ] [--prefix P]\n"
    "                         [--n1 N] [--n2 N] [--n3 N] [--stamp-every S] [--stamp-offset S]\n\n"
    "Timed MP3 channel files are named PREFIX~SECONDS~MILLISECONDS~N1~N2~N3.mp3 (SECONDS the "
    "start\n"
    "time as eight hexadecimal digits) and may carry wall-clock stamps in their frames.\n\n"
    "  info    the name's fields, the first frame's header and the file's durations, as\n"
    "          key: value lines\n"
    "  timing  one CSV line per stamped frame: name time, stamp, difference, |difference|\n"
    "  split   copies the file cut at TIME (two parts) or at TIME and TIME2 (three parts) into\n"
    "          DIR, the parts named by their start times; prints the paths written. --mode\n"
    "          picks parts: 0 all (default); with one cut 1 first, 3 second; with two cuts\n"
    "          1 first, 2 middle, 3 last. Cuts fall on frame starts within --tolerance\n"
    "          seconds (default 1)\n"
    "  decode  decodes the file as playback does and writes 16-bit mono PCM to a WAV file\n"
    "  make    writes a timed MP3 file as the recorder does (16000 Hz mono, 32 kbit/s): S seconds\n"
    "          from TIME of a tone (default 440 Hz; 0 for silence), a stamp once a second\n"
    "          (--stamp-every, 0 for none) saying frame time + --stamp-offset. When FILE is a\n"
    "          directory the file is named by the scheme with --prefix (default DEMO) and the\n"
    "          numbers N1, N2, N3 (default 0); prints the path written\n\n"
    "TIME is epoch seconds (decimals allowed) or hexadecimal with 0x.\n";

constexpr double kMaximumMakeSeconds = 86400.0;

int usageError(const std::string& message) {
    std::fprintf(stderr, "korvalis mp3: %s\n%s", message.c_str(), kUsage);
    return kExitUsage;
}

int failure(const std::string& message) {
    std::fprintf(stderr, "korvalis mp3: %s\n", message.c_str());
    return kExitFailure;
}

// Opens FILE as a timed MP3 file; null (with the reason on stderr) when it is not MPEG audio.
std::unique_ptr<KorvalisMp3CompressedAudioFile> openAudio(const std::string& path) {
    if (::access(path.c_str(), R_OK) != 0) {
        failure("cannot read \"" + path + "\": " + SystemError::last());
        return nullptr;
    }
    auto file = std::make_unique<KorvalisMp3CompressedAudioFile>(path, true);
    if (!file->mpegAudioFile().getFirstFrameHeader().isUsable()) {
        failure("\"" + path + "\" is not MPEG audio: it does not start with a usable frame header");
        return nullptr;
    }
    return file;
}

int runInfo(const CommandLine& line) {
    if (line.positional().size() != 2) {
        return usageError("info takes one FILE");
    }
    auto file = openAudio(line.positional()[1]);
    if (!file) {
        return kExitFailure;
    }
    MediaFileName name;
    const bool named = MediaFileName::parse(file->fileName(), name);
    const MpegAudioFrameHeader header = file->mpegAudioFile().getFirstFrameHeader();
    std::printf("valid: %s\n", file->isValid() ? "true" : "false");
    std::printf("prefix: %s\n", named ? name.prefix().c_str() : "");
    if (named) {
        std::printf("start_time: %.3f\n", file->getStartTime());
        std::printf("n1: %d\nn2: %d\nn3: %d\n", name.n1(), name.n2(), name.n3());
    } else {
        std::printf("start_time: \nn1: \nn2: \nn3: \n");
    }
    std::printf("version: %s\n", header.versionName());
    std::printf("layer: %d\n", header.layerNumber());
    std::printf("bit_rate: %u\n", header.bitRateKbps());
    std::printf("sample_rate: %u\n", header.sampleRate());
    std::printf("samples_per_frame: %u\n", header.samplesPerFrame());
    std::printf("frame_size: %u\n", file->getFrameSize());
    std::printf("frame_duration: %.6g\n", file->getFrameDuration());
    std::printf("total_duration: %.3f\n", file->getDuration());
    std::printf("stamped_frames: %llu\n",
                static_cast<unsigned long long>(file->countStampedFrames()));
    return kExitSuccess;
}

int runTiming(const CommandLine& line) {
    if (line.positional().size() != 2) {
        return usageError("timing takes one FILE");
    }
    auto file = openAudio(line.positional()[1]);
    if (!file) {
        return kExitFailure;
    }
    file->dumpTimingDataAsCsv(std::cout);
    std::cout.flush();
    return std::cout.good() ? kExitSuccess : failure("cannot write the timing data");
}

int runSplit(const CommandLine& line) {
    SplitArguments split;
    std::string error;
    if (!SplitArguments::parse(line, split, error)) {
        return usageError(error);
    }
    auto file = openAudio(split.file);
    if (!file) {
        return kExitFailure;
    }
    if (!file->isValid()) {
        return failure("\"" + file->fileName() +
                       "\" is not named PREFIX~SECONDS~MILLISECONDS~N1~N2~N3.mp3, so its parts "
                       "cannot be named");
    }
    if (!split.prepareOutputDirectory(error)) {
        return failure(error);
    }
    std::vector<std::unique_ptr<CompressedAudioFile>> parts;
    if (!split.cut<CompressedAudioFile>(*file, parts)) {
        return failure("splitting failed: " + file->getErrorText());
    }
    for (const auto& part : parts) {
        std::printf("%s\n", part->fileName().c_str());
    }
    return kExitSuccess;
}

int runDecode(const CommandLine& line) {
    if (line.positional().size() != 2 || !line.value("wav")) {
        return usageError("decode takes one FILE and --wav OUT");
    }
    auto file = openAudio(line.positional()[1]);
    if (!file) {
        return kExitFailure;
    }
    const std::string out = *line.value("wav");
    WavFileWriter wav;
    if (!wav.open(out, file->mpegAudioFile().getSampleRate())) {
        return failure(wav.errorText());
    }
    // The path playback takes: chunks of the session's length through the codec. Whatever stops
    // it before the end of the file fails the command, naming the frame: a partial WAV file is
    // never left behind as a result.
    MpegAudioCompressor codec(16000, 16000, 32, 7);
    std::unique_ptr<EncodedAudioChunk> encoded;
    std::unique_ptr<DecodedAudioChunk> decoded;
    const uint32_t samplesPerFrame = file->mpegAudioFile().getSamplesPerFrame();
    auto stopped = [&](uint64_t frame, uint64_t byte, const std::string& reason) {
        wav.finish();
        std::remove(out.c_str());
        return failure("decoding \"" + file->fileName() + "\" stopped at frame " +
                       std::to_string(frame) + " (byte " + std::to_string(byte) + "): " + reason);
    };
    bool endOfFile = false;
    bool ok = true;
    while (ok && !endOfFile) {
        const uint64_t chunkStart = file->mpegAudioFile().getStreamPosition();
        if (!file->getNextEncodedChunk(encoded, endOfFile, 0.144f)) {
            if (endOfFile) {
                break;
            }
            const std::string reason = file->getErrorText();
            return stopped(codec.framesFed(), file->mpegAudioFile().getStreamPosition(),
                           reason.empty() ? "the file cannot be read on from there" : reason);
        }
        const uint32_t samples = encoded->numberOfSamplesIs();
        if (!codec.feedEncodedChunk(encoded.get())) {
            return stopped(
                codec.framesFed(), chunkStart,
                "the decoder refused the chunk starting there: " + codec.feedErrorText());
        }
        int result = AudioCompressor::kChunkProduced;
        while (ok && (result = codec.getDecodedChunk(samples, decoded)) ==
                         AudioCompressor::kChunkProduced) {
            ok = wav.append(*decoded);
        }
        if (result == AudioCompressor::kDecodeFailed) {
            return stopped(samplesPerFrame == 0 ? 0 : codec.samplesDecoded() / samplesPerFrame,
                           chunkStart, "the decoder failed");
        }
    }
    while (ok && codec.drainDecodedChunk(decoded) == AudioCompressor::kChunkProduced) {
        ok = wav.append(*decoded);
    }
    if (!wav.finish() || !ok) {
        return failure(wav.errorText());
    }
    std::printf("%s\n", out.c_str());
    return kExitSuccess;
}

int runMake(const CommandLine& line) {
    if (line.positional().size() != 2) {
        return usageError("make takes one FILE");
    }
    double start = 0.0;
    double seconds = 0.0;
    const auto startText = line.value("start");
    const auto secondsText = line.value("seconds");
    if (!startText || !CommandLine::parseEpochSeconds(*startText, start) || start < 0 ||
        start >= 4294967296.0) {
        return usageError("make needs --start TIME, epoch seconds from 0 to 2^32");
    }
    if (!secondsText || !CommandLine::parseDouble(*secondsText, seconds) || seconds <= 0 ||
        seconds > kMaximumMakeSeconds) {
        return usageError("make needs --seconds S, more than 0 and at most 86400");
    }
    double tone = 440.0;
    double stampEvery = 1.0;
    double stampOffset = 0.0;
    const std::map<std::string, std::pair<double*, std::pair<double, double>>> numbers = {
        {"tone", {&tone, {0.0, 7999.0}}},
        {"stamp-every", {&stampEvery, {0.0, 86400.0}}},
        {"stamp-offset", {&stampOffset, {-86400.0, 86400.0}}},
    };
    for (const auto& [option, target] : numbers) {
        if (auto text = line.value(option);
            text && (!CommandLine::parseDouble(*text, *target.first) ||
                     *target.first < target.second.first || *target.first > target.second.second)) {
            return usageError("--" + option + " must be a number from " +
                              std::to_string(target.second.first) + " to " +
                              std::to_string(target.second.second));
        }
    }
    long n[3] = {0, 0, 0};
    const char* nNames[3] = {"n1", "n2", "n3"};
    for (int i = 0; i < 3; ++i) {
        if (auto text = line.value(nNames[i]); text && (!CommandLine::parseLong(*text, n[i]) ||
                                                        n[i] < INT32_MIN || n[i] > INT32_MAX)) {
            return usageError(std::string("--") + nNames[i] + " must be a whole number");
        }
    }
    const std::string prefix = line.value("prefix").value_or("DEMO");
    if (prefix.empty() || prefix.find_first_of("~/.") != std::string::npos) {
        return usageError("--prefix must not be empty nor hold \"~\", \"/\" or \".\"");
    }

    std::string path = line.positional()[1];
    std::error_code code;
    if (std::filesystem::is_directory(path, code)) {
        path = MediaFileName(prefix, start, static_cast<int>(n[0]), static_cast<int>(n[1]),
                             static_cast<int>(n[2]))
                   .pathIn(path, "mp3");
    }
    TimedMp3Writer writer(start, seconds);
    writer.setSignal(tone > 0 ? TimedMp3Writer::tone(tone) : TimedMp3Writer::silence());
    writer.setStampIntervalSeconds(stampEvery);
    writer.setStampOffsetSeconds(stampOffset);
    if (!writer.writeFile(path)) {
        return failure(writer.errorText());
    }
    std::printf("%s\n", path.c_str());
    return kExitSuccess;
}

int runMp3(const std::vector<std::string>& arguments) {
    const std::set<std::string> valueOptions = {
        "at",   "out",    "mode", "tolerance", "wav", "start",       "seconds",
        "tone", "prefix", "n1",   "n2",        "n3",  "stamp-every", "stamp-offset"};
    CommandLine line(arguments, valueOptions);
    if (!line.isValid()) {
        return usageError(line.error());
    }
    if (line.positional().empty()) {
        return usageError("which subcommand?");
    }
    const std::string& subcommand = line.positional()[0];
    // Each subcommand takes only its own options.
    const std::map<std::string, std::set<std::string>> allowed = {
        {"info", {}},
        {"timing", {}},
        {"split", {"at", "out", "mode", "tolerance"}},
        {"decode", {"wav"}},
        {"make",
         {"start", "seconds", "tone", "prefix", "n1", "n2", "n3", "stamp-every", "stamp-offset"}},
    };
    const auto options = allowed.find(subcommand);
    if (options == allowed.end()) {
        return usageError("unknown subcommand '" + subcommand + "'");
    }
    for (const std::string& option : valueOptions) {
        if (line.hasOption(option) && options->second.count(option) == 0) {
            return usageError("--" + option + " does not go with " + subcommand);
        }
    }
    if (subcommand == "info") {
        return runInfo(line);
    }
    if (subcommand == "timing") {
        return runTiming(line);
    }
    if (subcommand == "split") {
        return runSplit(line);
    }
    if (subcommand == "decode") {
        return runDecode(line);
    }
    return runMake(line);
}

const KorvalisCommandRegistration registration({
    "mp3",
    "inspect, split, decode and make timed MP3 channel files",
    kUsage,
    runMp3,
});

}  // namespace
