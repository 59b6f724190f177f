#include "KovNavigatorAndFormatter.h"

#include <cerrno>
#include <cmath>
#include <filesystem>
#include <sstream>
#include <vector>

#include "AvDebugLogger.h"
#include "CompressedImage.h"
#include "PointerChecks.h"
#include "SystemError.h"
#include "VideoSegmentFrame.h"

namespace {

// Farthest a scan for a frame marker reaches (forwards from an estimate, backwards from the
// end): far beyond any one frame, so that a file without frames is not read end to end.
constexpr uint64_t kMaximumScanBytes = 16u << 20;
// Bytes a marker occupies; scan windows overlap by one less so no marker is missed.
constexpr uint32_t kMarkerLength = 4;

bool markerAt(const uint8_t* p) {
    return p[0] == 0x0B && p[1] == 0xAF && p[2] == 0xF1 && p[3] == 0xED;
}

double roundHalfAwayFromZero(double x) {
    return x > 0 ? std::floor(x + 0.5) : std::ceil(x - 0.5);
}

}  // namespace

KovNavigatorAndFormatter::KovNavigatorAndFormatter()
    : fileHeader_(0, 0, 0, 0.0, 0, ""),
      firstFrameHeader_(&fileHeader_),
      finalFrameHeader_(&fileHeader_),
      currentFrameHeader_(&fileHeader_) {}

KovNavigatorAndFormatter::~KovNavigatorAndFormatter() {
    std::lock_guard guard(lock_);
    if (stream_.is_open()) {
        stream_.close();
    }
}

// ---- File handling ----------------------------------------------------------------------------

void KovNavigatorAndFormatter::setFileName(const std::string& fileName, bool refresh) {
    std::lock_guard guard(lock_);
    fileName_ = fileName;
    closeFile();
    if (refresh) {
        refreshFileInformation();
    }
}

std::string KovNavigatorAndFormatter::getFileName() const {
    std::lock_guard guard(lock_);
    return fileName_;
}

void KovNavigatorAndFormatter::closeFile() {
    std::lock_guard guard(lock_);
    if (stream_.is_open()) {
        stream_.close();
    }
    stream_.clear();
}

bool KovNavigatorAndFormatter::openFileReadOnlyIfRequired() {
    std::lock_guard guard(lock_);
    if (stream_.is_open()) {
        return true;
    }
    stream_.clear();
    stream_.open(fileName_, std::ios::in | std::ios::binary);
    if (!stream_.is_open()) {
        const std::string reason = SystemError::last();
        AvDebugLogger::instance().log(AvDebugLogger::kSevere,
                                      "KovNavigatorAndFormatter::openFileReadOnlyIfRequired(): "
                                      "Open failed. Tried file \"%s\".  strerror(errno)=\"%s\"",
                                      fileName_.c_str(), reason.c_str());
        stream_.clear();
        return false;
    }
    return true;
}

bool KovNavigatorAndFormatter::forceReopenFileForReadWrite() {
    std::lock_guard guard(lock_);
    closeFile();
    stream_.open(fileName_, std::ios::in | std::ios::out | std::ios::trunc | std::ios::binary);
    if (!stream_.is_open()) {
        const std::string reason = SystemError::last();
        AvDebugLogger::instance().log(AvDebugLogger::kSevere,
                                      "KovNavigatorAndFormatter::forceReopenFileForReadWrite(): "
                                      "Open failed. Tried file \"%s\".  strerror(errno)=\"%s\"",
                                      fileName_.c_str(), reason.c_str());
        return false;
    }
    return true;
}

bool KovNavigatorAndFormatter::seekTo(uint64_t position) {
    stream_.clear();
    stream_.seekg(static_cast<std::streamoff>(position));
    return !stream_.fail();
}

int64_t KovNavigatorAndFormatter::position() {
    const std::streampos position = stream_.tellg();
    return position == std::streampos(-1) ? -1 : static_cast<int64_t>(position);
}

uint64_t KovNavigatorAndFormatter::measureFileSize() {
    stream_.clear();
    const int64_t readPoint = position();
    stream_.seekg(0, std::ios::end);
    const int64_t end = position();
    if (readPoint >= 0) {
        seekTo(static_cast<uint64_t>(readPoint));
    }
    return end < 0 ? 0 : static_cast<uint64_t>(end);
}

