// korvalis session: the media set of one session as playback builds it — channels, play time,
// the time ranges of each channel and the video files.

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "AudioDecoder.h"
#include "AudioDecoderGroup.h"
#include "CommandLine.h"
#include "CompressedAudioFile.h"
#include "CompressedVideoFile.h"
#include "KorvalisCommand.h"
#include "KorvalisSession.h"
#include "SessionLookup.h"
#include "VideoDecoder.h"

namespace {

constexpr const char* kUsage =
    "Usage: korvalis session ROOTS LOCATION YYYYMMDD [--files]\n\n"
    "Builds the media set of one session as playback does and prints, in this order:\n"
    "  recordings: PATH                 the Recordings directory of the archive holding it\n"
    "  channels: N\n"
    "  play-time: SECONDS               the decoder group's total play time\n"
    "  range C START END plain|sealed   per channel C, its files' time ranges (gaps up to\n"
    "                                   5 s joined)\n"
    "  video-files: N\n"
    "  video: START END | video: none\n"
    "and with --files one line per file: 'file C|video PATH START END'. Times are epoch\n"
    "seconds. ROOTS are archive paths separated by ';'. Media files that cannot be read are\n"
    "left out with a warning on stderr.\n";

int usageError(const std::string& message) {
    std::fprintf(stderr, "korvalis session: %s\n%s", message.c_str(), kUsage);
    return kExitUsage;
}

int run(const std::vector<std::string>& arguments) {
    CommandLine line(arguments, {}, {"files"});
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
    std::string recordingsPath;
    const std::string asked = location;
    if (!SessionLookup::findSession(roots, location, year, month, day, recordingsPath)) {
        std::fprintf(stderr, "korvalis session: %s\n",
                     SessionLookup::noSessionText(asked, year, month, day, roots).c_str());
        return kExitFailure;
    }

    KorvalisSession session(recordingsPath, location, static_cast<uint32_t>(year),
                            static_cast<uint32_t>(month), static_cast<uint32_t>(day));
    std::unique_ptr<AudioDecoderGroup> group;
    std::unique_ptr<VideoDecoder> video;
    SessionLookup::buildMediaSet(session, group, video, "session");

    const unsigned channels = group->numberOfDecodersIs();
    std::printf("recordings: %s\n", recordingsPath.c_str());
    std::printf("channels: %u\n", channels);
    std::printf("play-time: %.3f\n", group->totalPlayTimeIs());
    for (unsigned channel = 0; channel < channels; ++channel) {
        std::vector<TimeRange> ranges;
        group->listTimeRangesForChannel(channel, ranges);
        for (const TimeRange& range : ranges) {
            std::printf("range %u %.3f %.3f %s\n", channel, range.start, range.end,
                        range.sealed ? "sealed" : "plain");
        }
    }
    const std::vector<CompressedVideoFile*> videoFiles = video->filesInDecodeListIs();
    std::printf("video-files: %zu\n", videoFiles.size());
    if (videoFiles.empty()) {
        std::printf("video: none\n");
    } else {
        double start = videoFiles.front()->getStartTime();
        double end = videoFiles.front()->getEndTime();
        for (CompressedVideoFile* file : videoFiles) {
            start = std::min(start, file->getStartTime());
            end = std::max(end, file->getEndTime());
        }
        std::printf("video: %.3f %.3f\n", start, end);
    }
    if (line.hasFlag("files")) {
        for (unsigned channel = 0; channel < channels; ++channel) {
            for (CompressedAudioFile* file :
                 group->decoderForChannel(channel)->filesInDecodeListIs()) {
                std::printf("file %u %s %.3f %.3f\n", channel, file->fileName().c_str(),
                            file->getStartTime(), file->getEndTime());
            }
        }
        for (CompressedVideoFile* file : videoFiles) {
            std::printf("file video %s %.3f %.3f\n", file->getFileName().c_str(),
                        file->getStartTime(), file->getEndTime());
        }
    }
    return kExitSuccess;
}

const KorvalisCommandRegistration registration({
    "session",
    "show a session's media set: channels, play time, time ranges and video files",
    kUsage,
    run,
});

}  // namespace
