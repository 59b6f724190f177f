// KOMediaExporter: exports the session that "ExporterSettings.xml" names as one standard media
// file (the mixed audio as AAC, the video as H.264 or Motion JPEG, in MP4 or Matroska).
//
//   KOMediaExporter [SETTINGS]
//
// SETTINGS is the settings file, or a directory holding "ExporterSettings.xml"; without it the
// file in the working directory is read. Exit status 0 when the file was written, 1 with a
// message on stderr when not (nothing is left behind then).

#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "ExportProgressLine.h"
#include "ExporterSettings.h"
#include "SessionMediaExporter.h"
#include "TerminalText.h"

namespace {

constexpr const char* kUsage =
    "Usage: KOMediaExporter [SETTINGS]\n\n"
    "Exports the session named by the settings file SETTINGS (default ./ExporterSettings.xml, or\n"
    "DIR/ExporterSettings.xml for a directory) as an MP4 or Matroska file: every audio channel\n"
    "mixed as the player mixes them, and the video at \"framesPerSecond\" pictures a second.\n"
    "Without \"outputPath\" the file is LOCATION_YYYY-MM-DD.mp4 (.m4a for audio alone) beside\n"
    "the settings file.\n";

std::atomic<bool> interrupted{false};

void onSignal(int) {
    interrupted = true;
}

int failure(const std::string& message) {
    std::fprintf(stderr, "KOMediaExporter: %s\n", message.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 2) {
        std::fprintf(stderr, "KOMediaExporter: expected at most one argument\n%s", kUsage);
        return 1;
    }
    std::string settingsPath = ExporterSettings::kFileName;
    if (argc == 2) {
        if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        settingsPath = argv[1];
        std::error_code code;
        if (std::filesystem::is_directory(settingsPath, code)) {
            settingsPath =
                (std::filesystem::path(settingsPath) / ExporterSettings::kFileName).string();
        }
    }

    ExporterSettings settings;
    if (!settings.readFromFile(settingsPath)) {
        return failure(settings.errorText());
    }
    MediaExportRequest request;
    if (!settings.findSession(request.recordingsPath, request.location)) {
        return failure(settings.errorText());
    }
    request.year = settings.year();
    request.month = settings.month();
    request.day = settings.day();
    request.includeVideo = settings.includeVideo();
    request.framesPerSecond = settings.framesPerSecond();
    request.defaultOutputDirectory = settings.settingsDirectory();
    if (!settings.outputPath().empty()) {
        const std::filesystem::path output(settings.outputPath());
        request.outputPath =
            output.is_absolute()
                ? output.string()
                : (std::filesystem::path(settings.settingsDirectory()) / output).string();
    }

    // An interrupted export removes its unfinished file.
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGHUP, onSignal);

    ExportProgressLine line(stderr, ::isatty(STDERR_FILENO) == 1);
    SessionMediaExporter exporter(request);
    double reached = 0.0;
    double total = 0.0;
    const bool exported = exporter.run([&](double exportedSeconds, double totalSeconds) {
        reached = exportedSeconds;
        total = totalSeconds;
        line.update(exportedSeconds, totalSeconds);
        return !interrupted.load();
    });
    if (total > 0.0) {
        line.finish(reached, total);
    }
    for (const std::string& warning : exporter.warnings()) {
        std::fprintf(stderr, "KOMediaExporter: warning: %s\n",
                     TerminalText::escaped(warning).c_str());
    }
    if (!exported) {
        return failure(exporter.errorText());
    }
    std::printf("exported %s\n", exporter.outputPath().c_str());
    return 0;
}