bool KovNavigatorAndFormatter::refreshFileInformation() {
    std::lock_guard guard(lock_);
    stream_.clear();
    const bool wasOpen = stream_.is_open();
    if (!openFileReadOnlyIfRequired()) {
        return false;
    }
    const int64_t readPoint = position();
    fileHeader_.readFromStream(stream_);
    firstFramePosition_ = fileHeader_.getHeaderLength();
    firstFrameHeader_.readFromStream(stream_);
    bool result = !stream_.fail();
    seekTo(fileHeader_.getHeaderLength());
    result = getFinalFrameHeader(finalFrameHeader_) && result;
    finalFramePosition_ = lastFinalFramePosition_;
    currentFrameHeader_ = finalFrameHeader_;
    if (wasOpen) {
        seekTo(readPoint < 0 ? 0 : static_cast<uint64_t>(readPoint));
    } else {
        setCurrentFrameByTimeOffsetFromStart(0.0, 1.0);
    }
    return result;
}

bool KovNavigatorAndFormatter::refreshIfFileChanged(bool force) {
    std::lock_guard guard(lock_);
    const bool openedHere = !stream_.is_open();
    openFileReadOnlyIfRequired();
    stream_.clear();
    const int64_t readPoint = position();
    const uint64_t size = measureFileSize();
    if (force || size != fileSize_) {
        setFileName(fileName_, true);
    }
    const bool restored = seekTo(readPoint < 0 ? 0 : static_cast<uint64_t>(readPoint));
    if (openedHere) {
        closeFile();
    }
    return restored;
}

// ---- Finding frames ---------------------------------------------------------------------------

bool KovNavigatorAndFormatter::isFrameAt(uint64_t blockPosition, KovFrameHeader& header) {
    const uint32_t headerLength = fileHeader_.getHeaderLength();
    if (blockPosition < headerLength || !seekTo(blockPosition)) {
        return false;
    }
    header.readFromStream(stream_);
    return !stream_.fail() && header.hasValidMarker() &&
           header.getOffsetToThisFrame() == blockPosition - headerLength;
}

bool KovNavigatorAndFormatter::getFinalFrameHeader(KovFrameHeader& header) {
    std::lock_guard guard(lock_);
    if (!openFileReadOnlyIfRequired()) {
        return false;
    }
    stream_.clear();
    const int64_t readPoint = position();
    fileSize_ = measureFileSize();
    const bool found = readFinalFrameHeader(header, lastFinalFramePosition_);
    seekTo(readPoint < 0 ? 0 : static_cast<uint64_t>(readPoint));
    return found;
}

bool KovNavigatorAndFormatter::readFinalFrameHeader(KovFrameHeader& header,
                                                    uint64_t& blockPosition) {
    const uint32_t markerOffset =
        fileHeader_.getFrameFieldOffsets()[KovFrameHeaderField::kStartMarker];
    const uint32_t blockLength = fileHeader_.getFrameHeaderLength();
    std::vector<uint8_t> window(kFinalFrameScanBytes);
    // The final frame is the last marker that starts a frame: a block that names its own position,
    // or a wholly valid block whose data lie inside the file. A wrong Offset_To_This_Frame must not
    // hide the final frame behind an earlier one, while marker bytes inside frame data rarely pass
    // the second test. Should no block pass either, the last marker found is taken as it stands.
    bool anyMarker = false;
    uint64_t lastMarkerBlock = 0;
    uint64_t windowEnd = fileSize_;
    while (windowEnd >= kMarkerLength && fileSize_ - windowEnd < kMaximumScanBytes) {
        const uint64_t windowStart =
            windowEnd > kFinalFrameScanBytes ? windowEnd - kFinalFrameScanBytes : 0;
        const size_t length = static_cast<size_t>(windowEnd - windowStart);
        if (!seekTo(windowStart)) {
            break;
        }
        stream_.read(reinterpret_cast<char*>(window.data()), static_cast<std::streamsize>(length));
        if (static_cast<size_t>(stream_.gcount()) != length) {
            break;
        }
        for (size_t i = length - kMarkerLength + 1; i-- > 0;) {
            if (!markerAt(&window[i]) || windowStart + i < markerOffset) {
                continue;
            }
            const uint64_t candidate = windowStart + i - markerOffset;
            const uint32_t headerLength = fileHeader_.getHeaderLength();
            if (candidate >= headerLength && seekTo(candidate) && header.readFromStream(stream_) &&
                (header.getOffsetToThisFrame() == candidate - headerLength ||
                 candidate + blockLength + header.getLengthOfFrameData() <= fileSize_)) {
                blockPosition = candidate;
                return true;
            }
            if (isFrameAt(candidate, header)) {
                blockPosition = candidate;
                return true;
            }
            if (!anyMarker) {
                anyMarker = true;
                lastMarkerBlock = candidate;
            }
        }
        if (windowStart == 0) {
            break;
        }
        windowEnd = windowStart + kMarkerLength - 1;
    }
    if (!anyMarker) {
        return false;
    }
    seekTo(lastMarkerBlock);
    header.readFromStream(stream_);
    blockPosition = lastMarkerBlock;
    return true;
}

