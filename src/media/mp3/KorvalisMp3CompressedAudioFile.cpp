#include "KorvalisMp3CompressedAudioFile.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "EncodedAudioChunk.h"
#include "Mp3FrameStamp.h"
#include "MpegAudioFrameScanner.h"
#include "PointerChecks.h"
#include "SystemError.h"

namespace {

constexpr const char* kFormatName = "MPEG Audio";
constexpr const char* kExtension = "mp3";
// No chunk is larger than this, whatever duration is asked for.
constexpr uint64_t kMaximumChunkBytes = 64u << 20;
// Frames a chunk may reach past the measured end of a file that is still being recorded.
constexpr uint64_t kGrowthFrames = 256;
// Bytes between frames that are no frame, passed over before a file is taken for something else.
constexpr uint64_t kMaximumJunkBytes = 64u << 10;
// Frames read at once while walking a whole file.
constexpr uint32_t kWalkFrames = 1024;

// Half away from zero, as the frame count of a chunk is rounded.
int64_t roundHalfAwayFromZero(double x) {
    return static_cast<int64_t>(x > 0 ? std::floor(x + 0.5) : std::ceil(x - 0.5));
}

}  // namespace

KorvalisMp3CompressedAudioFile::KorvalisMp3CompressedAudioFile(const std::string& path,
                                                               bool useEmbeddedStamps)
    : CompressedAudioFile(path), mpegAudioFile_(path), useEmbeddedStamps_(useEmbeddedStamps) {
    const bool named = MediaFileName::parse(path, name_);
    if (named) {
        startTime_ = name_.startTime();
    }
    valid_ = named && mpegAudioFile_.parseAndBufferFirstFrame(false);
    // A session holds thousands of these: none keeps its file open until it is read.
    mpegAudioFile_.close();
}

KorvalisMp3CompressedAudioFile::~KorvalisMp3CompressedAudioFile() = default;

bool KorvalisMp3CompressedAudioFile::isValidFileName(const std::string& fileName) {
    MediaFileName parsed;
    return MediaFileName::parse(fileName, parsed);
}

float KorvalisMp3CompressedAudioFile::getDuration() {
    return mpegAudioFile_.getTotalDuration();
}

bool KorvalisMp3CompressedAudioFile::refreshFileInformation() {
    return mpegAudioFile_.parseAndBufferFirstFrame(true);
}

uint32_t KorvalisMp3CompressedAudioFile::getFrameSize() {
    return mpegAudioFile_.getFrameSize();
}

float KorvalisMp3CompressedAudioFile::getFrameDuration() {
    return mpegAudioFile_.getFrameDuration();
}

uint32_t KorvalisMp3CompressedAudioFile::getEncodedFrameSize() {
    return mpegAudioFile_.getFrameSize();
}

float KorvalisMp3CompressedAudioFile::getEncodedFrameDuration() {
    return mpegAudioFile_.getFrameDuration();
}

bool KorvalisMp3CompressedAudioFile::setPositionByTimeOffset(float offsetSeconds,
                                                             float toleranceSeconds,
                                                             float& reachedOffsetSeconds) {
    if (!(offsetSeconds >= 0.0f)) {
        return false;
    }
    float reached = 0.0f;
    if (!mpegAudioFile_.setPositionByTimeOffset(offsetSeconds, reached) ||
        !(std::fabs(offsetSeconds - reached) <= toleranceSeconds)) {
        return false;
    }
    reachedOffsetSeconds = reached;
    return true;
}

bool KorvalisMp3CompressedAudioFile::setPositionByEpochTime(double epochTime,
                                                            float toleranceSeconds,
                                                            double& reachedEpochTime) {
    float reached = 0.0f;
    const bool ok = setPositionByTimeOffset(static_cast<float>(epochTime - startTime_),
                                            toleranceSeconds, reached);
    reachedEpochTime = static_cast<double>(reached) + startTime_;
    return ok;
}

