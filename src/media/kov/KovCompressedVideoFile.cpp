#include "KovCompressedVideoFile.h"

#include <cstdio>

#include "AvDebugLogger.h"
#include "TemporaryFile.h"
#include "UserNotification.h"

namespace {

// The split modes of the navigator that each two-point mode asks of the temporary file's split.
int modeForTemporaryFile(int mode) {
    switch (mode) {
        case CompressedVideoFile::kSplitAllParts:
            return KovNavigatorAndFormatter::kSplitBothParts;
        case CompressedVideoFile::kSplitMiddlePartOnly:
            return KovNavigatorAndFormatter::kSplitFirstPartOnly;
        case CompressedVideoFile::kSplitLastPartOnly:
            return KovNavigatorAndFormatter::kSplitSecondPartOnly;
        default:
            return -1;  // writes nothing
    }
}

}  // namespace

KovCompressedVideoFile::KovCompressedVideoFile(const std::string& path)
    : CompressedVideoFile(path),
      compressor_(70, 2, JpegImageCompressor::kFlagBgr),
      codec_(&compressor_),
      segment_(&navigator_, &codec_) {
    navigator_.setFileName(path, true);
}

KovCompressedVideoFile::~KovCompressedVideoFile() = default;

bool KovCompressedVideoFile::isValidFileName(const std::string&) {
    return false;
}

double KovCompressedVideoFile::getStartTime() {
    std::lock_guard guard(lock_);
    return navigator_.getFirstFrameEpochTime();
}

float KovCompressedVideoFile::getDuration() {
    std::lock_guard guard(lock_);
    return navigator_.getTotalDuration();
}

bool KovCompressedVideoFile::refreshFileInformation() {
    std::lock_guard guard(lock_);
    navigator_.refreshIfFileChanged(false);
    return true;
}

bool KovCompressedVideoFile::setPositionByTimeOffsetFromStart(float offsetSeconds,
                                                              float toleranceSeconds,
                                                              float& reachedOffset) {
    std::lock_guard guard(lock_);
    const bool result = segment_.setPositionByTimeOffsetFromStart(offsetSeconds, toleranceSeconds);
    reachedOffset = navigator_.getCurrentTimeOffsetFromStart();
    return result;
}

bool KovCompressedVideoFile::setPositionByTimeOffsetFromCurrent(float offsetSeconds,
                                                                float toleranceSeconds,
                                                                float& reachedOffset) {
    std::lock_guard guard(lock_);
    const bool result =
        segment_.setPositionByTimeOffsetFromCurrent(offsetSeconds, toleranceSeconds);
    reachedOffset = navigator_.getCurrentTimeOffsetFromStart();
    return result;
}

bool KovCompressedVideoFile::setPositionByEpochTime(double epochTime, float toleranceSeconds,
                                                    double& reachedEpochTime) {
    std::lock_guard guard(lock_);
    const bool result = segment_.setPositionByEpochTime(epochTime, toleranceSeconds);
    reachedEpochTime = navigator_.getCurrentFrameEpochTime();
    return result;
}

double KovCompressedVideoFile::getCurrentEpochTime() {
    std::lock_guard guard(lock_);
    return navigator_.getCurrentFrameEpochTime();
}

float KovCompressedVideoFile::getCurrentTimeOffset() {
    std::lock_guard guard(lock_);
    return navigator_.getCurrentTimeOffsetFromStart();
}

bool KovCompressedVideoFile::getNextFrame(std::unique_ptr<VideoSegmentFrame>& frame,
                                          bool* endOfFile, bool compressed) {
    std::lock_guard guard(lock_);
    return compressed ? segment_.getNextCompressedFrame(frame, endOfFile)
                      : segment_.getNextUncompressedFrame(frame, endOfFile);
}

void KovCompressedVideoFile::dumpTimingDataAsCsv(std::ostream& output) {
    std::lock_guard guard(lock_);
    float reached = 0;
    setPositionByTimeOffsetFromStart(0.0f, 1.0f, reached);
    const double counterFrequency =
        static_cast<double>(navigator_.fileHeaderIs().getHighResolutionCounterFrequency());
    std::unique_ptr<VideoSegmentFrame> previous;
    for (;;) {
        std::unique_ptr<VideoSegmentFrame> frame;
        if (!getNextFrame(frame, nullptr, true) || !frame) {
            break;
        }
        const uint64_t stamp = frame->getHighResolutionTimeStamp();
        const double time = frame->getEpochTime();
        char line[200];
        std::snprintf(line, sizeof line, "%0.4f, %0.4f, ",
                      static_cast<double>(stamp) / counterFrequency, time);
        output << line << stamp << "," << frame->getImage()->getDataLength() << "\n";
        if (previous) {
            const double priorTime = previous->getEpochTime();
            if (time == priorTime) {
                AvDebugLogger::instance().log(
                    AvDebugLogger::kWarning,
                    "KovCompressedVideoFile::dumpTimingDataAsCsv(): Duplicate time stamp "
                    "located. prior=%0.4f, current=%0.4f",
                    priorTime, time);
            } else if (time < priorTime) {
                AvDebugLogger::instance().log(
                    AvDebugLogger::kWarning,
                    "KovCompressedVideoFile::dumpTimingDataAsCsv(): Backward time stamp jump "
                    "located. prior=%0.4f, current=%0.4f",
                    priorTime, time);
                UserNotification::notify("KOV File Time Error",
                                         "Error! Backward time stamp jump located!");
            }
        }
        previous = std::move(frame);
    }
}

