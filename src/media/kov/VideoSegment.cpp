#include "VideoSegment.h"

#include "PointerChecks.h"

VideoSegment::VideoSegment(VideoSegmentNavigator* navigator, VideoCodec* codec)
    : navigator_(navigator), codec_(codec) {}

VideoSegment::~VideoSegment() = default;

bool VideoSegment::setPositionByEpochTime(double epochTime, float toleranceSeconds) {
    CHECK_POINTER(navigator_);
    return navigator_->setCurrentFrameByWallClockTime(epochTime, toleranceSeconds);
}

bool VideoSegment::setPositionByTimeOffsetFromStart(double offsetSeconds, float toleranceSeconds) {
    CHECK_POINTER(navigator_);
    return navigator_->setCurrentFrameByTimeOffsetFromStart(offsetSeconds, toleranceSeconds);
}

bool VideoSegment::setPositionByTimeOffsetFromCurrent(double offsetSeconds,
                                                      float toleranceSeconds) {
    CHECK_POINTER(navigator_);
    return navigator_->setCurrentFrameByTimeOffsetFromCurrent(offsetSeconds, toleranceSeconds);
}

bool VideoSegment::getNextCompressedFrame(std::unique_ptr<VideoSegmentFrame>& frame,
                                          bool* endOfFile) {
    CHECK_POINTER(navigator_);
    bool endReached = false;
    const bool result = navigator_->getCurrentFrameAndAdvance(frame, &endReached);
    if (endOfFile != nullptr) {
        *endOfFile = endReached;
    }
    return result;
}

bool VideoSegment::getNextUncompressedFrame(std::unique_ptr<VideoSegmentFrame>& frame,
                                            bool* endOfFile) {
    CHECK_POINTER(navigator_);
    CHECK_POINTER(codec_);
    frame.reset();
    std::unique_ptr<VideoSegmentFrame> compressed;
    if (!getNextCompressedFrame(compressed, endOfFile) || !compressed) {
        return false;
    }
    return codec_->decodeFrame(*compressed, frame);
}