bool KorvalisMp3CompressedAudioFile::slaveToAnotherFile(CompressedAudioFile* other) {
    auto* master = dynamic_cast<KorvalisMp3CompressedAudioFile*>(other);
    if (master == nullptr || master == this) {
        return false;
    }
    const bool ok = mpegAudioFile_.copyPositionFromAnotherFile(master->mpegAudioFile_);
    anchorBytePosition_ = master->anchorBytePosition_;
    anchorEpochTime_ = master->anchorEpochTime_;
    useEmbeddedStamps_ = false;
    return ok;
}

std::unique_ptr<MediaFileCheckpoint> KorvalisMp3CompressedAudioFile::generateCheckpoint() {
    return std::make_unique<KorvalisMp3MediaFileCheckpoint>(
        getCurrentTimeOffset(), anchorBytePosition_, anchorEpochTime_, useEmbeddedStamps_);
}

bool KorvalisMp3CompressedAudioFile::restoreCheckpoint(const MediaFileCheckpoint* checkpoint) {
    const auto* own = dynamic_cast<const KorvalisMp3MediaFileCheckpoint*>(checkpoint);
    CHECK_POINTER(own);
    anchorBytePosition_ = own->anchorBytePosition();
    anchorEpochTime_ = own->anchorEpochTime();
    useEmbeddedStamps_ = own->useEmbeddedStamps();
    float reached = 0.0f;
    return mpegAudioFile_.setPositionByTimeOffset(own->timeOffset(), reached);
}

double KorvalisMp3CompressedAudioFile::getCurrentEpochTime() {
    if (anchorEpochTime_ < 0.0) {
        return startTime_ + static_cast<double>(getCurrentTimeOffset());
    }
    const uint32_t frameSize = mpegAudioFile_.getFrameSize();
    if (frameSize == 0) {
        return anchorEpochTime_;
    }
    const double bytesSinceAnchor = static_cast<double>(
        static_cast<int64_t>(mpegAudioFile_.getStreamPosition()) - anchorBytePosition_);
    return anchorEpochTime_ + bytesSinceAnchor / frameSize * mpegAudioFile_.getFrameDuration();
}

float KorvalisMp3CompressedAudioFile::getCurrentTimeOffset() {
    return mpegAudioFile_.getCurrentTimeOffset();
}