bool KovNavigatorAndFormatter::scanForwardsForFrame(uint64_t from, uint64_t& blockPosition) {
    const uint32_t markerOffset =
        fileHeader_.getFrameFieldOffsets()[KovFrameHeaderField::kStartMarker];
    std::vector<uint8_t> window(kEstimateScanBytes);
    uint64_t windowStart = from;
    while (windowStart < fileSize_ && windowStart - from < kMaximumScanBytes) {
        if (!seekTo(windowStart)) {
            return false;
        }
        stream_.read(reinterpret_cast<char*>(window.data()), kEstimateScanBytes);
        const size_t length = static_cast<size_t>(stream_.gcount());
        stream_.clear();
        if (length < kMarkerLength) {
            return false;
        }
        for (size_t i = 0; i + kMarkerLength <= length; ++i) {
            if (!markerAt(&window[i]) || windowStart + i < markerOffset) {
                continue;
            }
            const uint64_t candidate = windowStart + i - markerOffset;
            if (isFrameAt(candidate, currentFrameHeader_)) {
                blockPosition = candidate;
                return true;
            }
        }
        windowStart += length - (kMarkerLength - 1);
    }
    return false;
}

// ---- Reading frames ---------------------------------------------------------------------------

bool KovNavigatorAndFormatter::getCurrentFrameAndAdvance(std::unique_ptr<VideoSegmentFrame>& frame,
                                                         bool* endOfFile) {
    std::lock_guard guard(lock_);
    frame.reset();
    // A file that grows while it is read (a live recording) may have more frames by now.
    stream_.clear();
    currentFrameHeader_.readFromStream(stream_);
    const uint32_t blockLength = fileHeader_.getFrameHeaderLength();
    if (!stream_.fail() && currentFrameHeader_.hasValidMarker()) {
        const uint32_t length = currentFrameHeader_.getLengthOfFrameData();
        // Never allocate for data the file does not hold: a damaged length could ask for 4 GB.
        // Where the frame says it lies is checked first, which costs nothing; only a frame that
        // seems to reach past the end has its real position asked for.
        const uint64_t claimedEnd = uint64_t{fileHeader_.getHeaderLength()} +
                                    currentFrameHeader_.getOffsetToThisFrame() + blockLength +
                                    length;
        if (claimedEnd > fileSize_) {
            const int64_t dataStart = position();
            if (dataStart < 0 || static_cast<uint64_t>(dataStart) + length > measureFileSize()) {
                // Leave the read point at this frame, so it is read once its data is there.
                seekTo(dataStart < blockLength ? 0
                                               : static_cast<uint64_t>(dataStart) - blockLength);
                if (endOfFile != nullptr) {
                    *endOfFile = true;
                }
                return false;
            }
        }
        auto image = std::make_unique<CompressedImage>(fileHeader_.getFrameWidth(),
                                                       fileHeader_.getFrameHeight(), length,
                                                       fileHeader_.getFrameEncoding());
        if (!image->allocateBuffer()) {
            return false;
        }
        stream_ >> *image;
        if (endOfFile != nullptr) {
            *endOfFile = stream_.eof();
        }
        if (stream_.fail()) {
            return false;
        }
        frame = std::make_unique<VideoSegmentFrame>(
            std::move(image), currentFrameHeader_.getEpochTime(),
            currentFrameHeader_.getHighResolutionTimeStamp());
        return true;
    }
    // Where the failed read began: the bytes it took are behind the position it stopped at.
    const bool eof = stream_.eof();
    const std::streamsize taken = stream_.gcount();
    const std::string reason = SystemError::last();
    stream_.clear();
    const int64_t preReadOffset = position() - taken;
    AvDebugLogger::instance().log(AvDebugLogger::kInfo,
                                  "KovNavigatorAndFormatter::getCurrentFrameAndAdvance(): Read "
                                  "failed. eofReached=%d, preReadOffset=%d, strerror()=\"%s\"",
                                  eof ? 1 : 0, static_cast<int>(preReadOffset), reason.c_str());
    if (eof) {
        stream_.setstate(std::ios::eofbit | std::ios::failbit);
    }
    if (endOfFile != nullptr) {
        *endOfFile = eof;
    }
    return false;
}

