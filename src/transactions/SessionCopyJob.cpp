#include "SessionCopyJob.h"

#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "AudioDecoder.h"
#include "AudioDecoderGroup.h"
#include "CompressedAudioFile.h"
#include "CompressedVideoFile.h"
#include "FileSystem.h"
#include "JexAnnotation.h"
#include "JexSession.h"
#include "ProcessEnvironment.h"
#include "TemporaryDirectory.h"
#include "VideoDecoder.h"
#include "WallClockTime.h"

extern char** environ;

namespace {

// The instant with the machine's offset from UTC in force then, as the player shows times (the
// record keeps whole UTC seconds only).
WallClockTime localTimeOf(double epochSeconds) {
    WallClockTime time(epochSeconds, 0);
    time.setTzOffsetSeconds(
        WallClockTime::localOffsetFromUtcSecondsAt(static_cast<uint32_t>(epochSeconds)));
    return time;
}

}  // namespace

SessionCopyJob::SessionCopyJob(FileSystem& fileSystem, std::string locationName,
                               SessionRangeCopier::Date sessionDate,
                               AudioDecoderGroup* audioDecoderGroup, VideoDecoder* videoDecoder,
                               const JexSession* sourceRecord, std::mutex* sessionMutex)
    : fileSystem_(fileSystem),
      locationName_(std::move(locationName)),
      date_(sessionDate),
      audioDecoderGroup_(audioDecoderGroup),
      videoDecoder_(videoDecoder),
      sourceRecord_(sourceRecord),
      sessionMutex_(sessionMutex),
      mixDownTool_(ProcessEnvironment::executableDirectory() + "/" + kMixDownToolName),
      runToolWith_(&SessionCopyJob::spawnAndWait) {}

SessionCopyJob::~SessionCopyJob() = default;

void SessionCopyJob::setProgressCallback(SessionRangeCopier::ProgressCallback callback) {
    progress_ = std::move(callback);
}

void SessionCopyJob::setMessageCallback(SessionRangeCopier::MessageCallback callback) {
    message_ = std::move(callback);
}

void SessionCopyJob::message(const std::string& text) {
    if (message_) {
        message_(text);
    }
}

void SessionCopyJob::progress(const char* text, int current, int total) {
    if (progress_) {
        progress_(text, current, total);
    }
}

std::string SessionCopyJob::recordFileName() const {
    char text[32];
    std::snprintf(text, sizeof text, "~%04d%02d%02d.xml", date_.year, date_.month, date_.day);
    return locationName_ + text;
}

bool SessionCopyJob::segmentHoldsMedia(const Segment& segment, bool audioOnly) {
    if (videoDecoder_ != nullptr && !audioOnly) {
        std::vector<CompressedVideoFile*> files;
        videoDecoder_->getAllFilesInTimeRange(segment.start, segment.end, files, false);
        if (std::any_of(files.begin(), files.end(),
                        [](CompressedVideoFile* file) { return file->isAvailable(); })) {
            return true;
        }
    }
    const unsigned channels =
        audioDecoderGroup_ != nullptr ? audioDecoderGroup_->numberOfDecodersIs() : 0;
    for (unsigned channel = 0; channel < channels; ++channel) {
        AudioDecoder* decoder = audioDecoderGroup_->decoderForChannel(channel);
        if (decoder == nullptr) {
            continue;
        }
        std::vector<CompressedAudioFile*> files;
        decoder->getAllFilesInTimeRange(segment.start, segment.end, files, false);
        if (std::any_of(files.begin(), files.end(),
                        [](CompressedAudioFile* file) { return file->isAvailable(); })) {
            return true;
        }
    }
    return false;
}

std::string SessionCopyJob::checkSegments(const std::vector<Segment>& segments, bool audioOnly) {
    if (segments.empty()) {
        return "A time segment must be added before media content can be copied";
    }
    for (size_t i = 0; i < segments.size(); ++i) {
        const Segment& segment = segments[i];
        if (segment.start == segment.end) {
            return "Start time cannot match end time!";
        }
        if (segment.start > segment.end) {
            return "Start time cannot be after end time!";
        }
        for (size_t j = 0; j < i; ++j) {
            if (segment.start < segments[j].end && segments[j].start < segment.end) {
                return "Invalid time segment selected. Time segments cannot overlap!";
            }
        }
        if (!segmentHoldsMedia(segment, audioOnly)) {
            return "Invalid time segment selected. The session holds no media in it.";
        }
    }
    return "";
}