bool KorvalisMp3CompressedAudioFile::getNextEncodedChunk(std::unique_ptr<EncodedAudioChunk>& chunk,
                                                         bool& endOfFile, float durationSeconds) {
    endOfFile = false;
    const float frameDuration = mpegAudioFile_.getFrameDuration();
    const uint32_t frameSize = mpegAudioFile_.getFrameSize();
    if (!(frameDuration > 0.0f) || frameSize == 0) {
        return false;
    }
    // Whatever duration is asked for, a chunk is whole frames and of bounded size.
    const double maximumFrames = static_cast<double>(kMaximumChunkBytes / frameSize);
    const double asked = static_cast<double>(durationSeconds) / static_cast<double>(frameDuration);
    if (!(asked > 0.0)) {
        return false;
    }
    const int64_t wanted = roundHalfAwayFromZero(std::min(asked, maximumFrames));
    if (wanted <= 0) {
        return false;
    }
    // Nor much more than the file held when last measured: a recording may have grown since.
    const uint64_t position = mpegAudioFile_.getStreamPosition();
    const uint64_t size = mpegAudioFile_.getFileSize();
    const uint64_t held = size > position ? (size - position) / frameSize : 0;
    const auto frames = static_cast<uint32_t>(std::min<uint64_t>(wanted, held + kGrowthFrames));
    const uint32_t samplesPerFrame = mpegAudioFile_.getSamplesPerFrame();
    const uint32_t sampleRate = mpegAudioFile_.getSampleRate();
    const double startTime = getCurrentEpochTime();
    auto read = std::make_unique<EncodedAudioChunk>(
        frames * frameSize, sampleRate, frames * samplesPerFrame, kFormatName, startTime);
    if (!read->allocateBuffer(false)) {
        return false;
    }
    uint32_t bytesRead = 0;
    const bool readAny = mpegAudioFile_.readFrames(frames, read->bufferIs(), read->bufferSizeIs(),
                                                   bytesRead, endOfFile);
    if (!readAny && !endOfFile) {
        errorText_ =
            "reading failed at byte " + std::to_string(position) + ": " + SystemError::last();
        return false;
    }
    // The recorder's files are frames of one size back to back. Files of other makers may have
    // frames whose size varies (padding, variable bit rate) or bytes between frames: those are
    // read frame by frame.
    const uint64_t after = position + bytesRead;
    const bool moreAtTheEnd =
        endOfFile && after + MpegAudioFrameHeader::kSize <= mpegAudioFile_.getFileSize();
    if (!uniformFrames(read->bufferIs(), bytesRead, frameSize) || moreAtTheEnd) {
        mpegAudioFile_.setStreamPosition(position);
        return readVaryingFrames(frames, startTime, chunk, endOfFile);
    }
    if (!readAny || bytesRead == 0) {
        return false;
    }
    if (bytesRead < read->bufferSizeIs()) {
        // The end of the file came first: the chunk holds, and says it holds, only what was read.
        const uint32_t framesRead = bytesRead / frameSize;
        auto shorter = std::make_unique<EncodedAudioChunk>(
            bytesRead, sampleRate, framesRead * samplesPerFrame, kFormatName, startTime);
        if (!shorter->allocateBuffer(false) || !shorter->appendBytes(read->bufferIs(), bytesRead)) {
            return false;
        }
        read = std::move(shorter);
    }
    read->advanceValidLength(bytesRead);
    if (read->numberOfSamplesIs() == 0 || read->sampleRateIs() == 0 ||
        read->channelCountIs() == 0) {
        return false;
    }
    if (useEmbeddedStamps_) {
        applyEmbeddedStamps(*read);
    }
    chunk = std::move(read);
    return true;
}

bool KorvalisMp3CompressedAudioFile::uniformFrames(const uint8_t* bytes, uint32_t length,
                                                   uint32_t frameSize) {
    const MpegAudioFrameScanner scanner(mpegAudioFile_.getFirstFrameHeader());
    for (uint32_t offset = 0; offset + MpegAudioFrameHeader::kSize <= length; offset += frameSize) {
        const MpegAudioFrameHeader header(bytes + offset);
        if (!scanner.belongs(header) || header.frameSize() != frameSize) {
            return false;
        }
    }
    return true;
}