bool KovNavigatorAndFormatter::getCurrentFrame(std::unique_ptr<VideoSegmentFrame>& frame) {
    std::lock_guard guard(lock_);
    const KovFrameHeader saved = currentFrameHeader_;
    bool result = false;
    if (getCurrentFrameAndAdvance(frame, nullptr)) {
        const std::streamoff back =
            static_cast<std::streamoff>(fileHeader_.getFrameHeaderLength()) +
            currentFrameHeader_.getLengthOfFrameData();
        stream_.seekg(-back, std::ios::cur);
        result = !stream_.fail();
    }
    currentFrameHeader_ = saved;
    return result;
}

double KovNavigatorAndFormatter::getCurrentFrameEpochTime() {
    std::lock_guard guard(lock_);
    stream_.clear();
    const int64_t readPoint = position();
    if (readPoint < 0) {
        return 0.0;
    }
    KovFrameHeader header(&fileHeader_);
    double epochTime = 0.0;
    if (header.readFromStream(stream_) && !stream_.fail()) {
        epochTime = header.getEpochTime();
    }
    seekTo(static_cast<uint64_t>(readPoint));
    return epochTime;
}

float KovNavigatorAndFormatter::getCurrentTimeOffsetFromStart() {
    std::lock_guard guard(lock_);
    double current = getCurrentFrameEpochTime();
    if (current == 0.0) {
        // Past the last frame: the last frame read is where the file stands.
        current = currentFrameHeader_.hasValidMarker() ? currentFrameHeader_.getEpochTime()
                                                       : firstFrameHeader_.getEpochTime();
    }
    return static_cast<float>(current - firstFrameHeader_.getEpochTime());
}

double KovNavigatorAndFormatter::getFirstFrameEpochTime() {
    std::lock_guard guard(lock_);
    return firstFrameHeader_.getEpochTime();
}

float KovNavigatorAndFormatter::getTotalDuration() {
    std::lock_guard guard(lock_);
    return static_cast<float>(finalFrameHeader_.getEpochTime() - firstFrameHeader_.getEpochTime());
}

// ---- Positioning ------------------------------------------------------------------------------

bool KovNavigatorAndFormatter::setCurrentFrameByWallClockTime(double epochTime,
                                                              float toleranceSeconds) {
    std::lock_guard guard(lock_);
    if (!openFileReadOnlyIfRequired()) {
        return false;
    }
    return setCurrentFrameByWallClockTimeSmartSearch(epochTime, toleranceSeconds,
                                                     kSearchWindowSeconds);
}

bool KovNavigatorAndFormatter::setCurrentFrameByTimeOffsetFromStart(double offsetSeconds, float) {
    std::lock_guard guard(lock_);
    return setCurrentFrameByWallClockTime(firstFrameHeader_.getEpochTime() + offsetSeconds, 1.0f);
}

bool KovNavigatorAndFormatter::setCurrentFrameByTimeOffsetFromCurrent(double, float) {
    std::lock_guard guard(lock_);
    return false;
}

bool KovNavigatorAndFormatter::reservedOperation(void*) {
    return false;
}

bool KovNavigatorAndFormatter::moveByOneFrame(bool forwards) {
    std::lock_guard guard(lock_);
    stream_.clear();
    const int64_t readPoint = position();
    if (readPoint < 0) {
        return false;
    }
    KovFrameHeader header(&fileHeader_);
    if (header.readFromStream(stream_) && !stream_.fail()) {
        return seekTo(uint64_t{fileHeader_.getHeaderLength()} +
                      (forwards ? header.getOffsetToNextFrame() : header.getOffsetToPriorFrame()));
    }
    seekTo(static_cast<uint64_t>(readPoint));
    return false;
}

bool KovNavigatorAndFormatter::moveToNextFrame() {
    return moveByOneFrame(true);
}

bool KovNavigatorAndFormatter::moveToPriorFrame() {
    return moveByOneFrame(false);
}

