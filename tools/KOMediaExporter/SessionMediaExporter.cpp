#include "SessionMediaExporter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "AtomicFileWriter.h"
#include "AudioDecoderGroup.h"
#include "CompressedVideoFile.h"
#include "FfmpegMediaWriter.h"
#include "KorvalisSession.h"
#include "MixedAudioTimeline.h"
#include "TimeRange.h"
#include "VideoDecoder.h"
#include "VideoFrameTimeline.h"

namespace {

// The decoders read as the player's do.
constexpr float kChunkDurationSeconds = 0.144f;

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    });
    return text;
}

// The muxer for an output name and whether it carries audio alone; false for other names.
bool containerForPath(const std::string& path, std::string& container, bool& audioOnly) {
    const std::string extension = lowerCase(std::filesystem::path(path).extension().string());
    audioOnly = extension == ".m4a" || extension == ".mka";
    if (extension == ".mp4" || extension == ".m4a") {
        container = "mp4";
        return true;
    }
    if (extension == ".mkv" || extension == ".mka") {
        container = "matroska";
        return true;
    }
    return false;
}

std::string epochText(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", seconds);
    return text;
}

}  // namespace

SessionMediaExporter::SessionMediaExporter(MediaExportRequest request)
    : request_(std::move(request)) {}

bool SessionMediaExporter::fail(const std::string& text) {
    errorText_ = text;
    return false;
}

std::string SessionMediaExporter::defaultOutputName(const std::string& location, int year,
                                                    int month, int day, bool audioOnly) {
    char date[32];
    std::snprintf(date, sizeof date, "_%04d-%02d-%02d", year, month, day);
    return location + date + (audioOnly ? ".m4a" : ".mp4");
}

