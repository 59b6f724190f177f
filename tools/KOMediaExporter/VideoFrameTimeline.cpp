#include "VideoFrameTimeline.h"

#include "CompressedVideoFile.h"
#include "RgbImage.h"
#include "VideoDecoder.h"
#include "VideoSegmentFrame.h"

namespace {

// Files that cannot deliver are skipped by the decoder; this many empty answers in a row without
// the end being reported count as the end all the same.
constexpr int kEmptyReadsBeforeGivingUp = 1000;

const RgbImage* pictureOf(const VideoSegmentFrame& frame) {
    const Image* image = frame.getImage();
    if (image == nullptr || image->getTypeName() != RgbImage::kTypeName ||
        image->getData() == nullptr || image->getWidth() == 0 || image->getHeight() == 0) {
        return nullptr;
    }
    return static_cast<const RgbImage*>(image);
}

}  // namespace

VideoFrameTimeline::VideoFrameTimeline(VideoDecoder& decoder, double startTime, double gapSeconds)
    : decoder_(decoder), startTime_(startTime), gapSeconds_(gapSeconds) {}

VideoFrameTimeline::~VideoFrameTimeline() = default;

std::unique_ptr<VideoSegmentFrame> VideoFrameTimeline::readFrame() {
    for (int empty = 0; !ended_ && empty < kEmptyReadsBeforeGivingUp;) {
        bool endOfData = false;
        std::unique_ptr<VideoSegmentFrame> frame = decoder_.getNextFrame(&endOfData, false);
        if (frame) {
            ++framesRead_;
            if (pictureOf(*frame) != nullptr) {
                return frame;
            }
            continue;  // a sealed stretch or a picture that could not be decoded
        }
        if (endOfData) {
            break;
        }
        ++empty;
    }
    ended_ = true;
    return nullptr;
}

bool VideoFrameTimeline::start(double endTime) {
    std::lock_guard guard(mutex_);
    current_.reset();
    next_.reset();
    answered_ = false;
    lastShown_ = 0;
    ended_ = decoder_.numberOfFilesIs() == 0;
    if (ended_) {
        return false;
    }
    if (!decoder_.setPositionByWallClockTime(startTime_, 1.0f)) {
        // In a gap or before the first file: the first file starting later, if any.
        bool positioned = false;
        for (CompressedVideoFile* file : decoder_.filesInDecodeListIs()) {
            const double fileStart = file->getStartTime();
            if (fileStart >= startTime_ && fileStart < endTime) {
                positioned = decoder_.setPositionByWallClockTime(fileStart, 1.0f);
                break;
            }
        }
        if (!positioned) {
            ended_ = true;
            return false;
        }
    }
    next_ = readFrame();
    if (!next_ || next_->getEpochTime() >= endTime) {
        next_.reset();
        ended_ = true;
        return false;
    }
    firstWidth_ = next_->getImage()->getWidth();
    firstHeight_ = next_->getImage()->getHeight();
    return true;
}

uint32_t VideoFrameTimeline::firstWidthIs() {
    std::lock_guard guard(mutex_);
    return firstWidth_;
}

uint32_t VideoFrameTimeline::firstHeightIs() {
    std::lock_guard guard(mutex_);
    return firstHeight_;
}

uint64_t VideoFrameTimeline::framesReadIs() {
    std::lock_guard guard(mutex_);
    return framesRead_;
}

const RgbImage* VideoFrameTimeline::pictureAt(double t, bool& sameAsLast) {
    std::lock_guard guard(mutex_);
    while (next_ && next_->getEpochTime() <= t) {
        current_ = std::move(next_);
        ++currentSerial_;
        next_ = readFrame();
    }
    const RgbImage* picture = nullptr;
    uint64_t shown = 0;  // black
    if (current_ && t - current_->getEpochTime() <= gapSeconds_) {
        picture = pictureOf(*current_);
        shown = currentSerial_;
    }
    // Compared by serial, not address: a new frame may be allocated where an old one was.
    sameAsLast = answered_ && shown == lastShown_;
    lastShown_ = shown;
    answered_ = true;
    return picture;
}
