// korvalis copy: time segments of one session copied into a new archive tree, with the copy's
// session record, as the copy dialog's worker does.

#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "AudioDecoderGroup.h"
#include "CommandLine.h"
#include "JexSession.h"
#include "KorvalisCommand.h"
#include "KorvalisSession.h"
#include "RealFileSystem.h"
#include "SessionCopyJob.h"
#include "SessionLookup.h"
#include "VideoDecoder.h"

namespace {

constexpr const char* kUsage =
    "Usage: korvalis copy ROOTS LOCATION YYYYMMDD --segment T1..T2 [--segment T1..T2 ...]\n"
    "                     --into DIR --name NAME [--exclude-annotations] [--audio-only]\n"
    "                     [--mix-down]\n\n"
    "Copies the media of the session in each segment (epoch seconds, decimal or 0x hex) into the\n"
    "new archive DIR/NAME: files are cut at the segment ends, sealed files are left out. The\n"
    "copy's record holds 'Copy Started' and 'Copy Stopped' markers for every segment and the\n"
    "session's annotations inside the segments (none with --exclude-annotations).\n"
    "--audio-only copies no video; --mix-down (with --audio-only) mixes every channel into one\n"
    "with the KorvalisSessionAudioMixDown tool beside this program. The messages of the copy go\n"
    "to stdout, its progress to stderr on a terminal. Exit status 0 only when the copy "
    "succeeded.\n";

int usageError(const std::string& message) {
    std::fprintf(stderr, "korvalis copy: %s\n%s", message.c_str(), kUsage);
    return kExitUsage;
}

bool parseSegment(const std::string& text, SessionCopyJob::Segment& segment) {
    const size_t separator = text.find("..");
    return separator != std::string::npos &&
           CommandLine::parseEpochSeconds(text.substr(0, separator), segment.start) &&
           CommandLine::parseEpochSeconds(text.substr(separator + 2), segment.end);
}

int run(const std::vector<std::string>& arguments) {
    CommandLine line(arguments, {"segment", "into", "name"},
                     {"exclude-annotations", "audio-only", "mix-down"});
    if (!line.isValid()) {
        return usageError(line.error());
    }
    std::string roots;
    std::string location;
    int year = 0, month = 0, day = 0;
    const std::string positional =
        SessionLookup::readSessionArguments(line, roots, location, year, month, day);
    if (!positional.empty()) {
        return usageError(positional);
    }
    std::vector<SessionCopyJob::Segment> segments;
    for (const std::string& text : line.values("segment")) {
        SessionCopyJob::Segment segment;
        if (!parseSegment(text, segment)) {
            return usageError("a segment is T1..T2 in epoch seconds, not '" + text + "'");
        }
        segments.push_back(segment);
    }
    const std::string into = line.value("into").value_or("");
    const std::string name = line.value("name").value_or("");
    if (segments.empty() || into.empty() || name.empty()) {
        return usageError("--segment, --into and --name are required");
    }
    if (name.find('/') != std::string::npos || name == "." || name == "..") {
        return usageError("the copy's name must not hold '/' or be '.' or '..'");
    }
    SessionCopyJob::Options options;
    options.excludeAnnotations = line.hasFlag("exclude-annotations");
    options.audioOnly = line.hasFlag("audio-only");
    options.mixDown = line.hasFlag("mix-down");
    if (options.mixDown && !options.audioOnly) {
        return usageError("--mix-down needs --audio-only");
    }

    std::string recordingsPath;
    const std::string asked = location;
    if (!SessionLookup::findSession(roots, location, year, month, day, recordingsPath)) {
        std::fprintf(stderr, "korvalis copy: %s\n",
                     SessionLookup::noSessionText(asked, year, month, day, roots).c_str());
        return kExitFailure;
    }
    KorvalisSession session(recordingsPath, location, static_cast<uint32_t>(year),
                            static_cast<uint32_t>(month), static_cast<uint32_t>(day));
    std::unique_ptr<AudioDecoderGroup> group;
    std::unique_ptr<VideoDecoder> video;
    SessionLookup::buildMediaSet(session, group, video, "copy");

    JexSession record(location, year, month, day);
    const std::string databases = KorvalisSession::directoryOfPath(recordingsPath) + "/Databases";
    const JexSession::RecordState state = record.load(databases);
    if (state == JexSession::RecordState::kUnreadable ||
        state == JexSession::RecordState::kMalformed) {
        std::fprintf(stderr, "korvalis copy: the session record cannot be read: %s\n",
                     record.lastError().c_str());
        return kExitFailure;
    }

    RealFileSystem fileSystem;
    SessionCopyJob job(fileSystem, location, {year, month, day}, group.get(), video.get(), &record);
    if (options.mixDown && access(job.mixDownTool().c_str(), X_OK) != 0) {
        std::fprintf(stderr, "korvalis copy: the mix-down tool %s is missing\n",
                     job.mixDownTool().c_str());
        return kExitFailure;
    }
    job.setMessageCallback([](const std::string& text) {
        std::printf("%s\n", text.c_str());
        std::fflush(stdout);
    });
    const bool terminal = isatty(STDERR_FILENO) != 0;
    job.setProgressCallback([terminal](const char* text, int current, int total) {
        if (!terminal) {
            return;
        }
        if (text != nullptr) {
            std::fprintf(stderr, "\r\033[K%s", text);
        } else if (total > 0) {
            const int width = 30;
            const int filled = current * width / total;
            std::fprintf(stderr, "\r\033[K[%s%s] %d/%d", std::string(filled, '#').c_str(),
                         std::string(width - filled, ' ').c_str(), current, total);
        }
        std::fflush(stderr);
    });
    const bool copied = job.run(segments, into + "/" + name, options);
    if (terminal) {
        std::fprintf(stderr, "\r\033[K");
    }
    return copied ? kExitSuccess : kExitFailure;
}

const KorvalisCommandRegistration registration({
    "copy",
    "copy time segments of a session into a new archive, with its annotations",
    kUsage,
    run,
});

}  // namespace
