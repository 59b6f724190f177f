// korvalis kov: the KOV video files — what a file holds, its frame timing, cutting it at wall-clock
// times, taking out one frame, and writing synthetic files.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "CommandLine.h"
#include "FileIo.h"
#include "KorvalisCommand.h"
#include "KovCompressedVideoFile.h"
#include "KovFrameHeader.h"
#include "SplitArguments.h"
#include "SyntheticKovWriter.h"
#include "SystemError.h"

namespace {

constexpr const char* kUsage =
    "Usage: korvalis kov info FILE\n"
    "       korvalis kov timing FILE\n"
    "       korvalis kov split FILE --at T [--at T2] --out DIR [--mode N] [--tolerance S]\n"
    "       korvalis kov frame FILE --at T --out OUT.jpg\n"
    "       korvalis kov make FILE --start T --seconds S [--fps 20] [--width 640] "
    "[--height 480]\n\n"
    "KOV video files: JPEG frames, each with its own wall-clock time.\n\n"
    "  info    what the file holds, as key: value lines (valid, width, height, frame_rate,\n"
    "          encoding, start_time, header_length, frame_header_length, frames,\n"
    "          first_frame_time, last_frame_time, duration). frames is the final frame's\n"
    "          number + 1. Exit status 1 when the file is not a valid KOV file.\n"
    "  timing  one CSV line per frame: counter seconds, epoch time, counter ticks, data bytes.\n"
    "          Repeated and backward time stamps are logged; a backward jump is reported.\n"
    "  split   cuts the file at one time (parts: before, from T) or two times (before, T..T2,\n"
    "          from T2) into DIR, naming the parts PREFIX~SECONDS~MS~N1~N2~N3.kov with their\n"
    "          start times; the file itself must be named that way. A part begins at the frame\n"
    "          nearest its split time, and every frame goes to exactly one part. --mode\n"
    "          selects the parts: 0 all (default); with one time 1 the first, 3 the second;\n"
    "          with two times 1 the first, 2 the middle, 3 the last. A part that would hold\n"
    "          no frame (a cut at the first frame, two cuts at one frame) is not written.\n"
    "          Prints the path of every part written. Nothing is written when a frame of the\n"
    "          file cannot be read.\n"
    "  frame   writes the stored JPEG of the frame shown at T (the last frame not after T).\n"
    "  make    writes a test-pattern file whose frames show their own time (UTC), starting at\n"
    "          T and lasting S seconds.\n\n"
    "Times are epoch seconds (decimals allowed, or hexadecimal with 0x).\n";

// Earliest frame time a KOV reader accepts (2000-01-01 00:00:00 UTC).
constexpr double kEarliestFrameTime = KovFrameHeader::kEarliestEpochTime;

int usageError(const std::string& message) {
    std::fprintf(stderr, "korvalis kov: %s\n\n%s", message.c_str(), kUsage);
    return kExitUsage;
}

int failure(const std::string& message) {
    std::fprintf(stderr, "korvalis kov: %s\n", message.c_str());
    return kExitFailure;
}

// The file must exist and be readable before it is taken for a KOV file.
bool checkReadable(const std::string& path, std::string& error) {
    std::ifstream probe(path, std::ios::binary);
    if (!probe.is_open()) {
        error = "cannot open \"" + path + "\": " + SystemError::last();
        return false;
    }
    if (!std::filesystem::is_regular_file(path)) {
        error = "\"" + path + "\" is not a file";
        return false;
    }
    return true;
}

// Opens a KOV file for a subcommand; null (after saying why) when it cannot be used.
std::unique_ptr<KovCompressedVideoFile> openValidFile(const std::string& path, int& status) {
    std::string error;
    if (!checkReadable(path, error)) {
        status = failure(error);
        return nullptr;
    }
    auto file = std::make_unique<KovCompressedVideoFile>(path);
    if (!file->isValid()) {
        status = failure("\"" + path + "\" is not a valid KOV file");
        return nullptr;
    }
    return file;
}

bool parseTime(const std::string& text, double& seconds) {
    return CommandLine::parseEpochSeconds(text, seconds);
}

bool parseBounded(const std::optional<std::string>& text, long minimum, long maximum, long& value) {
    if (!text) {
        return true;
    }
    return CommandLine::parseLong(*text, value) && value >= minimum && value <= maximum;
}

int runInfo(const CommandLine& line) {
    if (line.positional().size() != 2) {
        return usageError("info needs exactly one FILE");
    }
    const std::string& path = line.positional()[1];
    std::string error;
    if (!checkReadable(path, error)) {
        return failure(error);
    }
    KovCompressedVideoFile file(path);
    KovNavigatorAndFormatter& navigator = file.navigator();
    const KovFileHeader header = navigator.fileHeaderIs();
    const KovFrameHeader first = navigator.firstFrameHeaderIs();
    const KovFrameHeader final = navigator.finalFrameHeaderIs();
    const bool valid = file.isValid();
    std::printf("valid: %s\n", valid ? "true" : "false");
    std::printf("width: %u\n", header.getFrameWidth());
    std::printf("height: %u\n", header.getFrameHeight());
    std::printf("frame_rate: %u\n", header.getTargetFrameRate());
    std::printf("encoding: %s\n", header.getFrameEncoding().c_str());
    std::printf("start_time: %.6f\n", header.getStartTime());
    std::printf("header_length: %u\n", header.getHeaderLength());
    std::printf("frame_header_length: %u\n", header.getFrameHeaderLength());
    std::printf("frames: %llu\n", final.hasValidMarker()
                                      ? static_cast<unsigned long long>(final.getFrameNumber()) + 1
                                      : 0ull);
    std::printf("first_frame_time: %.6f\n", first.getEpochTime());
    std::printf("last_frame_time: %.6f\n", final.getEpochTime());
    std::printf("duration: %.6f\n", final.getEpochTime() - first.getEpochTime());
    if (!valid) {
        return failure("\"" + path + "\" is not a valid KOV file");
    }
    return kExitSuccess;
}

int runTiming(const CommandLine& line) {
    if (line.positional().size() != 2) {
        return usageError("timing needs exactly one FILE");
    }
    int status = kExitFailure;
    auto file = openValidFile(line.positional()[1], status);
    if (!file) {
        return status;
    }
    file->dumpTimingDataAsCsv(std::cout);
    std::cout.flush();
    return std::cout.fail() ? failure("could not write the timing") : kExitSuccess;
}

int runSplit(const CommandLine& line) {
    SplitArguments split;
    std::string error;
    if (!SplitArguments::parse(line, split, error)) {
        return usageError(error);
    }
    int status = kExitFailure;
    auto file = openValidFile(split.file, status);
    if (!file) {
        return status;
    }
    if (!split.prepareOutputDirectory(error)) {
        return failure(error);
    }
    std::vector<std::unique_ptr<CompressedVideoFile>> parts;
    if (!split.cut<CompressedVideoFile>(*file, parts)) {
        return failure("split failed: " + file->getErrorText());
    }
    for (const auto& part : parts) {
        std::printf("%s\n", part->getFileName().c_str());
    }
    const size_t asked =
        split.mode == CompressedVideoFile::kSplitAllParts ? split.times.size() + 1 : 1;
    if (parts.size() < asked) {
        const size_t empty = asked - parts.size();
        std::fprintf(stderr,
                     "korvalis kov: %zu of the parts asked for would hold no frame; %s not "
                     "written\n",
                     empty, empty == 1 ? "it was" : "they were");
    }
    return kExitSuccess;
}

int runFrame(const CommandLine& line) {
    double time = 0;
    if (line.positional().size() != 2 || !line.hasOption("at") || !line.hasOption("out")) {
        return usageError("frame needs FILE, --at T and --out OUT.jpg");
    }
    if (!parseTime(*line.value("at"), time)) {
        return usageError("'" + *line.value("at") + "' is not a time in epoch seconds");
    }
    int status = kExitFailure;
    auto file = openValidFile(line.positional()[1], status);
    if (!file) {
        return status;
    }
    KovNavigatorAndFormatter& navigator = file->navigator();
    const double first = navigator.firstFrameHeaderIs().getEpochTime();
    const double last = navigator.finalFrameHeaderIs().getEpochTime();
    char range[96];
    std::snprintf(range, sizeof range, "%.6f to %.6f", first, last);
    if (!(time >= first && time <= last)) {
        return failure("no frame is shown at that time; the frames run from " + std::string(range));
    }
    std::unique_ptr<VideoSegmentFrame> frame;
    if (!navigator.setCurrentFrameByWallClockTime(time, 1.0f) ||
        !navigator.getCurrentFrame(frame)) {
        return failure("cannot read the frame at that time");
    }
    // The nearest frame may lie just after T; the one shown at T is the one before it.
    if (frame->getEpochTime() > time &&
        (!navigator.moveToPriorFrame() || !navigator.getCurrentFrame(frame))) {
        return failure("cannot read the frame before that time");
    }
    const Image* image = frame->getImage();
    const std::string output = *line.value("out");
    std::string error;
    if (!FileIo::writeFileAtomically(
            output,
            std::string_view(reinterpret_cast<const char*>(image->getData()),
                             image->getDataLength()),
            &error)) {
        return failure("cannot write \"" + output + "\": " + error);
    }
    std::printf("frame_time: %.6f\nbytes: %u\npath: %s\n", frame->getEpochTime(),
                image->getDataLength(), output.c_str());
    return kExitSuccess;
}

int runMake(const CommandLine& line) {
    if (line.positional().size() != 2 || !line.hasOption("start") || !line.hasOption("seconds")) {
        return usageError("make needs FILE, --start T and --seconds S");
    }
    SyntheticKovWriter::Settings settings;
    if (!parseTime(*line.value("start"), settings.startTime) ||
        settings.startTime < kEarliestFrameTime) {
        return usageError("--start must be epoch seconds from 2000-01-01 (946684800) on");
    }
    constexpr double kMaximumSeconds = 24 * 3600;
    if (!CommandLine::parseDouble(*line.value("seconds"), settings.durationSeconds) ||
        !(settings.durationSeconds > 0 && settings.durationSeconds <= kMaximumSeconds)) {
        return usageError("--seconds must be more than 0 and at most 86400");
    }
    long fps = settings.frameRate;
    long width = settings.width;
    long height = settings.height;
    if (!parseBounded(line.value("fps"), 1, 1000, fps)) {
        return usageError("--fps must be a whole number from 1 to 1000");
    }
    if (!parseBounded(line.value("width"), 1, SyntheticKovWriter::kMaximumSide, width) ||
        !parseBounded(line.value("height"), 1, SyntheticKovWriter::kMaximumSide, height)) {
        return usageError("--width and --height must be whole numbers from 1 to 8192");
    }
    settings.frameRate = static_cast<uint32_t>(fps);
    settings.width = static_cast<uint32_t>(width);
    settings.height = static_cast<uint32_t>(height);
    SyntheticKovWriter writer(settings);
    const std::string& path = line.positional()[1];
    std::string error;
    if (!writer.write(path, error)) {
        return failure(error);
    }
    std::printf("%s\n", path.c_str());
    return kExitSuccess;
}

int runKov(const std::vector<std::string>& arguments) {
    CommandLine line(arguments, {"at", "out", "mode", "tolerance", "start", "seconds", "fps",
                                 "width", "height"});
    if (!line.isValid()) {
        return usageError(line.error());
    }
    if (line.positional().empty()) {
        return usageError("a subcommand is needed");
    }
    const std::string& subcommand = line.positional()[0];
    if (subcommand == "info") {
        return runInfo(line);
    }
    if (subcommand == "timing") {
        return runTiming(line);
    }
    if (subcommand == "split") {
        return runSplit(line);
    }
    if (subcommand == "frame") {
        return runFrame(line);
    }
    if (subcommand == "make") {
        return runMake(line);
    }
    return usageError("unknown subcommand '" + subcommand + "'");
}

const KorvalisCommandRegistration registration({
    "kov",
    "KOV video files: info, timing, split, frame, make",
    kUsage,
    runKov,
});

}  // namespace