bool SessionCopyJob::run(const std::vector<Segment>& segments, const std::string& targetDirectory,
                         const Options& options) {
    const std::string problem = checkSegments(segments, options.audioOnly);
    if (!problem.empty()) {
        message("Error!  " + problem);
        return false;
    }
    if (fileSystem_.exists(targetDirectory)) {
        message("Error!  The target directory already exists: " + targetDirectory);
        return false;
    }
    if (!fileSystem_.createDirectory(targetDirectory)) {
        message("Error!  Could not create directory. " + fileSystem_.error());
        return false;
    }

    std::unique_ptr<TemporaryDirectory> temporary;
    if (options.mixDown) {
        temporary = std::make_unique<TemporaryDirectory>("korvalis-copy-", temporaryParent_);
        if (!temporary->isValid()) {
            message("Error!  Could not create directory. " + temporary->error());
            return false;
        }
        // Removed through the file system after the mix-down.
        temporary->keep();
    }
    const std::string copyRoot = options.mixDown ? temporary->path() : targetDirectory;

    SessionRangeCopier copier(fileSystem_, audioDecoderGroup_,
                              options.audioOnly ? nullptr : videoDecoder_, date_, sessionMutex_);
    copier.setProgressCallback(progress_);
    copier.setMessageCallback(message_);
    bool result = true;
    for (const Segment& segment : segments) {
        if (!copier.copy(segment.start, segment.end, copyRoot, nullptr, nullptr)) {
            result = false;
            break;
        }
    }

    if (result && options.mixDown) {
        result = mixDown(copyRoot, targetDirectory);
    }
    if (temporary && !fileSystem_.removeRecursively(copyRoot)) {
        message("Error!  " + fileSystem_.error());
    }
    if (result) {
        result = buildAndWriteRecord(segments, targetDirectory, !options.excludeAnnotations);
    }
    if (result) {
        message("Copy Complete");
        progress("Copy Complete", -1, -1);
    } else {
        message("Copy FAILED!");
    }
    return result;
}

bool SessionCopyJob::mixDown(const std::string& temporaryCopy, const std::string& targetDirectory) {
    message("Mixing ...");
    progress("Mixing down to a single audio file ...", -1, -1);
    char day[16];
    std::snprintf(day, sizeof day, "%04d%02d%02d", date_.year, date_.month, date_.day);
    const int exitCode =
        runToolWith_(mixDownTool_, {temporaryCopy, locationName_, day, targetDirectory});
    message(exitCode == 0 ? "Mixing successful." : "Mixing FAILED!");
    return exitCode == 0;
}

bool SessionCopyJob::buildAndWriteRecord(const std::vector<Segment>& segments,
                                         const std::string& targetDirectory, bool withAnnotations) {
    JexSession record(locationName_, date_.year, date_.month, date_.day);
    std::vector<JexAnnotation> annotations;
    if (withAnnotations && sourceRecord_ != nullptr) {
        message("Copying annotations ...");
        progress("Copying Annotations", -1, -1);
        annotations = sourceRecord_->annotations();
    }
    for (const Segment& segment : segments) {
        record.addCopyMarkers(localTimeOf(segment.start), localTimeOf(segment.end));
        for (const JexAnnotation& annotation : annotations) {
            const WallClockTime* stamp = annotation.timeStamp();
            if (stamp == nullptr) {
                continue;
            }
            const double at = stamp->asUtcSeconds();
            if (at >= segment.start && at <= segment.end) {
                record.addAnnotation(annotation);
            }
        }
    }
    message("Writing annotations ...");
    progress("Writing annotations ...", -1, -1);
    record.setDatabasesDirectory(targetDirectory + "/Databases");
    std::string error;
    if (!record.save(&error)) {
        message("Error!  " + error);
        return false;
    }
    return true;
}

int SessionCopyJob::spawnAndWait(const std::string& program,
                                 const std::vector<std::string>& arguments) {
    std::vector<std::string> words{program};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    pid_t child = 0;
    if (posix_spawn(&child, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) {
        return -1;
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            return -1;
        }
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