bool KorvalisMp3CompressedAudioFile::readVaryingFrames(uint32_t frames, double startTime,
                                                       std::unique_ptr<EncodedAudioChunk>& chunk,
                                                       bool& endOfFile) {
    endOfFile = false;
    const MpegAudioFrameHeader first = mpegAudioFile_.getFirstFrameHeader();
    const MpegAudioFrameScanner scanner(first);
    // Room for the frames asked for at the first frame's size, and for the largest frames.
    const uint64_t room = std::min<uint64_t>(
        uint64_t{frames} * first.frameSize() + 2 * MpegAudioFrameScanner::kMaximumFrameBytes,
        kMaximumChunkBytes);
    std::vector<uint8_t> block(static_cast<size_t>(room));
    std::vector<uint8_t> found;
    uint32_t framesFound = 0;
    uint64_t junk = 0;
    uint64_t position = mpegAudioFile_.getStreamPosition();
    const uint64_t junkStart = position;
    for (;;) {
        uint32_t bytesRead = 0;
        bool atEnd = false;
        if (!mpegAudioFile_.readBytes(block.data(), static_cast<uint32_t>(block.size()), bytesRead,
                                      atEnd) &&
            !atEnd) {
            errorText_ =
                "reading failed at byte " + std::to_string(position) + ": " + SystemError::last();
            mpegAudioFile_.setStreamPosition(position);
            return false;
        }
        // What the bytes show for certain. At the end of the file the rest is looked at once
        // more, for a last frame after junk; what is cut off there stays unread, as a recording
        // may be completing it.
        const MpegAudioFrameScanner::Scan scan =
            scanner.scan(block.data(), bytesRead, frames - framesFound, false);
        std::vector<MpegAudioFrameScanner::Frame> taken = scan.frames;
        bool otherStream = scan.stop == MpegAudioFrameScanner::Stop::kOtherStream;
        MpegAudioFrameHeader otherHeader = scan.otherHeader;
        uint32_t used =
            taken.empty() || otherStream ? scan.consumed : taken.back().offset + taken.back().size;
        if (atEnd && scan.stop == MpegAudioFrameScanner::Stop::kEndOfBytes) {
            const MpegAudioFrameScanner::Scan tail =
                scanner.scan(block.data() + scan.consumed, bytesRead - scan.consumed,
                             frames - framesFound - static_cast<uint32_t>(taken.size()), true);
            for (const auto& frame : tail.frames) {
                taken.push_back({scan.consumed + frame.offset, frame.size});
            }
            if (tail.stop == MpegAudioFrameScanner::Stop::kOtherStream) {
                otherStream = true;
                otherHeader = tail.otherHeader;
                used = scan.consumed + tail.consumed;
            } else if (!tail.frames.empty()) {
                used = taken.back().offset + taken.back().size;
            }
        }
        for (const auto& frame : taken) {
            found.insert(found.end(), block.begin() + frame.offset,
                         block.begin() + frame.offset + frame.size);
        }
        framesFound += static_cast<uint32_t>(taken.size());
        junk += taken.empty() ? scan.junkBytes : 0;
        position += used;
        mpegAudioFile_.setStreamPosition(position);
        if (otherStream) {
            if (framesFound > 0) {
                break;  // The frames before it first; the next read stops there.
            }
            errorText_ = "the frame at byte " + std::to_string(position) + " is " +
                         MpegAudioFrameScanner::describe(otherHeader) + ", where the file is " +
                         MpegAudioFrameScanner::describe(first) +
                         ": a timed MP3 channel keeps one format throughout";
            return false;
        }
        if (junk > kMaximumJunkBytes) {
            errorText_ = "no MPEG audio frame in the " + std::to_string(junk) +
                         " bytes from byte " + std::to_string(junkStart);
            return false;
        }
        if (atEnd) {
            // Every whole frame there is was read, unless the chunk filled up first.
            endOfFile = framesFound < frames;
            break;
        }
        if (framesFound > 0) {
            break;
        }
        if (scan.consumed == 0) {
            errorText_ = "no MPEG audio frame can be read at byte " + std::to_string(position);
            return false;
        }
    }
    if (framesFound == 0) {
        return false;
    }
    const auto size = static_cast<uint32_t>(found.size());
    auto read = std::make_unique<EncodedAudioChunk>(
        size, first.sampleRate(), framesFound * first.samplesPerFrame(), kFormatName, startTime);
    if (!read->allocateBuffer(false) || !read->appendBytes(found.data(), size)) {
        return false;
    }
    read->advanceValidLength(size);
    if (useEmbeddedStamps_) {
        applyEmbeddedStamps(*read);
    }
    chunk = std::move(read);
    return true;
}

void KorvalisMp3CompressedAudioFile::applyEmbeddedStamps(EncodedAudioChunk& chunk) {
    Mp3FrameStamp::Found found;
    if (!Mp3FrameStamp::findFirstInFrames(chunk.bufferIs(), chunk.validLengthIs(), found)) {
        return;
    }
    const uint64_t positionAfterRead = mpegAudioFile_.getStreamPosition();
    anchorEpochTime_ = found.stamp;
    anchorBytePosition_ =
        static_cast<int64_t>(positionAfterRead) - (chunk.validLengthIs() - found.frameOffset);
    chunk.setStartTime(found.stamp - found.frameIndex * static_cast<double>(found.frameDuration));
}