bool KovNavigatorAndFormatter::setCurrentFrameByWallClockTimeSmartSearch(double epochTime,
                                                                         float toleranceSeconds,
                                                                         double windowSeconds) {
    std::lock_guard guard(lock_);
    const double firstTime = firstFrameHeader_.getEpochTime();
    const double finalTime = finalFrameHeader_.getEpochTime();
    if (!(epochTime >= firstTime && epochTime <= finalTime)) {
        return false;
    }
    const uint32_t headerLength = fileHeader_.getHeaderLength();
    double current = getCurrentFrameEpochTime();
    if (current == 0.0) {
        seekTo(firstFramePosition_);
        current = firstTime;
    }
    if (std::fabs(current - epochTime) <= windowSeconds) {
        if (std::fabs(current - epochTime) <= kNoMoveSeconds) {
            return true;
        }
        return stepSearch(epochTime, toleranceSeconds);
    }

    // Far away: estimate the position from the average byte rate, then find the frame there.
    const uint64_t dataBytes = fileSize_ > headerLength ? fileSize_ - headerLength : 0;
    double estimate = roundHalfAwayFromZero(static_cast<double>(dataBytes) / getTotalDuration() *
                                            (epochTime - firstTime));
    if (!std::isfinite(estimate) || estimate < 0) {
        estimate = 0;
    }
    estimate = std::min(estimate, static_cast<double>(dataBytes));
    uint64_t blockPosition = 0;
    if (!scanForwardsForFrame(headerLength + static_cast<uint64_t>(estimate), blockPosition)) {
        // The estimate fell inside the last frame: walk back from the final frame.
        if (!seekTo(finalFramePosition_)) {
            return false;
        }
        return stepSearch(epochTime, toleranceSeconds);
    }
    seekTo(blockPosition);
    if (!currentFrameHeader_.hasValidMarker()) {
        return false;
    }
    if (std::fabs(currentFrameHeader_.getEpochTime() - epochTime) <= static_cast<double>(0.001f)) {
        return !stream_.fail();
    }
    return stepSearch(epochTime, toleranceSeconds);
}

bool KovNavigatorAndFormatter::stepSearch(double epochTime, float toleranceSeconds) {
    double previous = getCurrentFrameEpochTime();
    if (std::fabs(previous - epochTime) <= kTimeResolution) {
        return true;
    }
    const bool forwards = epochTime >= previous;
    const double finalTime = finalFrameHeader_.getEpochTime();
    const uint32_t stepLimit = finalFrameHeader_.getFrameNumber();
    for (uint32_t step = 0; step < stepLimit; ++step) {
        // A damaged offset chain may point back at a frame already passed: the walk must make
        // progress in its direction, or it would go round for as many steps as the final frame's
        // number claims.
        const int64_t before = position();
        if (!moveByOneFrame(forwards)) {
            return false;
        }
        const int64_t after = position();
        if (forwards ? after <= before : after >= before) {
            return false;
        }
        const double reached = getCurrentFrameEpochTime();
        if (reached == finalTime) {
            // The walk cannot go on: the frame before is taken when it is nearer, the final
            // frame only within the tolerance.
            if (std::fabs(previous - epochTime) < std::fabs(reached - epochTime)) {
                return moveByOneFrame(!forwards);
            }
            return std::fabs(reached - epochTime) <= toleranceSeconds;
        }
        if (forwards ? reached >= epochTime : reached <= epochTime) {
            // On equal distances the frame just reached wins.
            if (std::fabs(reached - epochTime) > std::fabs(previous - epochTime)) {
                return moveByOneFrame(!forwards);
            }
            return true;
        }
        previous = reached;
    }
    return true;
}

// ---- Writing ----------------------------------------------------------------------------------

bool KovNavigatorAndFormatter::writeFileHeader(double startTime,
                                               int64_t highResolutionCounterFrequency,
                                               uint32_t frameWidth, uint32_t frameHeight,
                                               uint32_t targetFrameRate,
                                               const std::string& frameEncoding,
                                               KovWriteCallback callback, void* callbackContext) {
    std::lock_guard guard(lock_);
    KovFileHeader header(frameWidth, frameHeight, targetFrameRate, startTime,
                         highResolutionCounterFrequency, frameEncoding);
    bool result = false;
    if (callback == nullptr) {
        forceReopenFileForReadWrite();
        result = header.writeToStream(stream_);
    } else {
        std::ostringstream bytes;
        header.writeToStream(bytes);
        const std::string text = bytes.str();
        result = callback(callbackContext, 0.0, reinterpret_cast<const uint8_t*>(text.data()),
                          static_cast<uint32_t>(text.size()), &fileName_, false);
    }
    fileHeader_.copyFromAnotherHeader(header);
    frameCounter_ = 0;
    thisOffset_ = 0;
    nextOffset_ = 0;
    priorOffset_ = 0;
    return result;
}