bool KovCompressedVideoFile::partPaths(const std::string& outputDirectory,
                                       std::initializer_list<double> splitTimes,
                                       std::vector<std::string>& paths) {
    MediaFileName name;
    if (!MediaFileName::parse(getFileName(), name)) {
        errorText_ = "The file name \"" + MediaFileName::fileNameOf(getFileName()) +
                     "\" does not carry a start time, so the parts cannot be named.";
        return false;
    }
    paths = {name.pathIn(outputDirectory, kExtension)};
    for (double splitTime : splitTimes) {
        paths.push_back(name.withStartTime(splitTime).pathIn(outputDirectory, kExtension));
    }
    return true;
}

std::unique_ptr<CompressedVideoFile> KovCompressedVideoFile::openPart(bool written,
                                                                      const std::string& path) {
    return written ? std::make_unique<KovCompressedVideoFile>(path) : nullptr;
}

bool KovCompressedVideoFile::copyAndSplitAtEpochTimeToPaths(
    double splitTime, const std::string& firstPartPath, const std::string& secondPartPath,
    float toleranceSeconds, KovWriteCallback callback, void* callbackContext, int mode) {
    std::lock_guard guard(lock_);
    errorText_.clear();
    return navigator_.splitAtEpochTime(splitTime, firstPartPath, secondPartPath, toleranceSeconds,
                                       callback, callbackContext, mode);
}

bool KovCompressedVideoFile::copyAndSplitAtEpochTime(
    double splitTime, const std::string& outputDirectory,
    std::unique_ptr<CompressedVideoFile>& firstPart,
    std::unique_ptr<CompressedVideoFile>& secondPart, float toleranceSeconds,
    KovWriteCallback callback, void* callbackContext, int mode) {
    std::lock_guard guard(lock_);
    errorText_.clear();
    std::vector<std::string> paths;
    if (!partPaths(outputDirectory, {splitTime}, paths) ||
        !copyAndSplitAtEpochTimeToPaths(splitTime, paths[0], paths[1], toleranceSeconds, callback,
                                        callbackContext, mode)) {
        return false;
    }
    firstPart = openPart(mode == kSplitAllParts || mode == kSplitFirstPartOnly, paths[0]);
    secondPart = openPart(mode == kSplitAllParts || mode == kSplitLastPartOnly, paths[1]);
    return true;
}

bool KovCompressedVideoFile::copyAndSplitAtEpochTime(
    double firstSplitTime, double secondSplitTime, const std::string& outputDirectory,
    std::unique_ptr<CompressedVideoFile>& firstPart,
    std::unique_ptr<CompressedVideoFile>& secondPart,
    std::unique_ptr<CompressedVideoFile>& thirdPart, float toleranceSeconds,
    KovWriteCallback callback, void* callbackContext, int mode) {
    std::lock_guard guard(lock_);
    errorText_.clear();
    std::vector<std::string> paths;
    if (!partPaths(outputDirectory, {firstSplitTime, secondSplitTime}, paths)) {
        return false;
    }
    const std::string& firstPath = paths[0];
    const std::string& secondPath = paths[1];
    const std::string& thirdPath = paths[2];

    // Everything from the first split time on goes to a temporary file, which is split again.
    TemporaryFile temporary(kTemporaryFilePrefix);
    if (!temporary.isValid()) {
        errorText_ = "Could not create a temporary file for the split: " + temporary.error();
        return false;
    }
    temporary.close();
    bool result = navigator_.splitAtEpochTime(firstSplitTime, firstPath, temporary.path(),
                                              toleranceSeconds, nullptr, nullptr,
                                              KovNavigatorAndFormatter::kSplitSecondPartOnly);
    if (result && (mode == kSplitAllParts || mode == kSplitFirstPartOnly)) {
        result = navigator_.splitAtEpochTime(firstSplitTime, firstPath, secondPath,
                                             toleranceSeconds, callback, callbackContext,
                                             KovNavigatorAndFormatter::kSplitFirstPartOnly);
    }
    if (result && mode != kSplitFirstPartOnly) {
        KovCompressedVideoFile rest(temporary.path());
        result = rest.copyAndSplitAtEpochTimeToPaths(secondSplitTime, secondPath, thirdPath,
                                                     toleranceSeconds, callback, callbackContext,
                                                     modeForTemporaryFile(mode));
        if (!result) {
            errorText_ = rest.getErrorText();
        }
    }
    temporary.remove();
    if (!result) {
        return false;
    }
    firstPart = openPart(mode == kSplitAllParts || mode == kSplitFirstPartOnly, firstPath);
    secondPart = openPart(mode == kSplitAllParts || mode == kSplitMiddlePartOnly, secondPath);
    thirdPart = openPart(mode == kSplitAllParts || mode == kSplitLastPartOnly, thirdPath);
    return true;
}

std::string KovCompressedVideoFile::getErrorText() {
    std::lock_guard guard(lock_);
    return errorText_.empty() ? navigator_.getErrorText() : errorText_;
}

bool KovCompressedVideoFile::close() {
    std::lock_guard guard(lock_);
    navigator_.closeFile();
    return true;
}

bool KovCompressedVideoFile::isAvailable() {
    return true;
}

bool KovCompressedVideoFile::isValid() {
    std::lock_guard guard(lock_);
    return navigator_.fileHeaderIs().isValid() && navigator_.firstFrameHeaderIs().isValid() &&
           navigator_.finalFrameHeaderIs().isValid();
}