void KorvalisMp3CompressedAudioFile::forEachFrame(
    const std::function<void(const uint8_t* frame, uint32_t size, double offsetSeconds)>& visit) {
    const uint32_t frameSize = mpegAudioFile_.getFrameSize();
    if (frameSize == 0) {
        return;
    }
    const uint64_t savedPosition = mpegAudioFile_.getStreamPosition();
    const double frameDuration = mpegAudioFile_.getFrameDuration();
    float reached = 0.0f;
    if (mpegAudioFile_.setPositionByTimeOffset(0.0f, reached)) {
        std::vector<uint8_t> block(static_cast<size_t>(frameSize) * kWalkFrames);
        uint64_t index = 0;
        bool endOfFile = false;
        uint32_t bytesRead = 0;
        while (!endOfFile && mpegAudioFile_.readFrames(kWalkFrames, block.data(),
                                                       static_cast<uint32_t>(block.size()),
                                                       bytesRead, endOfFile)) {
            for (uint32_t offset = 0; offset < bytesRead; offset += frameSize, ++index) {
                visit(block.data() + offset, frameSize, static_cast<double>(index) * frameDuration);
            }
        }
    }
    mpegAudioFile_.setStreamPosition(savedPosition);
}

void KorvalisMp3CompressedAudioFile::dumpTimingDataAsCsv(std::ostream& output) {
    forEachFrame([&](const uint8_t* frame, uint32_t size, double offsetSeconds) {
        double stamp = 0.0;
        if (!Mp3FrameStamp::find(frame, size, stamp)) {
            return;
        }
        const double nameTime = startTime_ + offsetSeconds;
        char line[200];
        std::snprintf(line, sizeof line, "%0.4f,%0.4f,%0.4f,%0.4f\n", nameTime, stamp,
                      nameTime - stamp, std::fabs(nameTime - stamp));
        output << line;
    });
}

uint64_t KorvalisMp3CompressedAudioFile::countStampedFrames() {
    uint64_t count = 0;
    forEachFrame([&](const uint8_t* frame, uint32_t size, double) {
        double stamp = 0.0;
        count += Mp3FrameStamp::find(frame, size, stamp) ? 1 : 0;
    });
    return count;
}

bool KorvalisMp3CompressedAudioFile::copyAndSplitAtEpochTimeToPaths(
    double splitTime, double& reachedTime, const std::string& firstPartPath,
    const std::string& secondPartPath, float toleranceSeconds, KovWriteCallback callback,
    void* callbackContext, int mode, bool dryRun) {
    const double start = startTime_;
    if (!(splitTime >= start && splitTime <= start + getDuration())) {
        errorText_ = "Split point(s) not in this file.";
        return false;
    }
    // In double precision: a time that names a frame start a whole hour into a file is that
    // frame start.
    double reached = 0.0;
    const bool ok = mpegAudioFile_.copyAndSplitAtSeconds(splitTime - start, reached, firstPartPath,
                                                         secondPartPath, toleranceSeconds, callback,
                                                         callbackContext, mode, dryRun);
    errorText_ = mpegAudioFile_.getErrorText();
    if (ok) {
        reachedTime = reached + start;
    }
    return ok;
}

bool KorvalisMp3CompressedAudioFile::copyAndSplitAtEpochTime(
    double splitTime, const std::string& outputDirectory,
    std::unique_ptr<CompressedAudioFile>& firstPart,
    std::unique_ptr<CompressedAudioFile>& secondPart, float toleranceSeconds,
    KovWriteCallback callback, void* callbackContext, int mode) {
    errorText_.clear();
    const uint64_t savedPosition = mpegAudioFile_.getStreamPosition();
    const std::string firstPath = name_.pathIn(outputDirectory, kExtension);
    double reached = 0.0;
    if (!copyAndSplitAtEpochTimeToPaths(splitTime, reached, firstPath, firstPath, toleranceSeconds,
                                        callback, callbackContext, mode, true)) {
        return false;
    }
    // The dry run leaves the read point at the cut.
    const uint64_t cut = mpegAudioFile_.getStreamPosition();
    const std::string secondPath =
        name_.withNearestStartTime(reached).pathIn(outputDirectory, kExtension);
    double reachedAgain = 0.0;
    const bool ok =
        copyAndSplitAtEpochTimeToPaths(splitTime, reachedAgain, firstPath, secondPath,
                                       toleranceSeconds, callback, callbackContext, mode, false);
    mpegAudioFile_.setStreamPosition(savedPosition);
    if (!ok) {
        return false;
    }
    if (reachedAgain != reached) {
        errorText_ = "The split point moved between the dry run and the split.";
        return false;
    }
    firstPart.reset();
    secondPart.reset();
    if ((mode == 0 || mode == 1) && cut > 0) {
        firstPart = std::make_unique<KorvalisMp3CompressedAudioFile>(firstPath, true);
    }
    if ((mode == 0 || mode == 3) && cut < mpegAudioFile_.getFileSize()) {
        secondPart = std::make_unique<KorvalisMp3CompressedAudioFile>(secondPath, true);
    }
    return true;
}