bool SessionMediaExporter::run(const Progress& progress) {
    std::lock_guard guard(mutex_);
    errorText_.clear();
    warnings_.clear();
    exportedAudio_ = false;
    exportedVideo_ = false;
    videoCodecName_.clear();
    const MediaExportRequest& request = request_;
    if (request.framesPerSecond < 1 || request.framesPerSecond > 120) {
        return fail("a frame rate of " + std::to_string(request.framesPerSecond) +
                    " per second cannot be exported; give 1 to 120");
    }
    if (request.from && request.to && *request.to <= *request.from) {
        return fail("the range to export ends before it starts");
    }
    std::string container;
    bool pathAudioOnly = false;
    if (!request.outputPath.empty() &&
        !containerForPath(request.outputPath, container, pathAudioOnly)) {
        return fail("cannot tell the kind of file to write from \"" + request.outputPath +
                    "\"; give a name ending in .mp4, .mkv, .m4a or .mka");
    }

    KorvalisSession session(
        request.recordingsPath, request.location, static_cast<uint32_t>(request.year),
        static_cast<uint32_t>(request.month), static_cast<uint32_t>(request.day));
    session.enumerateMediaFiles();
    std::unique_ptr<AudioDecoderGroup> group;
    std::unique_ptr<VideoDecoder> video;
    session.createAudioDecoderGroupForSession(group, kChunkDurationSeconds);
    session.createVideDecoderForSession(video);
    for (const std::string& skipped : session.takeSkippedFiles()) {
        warnings_.push_back("skipped " + skipped);
    }
    for (const std::string& damaged : session.takeDamagedFiles()) {
        warnings_.push_back("damaged " + damaged);
    }

    // What the session holds, and when.
    std::vector<TimeRange> audioRanges;
    for (unsigned channel = 0; channel < group->numberOfDecodersIs(); ++channel) {
        group->listTimeRangesForChannel(channel, audioRanges);
    }
    const bool sessionHasAudio = !audioRanges.empty();
    double audioStart = 0.0;
    double audioEnd = 0.0;
    if (sessionHasAudio) {
        audioStart = audioRanges.front().start;
        audioEnd = audioRanges.front().end;
        for (const TimeRange& range : audioRanges) {
            audioStart = std::min(audioStart, range.start);
            audioEnd = std::max(audioEnd, range.end);
        }
    }
    if (!video) {
        video = std::make_unique<VideoDecoder>();  // a session without a video decoder has none
    }
    bool wantVideo = request.includeVideo && !pathAudioOnly && video->numberOfFilesIs() > 0;
    double videoStart = 0.0;
    double videoEnd = 0.0;
    if (wantVideo) {
        const std::vector<CompressedVideoFile*> files = video->filesInDecodeListIs();
        videoStart = files.front()->getStartTime();
        videoEnd = files.front()->getEndTime();
        for (CompressedVideoFile* file : files) {
            videoStart = std::min(videoStart, file->getStartTime());
            videoEnd = std::max(videoEnd, file->getEndTime());
        }
    }
    if (!sessionHasAudio && !wantVideo) {
        return fail(request.includeVideo && !pathAudioOnly ? "the session has no audio or video"
                                                           : "the session has no audio");
    }

    // The range: as asked, or from the first to the last media of what is exported.
    double from = 0.0;
    double to = 0.0;
    if (sessionHasAudio && wantVideo) {
        from = std::min(audioStart, videoStart);
        to = std::max(audioEnd, videoEnd);
    } else if (sessionHasAudio) {
        from = audioStart;
        to = audioEnd;
    } else {
        from = videoStart;
        to = videoEnd;
    }
    from = request.from.value_or(from);
    to = request.to.value_or(to);
    rangeStart_ = from;
    rangeEnd_ = to;
    if (!(to > from)) {
        return fail("the range to export (" + epochText(from) + " to " + epochText(to) +
                    ") is empty");
    }
    if (to - from > kLongestRangeSeconds) {
        return fail("the range to export is longer than two days; export it in parts");
    }
    const bool audioInRange =
        std::any_of(audioRanges.begin(), audioRanges.end(),
                    [&](const TimeRange& range) { return range.end > from && range.start < to; });

    VideoFrameTimeline pictures(*video, from, kVideoGapSeconds);
    if (wantVideo && !pictures.start(to)) {
        wantVideo = false;
        if (audioInRange) {
            warnings_.push_back("no video frame lies in the range; the file holds the audio alone");
        }
    }
    if (!audioInRange && !wantVideo) {
        return fail("the session has nothing recorded between " + epochText(from) + " and " +
                    epochText(to));
    }
    MixedAudioTimeline sound(*group, from);
    const bool withAudio = sessionHasAudio;
    if (withAudio) {
        sound.start();
    }

    outputPath_ = request.outputPath;
    if (outputPath_.empty()) {
        outputPath_ = (std::filesystem::path(request.defaultOutputDirectory) /
                       defaultOutputName(session.locationName(), request.year, request.month,
                                         request.day, !wantVideo))
                          .string();
        containerForPath(outputPath_, container, pathAudioOnly);
    }
    std::error_code code;
    if (!request.replaceExisting && std::filesystem::symlink_status(outputPath_, code).type() !=
                                        std::filesystem::file_type::not_found) {
        return fail("\"" + outputPath_ + "\" exists; give another name");
    }

    MediaWriterFormat format;
    format.hasAudio = withAudio;
    format.sampleRate = sound.sampleRateIs();
    format.hasVideo = wantVideo;
    format.framesPerSecond = request.framesPerSecond;
    format.preferMjpeg = request.preferMjpeg;
    if (wantVideo) {
        // Even sizes, as the encoders' 4:2:0 pictures need.
        format.width = std::max<uint32_t>(2, (pictures.firstWidthIs() + 1) & ~1u);
        format.height = std::max<uint32_t>(2, (pictures.firstHeightIs() + 1) & ~1u);
    }
    AtomicFileWriter file(outputPath_);
    file.setReplaceExisting(request.replaceExisting);
    if (!file.open()) {
        return fail("cannot write \"" + outputPath_ + "\": " + file.error());
    }
    FfmpegMediaWriter writer;
    if (!writer.open(file.temporaryPath(), container, format)) {
        return fail("cannot write \"" + outputPath_ + "\": " + writer.errorText());
    }

    // One second of output per step, audio then video, so the muxer interleaves closely.
    const double duration = to - from;
    const double rate = static_cast<double>(format.sampleRate);
    const double fps = static_cast<double>(format.framesPerSecond);
    const int64_t totalFrames = std::max<int64_t>(1, std::llround(duration * fps));
    int64_t samplesWritten = 0;
    int64_t framesWritten = 0;
    std::vector<int16_t> samples;
    const auto steps = static_cast<int64_t>(std::ceil(duration));
    for (int64_t step = 1; step <= steps; ++step) {
        const double reached = std::min(static_cast<double>(step), duration);
        if (withAudio) {
            const int64_t target = std::llround(reached * rate);
            samples.clear();
            sound.take(static_cast<size_t>(target - samplesWritten), samples);
            if (!writer.writeAudio(samples.data(), samples.size())) {
                return fail("cannot write \"" + outputPath_ + "\": " + writer.errorText());
            }
            samplesWritten = target;
        }
        if (wantVideo) {
            const int64_t target =
                step == steps ? totalFrames
                              : std::min<int64_t>(totalFrames, std::llround(reached * fps));
            for (; framesWritten < target; ++framesWritten) {
                bool same = false;
                const RgbImage* picture =
                    pictures.pictureAt(from + static_cast<double>(framesWritten) / fps, same);
                if (!writer.writeVideoFrame(picture, same)) {
                    return fail("cannot write \"" + outputPath_ + "\": " + writer.errorText());
                }
            }
        }
        if (progress && !progress(reached, duration)) {
            return fail("the export was interrupted; nothing was written");
        }
    }
    if (!writer.finish()) {
        return fail("cannot write \"" + outputPath_ + "\": " + writer.errorText());
    }
    if (!file.publish()) {
        if (file.targetExists()) {
            return fail("\"" + outputPath_ + "\" appeared while exporting; give another name");
        }
        return fail("cannot write \"" + outputPath_ + "\": " + file.error());
    }
    exportedAudio_ = withAudio;
    exportedVideo_ = wantVideo;
    videoCodecName_ = writer.videoCodecName();
    return true;
}