bool KovNavigatorAndFormatter::appendFrame(const VideoSegmentFrame& frame, bool isLast,
                                           KovWriteCallback callback, void* callbackContext) {
    std::lock_guard guard(lock_);
    const Image* image = frame.getImage();
    CHECK_POINTER(image);
    const uint32_t dataLength = image->getDataLength();
    const uint32_t blockLength = fileHeader_.getFrameHeaderLength();
    const uint64_t next = uint64_t{nextOffset_} + blockLength + dataLength;
    if (next > UINT32_MAX || blockLength > KovFileHeader::kMaximumFrameHeaderLength ||
        (dataLength > 0 && image->getData() == nullptr)) {
        ++frameCounter_;
        return false;
    }
    priorOffset_ = thisOffset_;
    thisOffset_ = nextOffset_;
    nextOffset_ = isLast ? thisOffset_ : static_cast<uint32_t>(next);
    const KovFrameHeader header(&fileHeader_, frame.getEpochTime(),
                                frame.getHighResolutionTimeStamp(), frameCounter_, thisOffset_,
                                nextOffset_, priorOffset_, dataLength);
    bool result = false;
    if (callback == nullptr) {
        header.writeToStream(stream_);
        stream_.write(reinterpret_cast<const char*>(image->getData()), dataLength);
        result = !stream_.fail();
        if (isLast) {
            stream_.close();
            result = result && !stream_.fail();
        }
    } else {
        uint8_t block[KovFileHeader::kMaximumFrameHeaderLength];
        header.encodeBlock(block);
        result = callback(callbackContext, 0.0, block, blockLength, &fileName_, false) &&
                 callback(callbackContext, 0.0, image->getData(), dataLength, &fileName_, false);
        if (result && isLast) {
            result = callback(callbackContext, 0.0, nullptr, 0, &fileName_, true);
        }
    }
    ++frameCounter_;
    return result;
}

// ---- Splitting --------------------------------------------------------------------------------

std::string KovNavigatorAndFormatter::splitPathConflict(const std::vector<SplitPart>& parts) const {
    namespace fs = std::filesystem;
    std::error_code error;
    auto sameFile = [&](const std::string& a, const std::string& b) {
        const fs::path canonicalA = fs::weakly_canonical(a, error);
        const fs::path canonicalB = fs::weakly_canonical(b, error);
        return !error && canonicalA == canonicalB;
    };
    for (size_t i = 0; i < parts.size(); ++i) {
        if (parts[i].wanted && sameFile(parts[i].path, fileName_)) {
            return "Splitting not possible: a part would overwrite the file being split.";
        }
    }
    for (size_t i = 0; i < parts.size(); ++i) {
        for (size_t j = i + 1; j < parts.size(); ++j) {
            if (parts[i].wanted && parts[j].wanted && sameFile(parts[i].path, parts[j].path)) {
                return "Splitting not possible: both parts would be written to the same file.";
            }
        }
    }
    return "";
}

bool KovNavigatorAndFormatter::splitAtEpochTime(double splitTime, const std::string& firstPartPath,
                                                const std::string& secondPartPath,
                                                float toleranceSeconds, KovWriteCallback callback,
                                                void* callbackContext, int mode) {
    std::vector<SplitPart> parts(2);
    parts[0].path = firstPartPath;
    parts[0].wanted = mode == kSplitBothParts || mode == kSplitFirstPartOnly;
    parts[1].path = secondPartPath;
    parts[1].wanted = mode == kSplitBothParts || mode == kSplitSecondPartOnly;
    return splitAtEpochTimes({splitTime}, parts, toleranceSeconds, callback, callbackContext);
}