bool KorvalisMp3CompressedAudioFile::copyAndSplitAtEpochTime(
    double firstSplitTime, double secondSplitTime, const std::string& outputDirectory,
    std::unique_ptr<CompressedAudioFile>& firstPart,
    std::unique_ptr<CompressedAudioFile>& secondPart,
    std::unique_ptr<CompressedAudioFile>& thirdPart, float toleranceSeconds,
    KovWriteCallback callback, void* callbackContext, int mode) {
    errorText_.clear();
    const uint64_t savedPosition = mpegAudioFile_.getStreamPosition();
    const double firstOffset = firstSplitTime - startTime_;
    const double secondOffset = secondSplitTime - startTime_;
    double reached[2] = {0.0, 0.0};
    const std::string firstPath = name_.pathIn(outputDirectory, kExtension);
    if (!mpegAudioFile_.copyAndSplitAtSeconds(firstOffset, secondOffset, reached[0], reached[1],
                                              firstPath, firstPath, firstPath, toleranceSeconds,
                                              callback, callbackContext, mode, true)) {
        errorText_ = mpegAudioFile_.getErrorText();
        mpegAudioFile_.setStreamPosition(savedPosition);
        return false;
    }
    const uint64_t secondCut = mpegAudioFile_.getStreamPosition();
    // Each part is named by the time of the frame it starts with, to the nearest millisecond.
    const std::string secondPath =
        name_.withNearestStartTime(startTime_ + reached[0]).pathIn(outputDirectory, kExtension);
    const std::string thirdPath =
        name_.withNearestStartTime(startTime_ + reached[1]).pathIn(outputDirectory, kExtension);
    double reachedAgain[2] = {0.0, 0.0};
    const bool ok = mpegAudioFile_.copyAndSplitAtSeconds(
        firstOffset, secondOffset, reachedAgain[0], reachedAgain[1], firstPath, secondPath,
        thirdPath, toleranceSeconds, callback, callbackContext, mode, false);
    errorText_ = mpegAudioFile_.getErrorText();
    mpegAudioFile_.setStreamPosition(savedPosition);
    if (!ok) {
        return false;
    }
    if (reachedAgain[0] != reached[0] || reachedAgain[1] != reached[1]) {
        errorText_ = "The split point moved between the dry run and the split.";
        return false;
    }
    firstPart.reset();
    secondPart.reset();
    thirdPart.reset();
    if (mode == 0 || mode == 1) {
        firstPart = std::make_unique<KorvalisMp3CompressedAudioFile>(firstPath, true);
    }
    if ((mode == 0 || mode == 2) && reached[0] != reached[1]) {
        secondPart = std::make_unique<KorvalisMp3CompressedAudioFile>(secondPath, true);
    }
    if ((mode == 0 || mode == 3) && secondCut < mpegAudioFile_.getFileSize()) {
        thirdPart = std::make_unique<KorvalisMp3CompressedAudioFile>(thirdPath, true);
    }
    return true;
}

void KorvalisMp3CompressedAudioFile::close() {
    mpegAudioFile_.close();
}
