#include "KovCompressedVideoFile.h"

#include <cstdio>

#include "AvDebugLogger.h"
#include "UserNotification.h"

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
                                       const std::vector<double>& splitTimes,
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
    std::unique_ptr<CompressedVideoFile>* outputs[] = {&firstPart, &secondPart};
    return split({splitTime}, outputDirectory, outputs,
                 {mode == kSplitAllParts || mode == kSplitFirstPartOnly,
                  mode == kSplitAllParts || mode == kSplitLastPartOnly},
                 toleranceSeconds, callback, callbackContext);
}

bool KovCompressedVideoFile::copyAndSplitAtEpochTime(
    double firstSplitTime, double secondSplitTime, const std::string& outputDirectory,
    std::unique_ptr<CompressedVideoFile>& firstPart,
    std::unique_ptr<CompressedVideoFile>& secondPart,
    std::unique_ptr<CompressedVideoFile>& thirdPart, float toleranceSeconds,
    KovWriteCallback callback, void* callbackContext, int mode) {
    std::lock_guard guard(lock_);
    std::unique_ptr<CompressedVideoFile>* outputs[] = {&firstPart, &secondPart, &thirdPart};
    return split({firstSplitTime, secondSplitTime}, outputDirectory, outputs,
                 {mode == kSplitAllParts || mode == kSplitFirstPartOnly,
                  mode == kSplitAllParts || mode == kSplitMiddlePartOnly,
                  mode == kSplitAllParts || mode == kSplitLastPartOnly},
                 toleranceSeconds, callback, callbackContext);
}

bool KovCompressedVideoFile::split(const std::vector<double>& splitTimes,
                                   const std::string& outputDirectory,
                                   std::span<std::unique_ptr<CompressedVideoFile>* const> outputs,
                                   std::initializer_list<bool> wanted, float toleranceSeconds,
                                   KovWriteCallback callback, void* callbackContext) {
    errorText_.clear();
    std::vector<std::string> paths;
    std::vector<KovNavigatorAndFormatter::SplitPart> parts(outputs.size());
    if (!partPaths(outputDirectory, splitTimes, paths)) {
        return false;
    }
    auto want = wanted.begin();
    for (size_t i = 0; i < parts.size(); ++i) {
        parts[i].path = paths[i];
        parts[i].wanted = *want++;
    }
    // One pass over the file writes every part: each frame goes to exactly one of them.
    if (!navigator_.splitAtEpochTimes(splitTimes, parts, toleranceSeconds, callback,
                                      callbackContext)) {
        return false;
    }
    for (size_t i = 0; i < parts.size(); ++i) {
        *outputs[i] = openPart(parts[i].written, parts[i].path);
    }
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

uint64_t KovCompressedVideoFile::bytesAfterFinalFrameIs() {
    std::lock_guard guard(lock_);
    return navigator_.bytesAfterFinalFrameIs();
}

bool KovCompressedVideoFile::isValid() {
    std::lock_guard guard(lock_);
    return navigator_.fileHeaderIs().isValid() && navigator_.firstFrameHeaderIs().isValid() &&
           navigator_.finalFrameHeaderIs().isValid();
}