bool KovNavigatorAndFormatter::surveyForSplit(const std::vector<double>& splitTimes,
                                              SplitSurvey& survey) {
    const uint32_t headerLength = fileHeader_.getHeaderLength();
    const uint32_t blockLength = fileHeader_.getFrameHeaderLength();
    if (headerLength == 0 || blockLength == 0 ||
        blockLength > KovFileHeader::kMaximumFrameHeaderLength) {
        errorText_ =
            "Failed to read a frame of the file being split: its header does not "
            "describe its frames.";
        return false;
    }
    // Frame i opens part k + 1 when it is the frame nearest splitTimes[k]: the first frame at or
    // after the time, or the one before it when that one is strictly nearer; of frames sharing
    // that time, the first (frames of one time are never parted).
    constexpr size_t kNotFound = static_cast<size_t>(-1);
    survey = SplitSurvey();
    survey.cuts.assign(splitTimes.size(), kNotFound);
    const uint64_t size = measureFileSize();
    KovFrameHeader header(&fileHeader_);
    double previousTime = 0.0;
    size_t previousRunStart = 0;  // first frame of the run of equal times the previous frame ends
    uint64_t at = headerLength;
    char where[160];
    while (at < size) {
        const size_t index = survey.frameCount;
        if (size - at < blockLength || !seekTo(at)) {
            std::snprintf(where, sizeof where,
                          "the file ends inside the header of frame %zu (byte %llu).", index + 1,
                          static_cast<unsigned long long>(at));
            errorText_ = std::string("Failed to read a frame of the file being split: ") + where;
            return false;
        }
        // A frame need not be valid in every respect (an early time, little data) to be copied,
        // as readers read it, but it must be a frame: what is not can be given to no part.
        header.readFromStream(stream_);
        if (stream_.fail() || !header.hasValidMarker()) {
            std::snprintf(where, sizeof where,
                          "there is no frame at byte %llu, after %zu frames; the %llu bytes from "
                          "there on belong to no part.",
                          static_cast<unsigned long long>(at), index,
                          static_cast<unsigned long long>(size - at));
            errorText_ = std::string("Failed to read a frame of the file being split: ") + where;
            return false;
        }
        const uint64_t end = at + blockLength + header.getLengthOfFrameData();
        if (end > size) {
            std::snprintf(where, sizeof where,
                          "frame %zu (byte %llu) runs past the end of the file.", index + 1,
                          static_cast<unsigned long long>(at));
            errorText_ = std::string("Failed to read a frame of the file being split: ") + where;
            return false;
        }
        const double time = header.getEpochTime();
        for (size_t k = 0; k < splitTimes.size(); ++k) {
            if (survey.cuts[k] == kNotFound && time >= splitTimes[k]) {
                const bool previousIsNearer =
                    index > 0 && splitTimes[k] - previousTime < time - splitTimes[k];
                survey.cuts[k] = previousIsNearer ? previousRunStart : index;
            }
        }
        if (index == 0) {
            survey.firstTime = time;
        }
        if (index == 0 || time != previousTime) {
            previousRunStart = index;
        }
        survey.lastTime = time;
        previousTime = time;
        ++survey.frameCount;
        at = end;
    }
    if (survey.frameCount == 0) {
        errorText_ = "Failed to read a frame of the file being split: it holds no frame.";
        return false;
    }
    return true;
}

bool KovNavigatorAndFormatter::copyParts(const SplitSurvey& survey, std::vector<SplitPart>& parts,
                                         KovWriteCallback callback, void* callbackContext) {
    static const char* const kOrdinals[] = {"first", "second", "third"};
    auto ordinal = [](size_t part) {
        return std::string(part < std::size(kOrdinals) ? kOrdinals[part] : "later");
    };
    // Part p holds frames [bounds[p], bounds[p + 1]).
    std::vector<size_t> bounds{0};
    bounds.insert(bounds.end(), survey.cuts.begin(), survey.cuts.end());
    bounds.push_back(survey.frameCount);

    // Frames after the last wanted part need not be read.
    size_t framesNeeded = 0;
    for (size_t p = 0; p < parts.size(); ++p) {
        if (parts[p].wanted) {
            framesNeeded = bounds[p + 1];
        }
    }

    std::vector<std::unique_ptr<KovNavigatorAndFormatter>> writers(parts.size());
    bool result = true;
    size_t part = 0;
    seekTo(firstFramePosition_);
    for (size_t index = 0; index < framesNeeded && result; ++index) {
        std::unique_ptr<VideoSegmentFrame> frame;
        if (!getCurrentFrameAndAdvance(frame, nullptr) || !frame) {
            result = false;
            errorText_ = "Failed to read a frame of the file being split: frame " +
                         std::to_string(index + 1) + " could not be read again.";
            break;
        }
        while (index >= bounds[part + 1]) {
            ++part;
        }
        if (!parts[part].wanted) {
            continue;
        }
        const bool isFirst = index == bounds[part];
        const bool isLast = index + 1 == bounds[part + 1];
        if (isFirst) {
            writers[part] = std::make_unique<KovNavigatorAndFormatter>();
            writers[part]->setFileName(parts[part].path, false);
            if (!writers[part]->writeFileHeader(
                    frame->getEpochTime(), fileHeader_.getHighResolutionCounterFrequency(),
                    fileHeader_.getFrameWidth(), fileHeader_.getFrameHeight(),
                    fileHeader_.getTargetFrameRate(), fileHeader_.getFrameEncoding(), callback,
                    callbackContext)) {
                result = false;
                errorText_ = "Failed to write header of " + ordinal(part) +
                             " split part, path was \"" + parts[part].path + "\"";
                break;
            }
        }
        if (!writers[part]->appendFrame(*frame, isLast, callback, callbackContext)) {
            result = false;
            errorText_ = (isLast ? "Failed to write last frame of " : "Failed to write frame to ") +
                         ordinal(part) + " part";
            break;
        }
        parts[part].written = isLast;
    }
    if (!result) {
        for (size_t p = 0; p < parts.size(); ++p) {
            parts[p].written = false;
            if (writers[p] && callback == nullptr) {
                writers[p]->closeFile();
                std::error_code ignored;
                std::filesystem::remove(parts[p].path, ignored);
            }
        }
    }
    return result;
}

