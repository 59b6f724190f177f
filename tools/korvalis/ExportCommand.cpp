// korvalis export: a session, or a range of it, as one standard media file (the mixed audio as
// AAC, the video as H.264 or Motion JPEG, in MP4 or Matroska), as KOMediaExporter writes it.

#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "ExportProgressLine.h"
#include "KorvalisCommand.h"
#include "SessionLookup.h"
#include "SessionMediaExporter.h"
#include "TerminalText.h"

namespace {

constexpr const char* kUsage =
    "Usage: korvalis export ROOTS LOCATION YYYYMMDD --out FILE [--from T] [--to T] [--fps N]\n"
    "                      [--audio-only] [--mjpeg]\n\n"
    "Exports a session as one media file that common players play: every audio channel mixed\n"
    "as the player mixes them (unity gain, nothing muted), encoded AAC, and the video as\n"
    "pictures at N a second (default 20), encoded H.264 (Motion JPEG where the FFmpeg build has\n"
    "no H.264 encoder, or with --mjpeg). Gaps in the recording are silence; each picture shows\n"
    "the session frame current at its time, black before the first frame and where the camera\n"
    "gave no frame for 5 s.\n\n"
    "  --out FILE        .mp4 or .mkv (audio and video), .m4a or .mka (audio alone); an\n"
    "                    existing FILE is not replaced\n"
    "  --from T, --to T  the range (epoch seconds, or hexadecimal with 0x); by default from the\n"
    "                    session's first audio or video to its last\n"
    "  --fps N           pictures a second, 1 to 120\n"
    "  --audio-only      the audio alone (also when the session has no video)\n\n"
    "ROOTS are archive paths separated by ';'. Progress goes to stderr, the file written to\n"
    "stdout. Nothing is left behind when the export fails or is interrupted.\n";

std::atomic<bool> exportInterrupted{false};

void onExportSignal(int) {
    exportInterrupted = true;
}

int usageError(const std::string& message) {
    std::fprintf(stderr, "korvalis export: %s\n%s", message.c_str(), kUsage);
    return kExitUsage;
}

int failure(const std::string& message) {
    std::fprintf(stderr, "korvalis export: %s\n", message.c_str());
    return kExitFailure;
}

// Reads the command line into `request` and the day; an empty answer means it was complete.
std::string readRequest(const std::vector<std::string>& arguments, std::string& roots,
                        MediaExportRequest& request) {
    CommandLine line(arguments, {"out", "from", "to", "fps"}, {"audio-only", "mjpeg"});
    if (!line.isValid()) {
        return line.error();
    }
    const std::string positional = SessionLookup::readSessionArguments(
        line, roots, request.location, request.year, request.month, request.day);
    if (!positional.empty()) {
        return positional;
    }
    if (!line.hasOption("out") || line.value("out")->empty()) {
        return "--out FILE is required";
    }
    request.outputPath = *line.value("out");
    for (const char* option : {"from", "to"}) {
        if (!line.hasOption(option)) {
            continue;
        }
        double seconds = 0.0;
        if (!CommandLine::parseEpochSeconds(*line.value(option), seconds)) {
            return std::string("--") + option + " '" + *line.value(option) + "' is not a time";
        }
        (std::string(option) == "from" ? request.from : request.to) = seconds;
    }
    if (request.from && request.to && *request.to <= *request.from) {
        return "--to must be later than --from";
    }
    if (line.hasOption("fps")) {
        long fps = 0;
        if (!CommandLine::parseLong(*line.value("fps"), fps) || fps < 1 || fps > 120) {
            return "--fps '" + *line.value("fps") + "' is not a number of pictures from 1 to 120";
        }
        request.framesPerSecond = static_cast<int>(fps);
    }
    request.includeVideo = !line.hasFlag("audio-only");
    request.preferMjpeg = line.hasFlag("mjpeg");
    request.replaceExisting = false;
    return std::string();
}

int runExport(const std::vector<std::string>& arguments) {
    std::string roots;
    MediaExportRequest request;
    const std::string problem = readRequest(arguments, roots, request);
    if (!problem.empty()) {
        return usageError(problem);
    }
    const std::string asked = request.location;
    if (!SessionLookup::findSession(roots, request.location, request.year, request.month,
                                    request.day, request.recordingsPath)) {
        return failure(
            SessionLookup::noSessionText(asked, request.year, request.month, request.day, roots));
    }

    exportInterrupted = false;
    std::signal(SIGINT, onExportSignal);
    std::signal(SIGTERM, onExportSignal);
    ExportProgressLine line(stderr, ::isatty(STDERR_FILENO) == 1);
    SessionMediaExporter exporter(request);
    double reached = 0.0;
    double total = 0.0;
    const bool exported = exporter.run([&](double exportedSeconds, double totalSeconds) {
        reached = exportedSeconds;
        total = totalSeconds;
        line.update(exportedSeconds, totalSeconds);
        return !exportInterrupted.load();
    });
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    if (total > 0.0) {
        line.finish(reached, total);
    }
    for (const std::string& warning : exporter.warnings()) {
        std::fprintf(stderr, "korvalis export: warning: %s\n",
                     TerminalText::escaped(warning).c_str());
    }
    if (!exported) {
        return failure(TerminalText::escaped(exporter.errorText()));
    }
    std::printf("%s\n", exporter.outputPath().c_str());
    return kExitSuccess;
}

const KorvalisCommandRegistration exportRegistration({
    "export",
    "export a session as an MP4 or Matroska file (mixed audio, video)",
    kUsage,
    runExport,
});

}  // namespace