bool KovNavigatorAndFormatter::splitAtEpochTimes(const std::vector<double>& splitTimes,
                                                 std::vector<SplitPart>& parts,
                                                 float toleranceSeconds, KovWriteCallback callback,
                                                 void* callbackContext) {
    std::lock_guard guard(lock_);
    for (SplitPart& part : parts) {
        part.written = false;
    }
    if (!openFileReadOnlyIfRequired()) {
        return false;
    }
    errorText_.clear();
    if (parts.size() != splitTimes.size() + 1) {
        errorText_ = "Splitting not possible: there must be one part more than split points.";
        return false;
    }
    stream_.clear();
    const int64_t readPoint = position();
    auto restoreReadPoint = [&] {
        seekTo(readPoint < 0 ? firstFramePosition_ : static_cast<uint64_t>(readPoint));
    };

    // Every frame header is read before anything is written, so that a file whose frames cannot
    // all be given to a part is refused as a whole.
    SplitSurvey survey;
    if (!surveyForSplit(splitTimes, survey)) {
        restoreReadPoint();
        return false;
    }
    for (double splitTime : splitTimes) {
        if (!(splitTime >= survey.firstTime && splitTime <= survey.lastTime)) {
            errorText_ =
                "Splitting at requested point not possible: point was not within this file.";
            restoreReadPoint();
            return false;
        }
    }
    for (size_t k = 1; k < splitTimes.size(); ++k) {
        if (!(splitTimes[k] >= splitTimes[k - 1])) {
            errorText_ =
                "Splitting at requested points not possible: the points are not in ascending "
                "order.";
            restoreReadPoint();
            return false;
        }
    }
    if (callback == nullptr) {
        // Only parts that get frames are written, so only they can collide.
        std::vector<SplitPart> written = parts;
        for (size_t p = 0; p < written.size(); ++p) {
            const size_t from = p == 0 ? 0 : survey.cuts[p - 1];
            const size_t to = p == survey.cuts.size() ? survey.frameCount : survey.cuts[p];
            written[p].wanted = written[p].wanted && from < to;
        }
        errorText_ = splitPathConflict(written);
        if (!errorText_.empty()) {
            restoreReadPoint();
            return false;
        }
    }
    // The tolerance is that of positioning by time, as a player would find the split point.
    for (double splitTime : splitTimes) {
        if (!setCurrentFrameByWallClockTime(splitTime, toleranceSeconds)) {
            errorText_ =
                "Splitting at requested point not possible within requested tolerance: set "
                "position to split point failed.";
            restoreReadPoint();
            return false;
        }
    }
    const bool result = copyParts(survey, parts, callback, callbackContext);
    restoreReadPoint();
    return result;
}

std::string KovNavigatorAndFormatter::getErrorText() const {
    std::lock_guard guard(lock_);
    return errorText_;
}

KovFileHeader KovNavigatorAndFormatter::fileHeaderIs() const {
    std::lock_guard guard(lock_);
    return fileHeader_;
}

KovFrameHeader KovNavigatorAndFormatter::firstFrameHeaderIs() const {
    std::lock_guard guard(lock_);
    return firstFrameHeader_;
}

KovFrameHeader KovNavigatorAndFormatter::finalFrameHeaderIs() const {
    std::lock_guard guard(lock_);
    return finalFrameHeader_;
}

uint64_t KovNavigatorAndFormatter::fileSizeIs() const {
    std::lock_guard guard(lock_);
    return fileSize_;
}

uint64_t KovNavigatorAndFormatter::bytesAfterFinalFrameIs() const {
    std::lock_guard guard(lock_);
    const uint64_t finalFrameEnd = finalFramePosition_ + fileHeader_.getFrameHeaderLength() +
                                   finalFrameHeader_.getLengthOfFrameData();
    if (finalFrameEnd > fileSize_) {
        // The final frame found is itself cut off: none of its bytes make a frame.
        return fileSize_ > finalFramePosition_ ? fileSize_ - finalFramePosition_ : 0;
    }
    return fileSize_ - finalFrameEnd;
}
