#include "VideoSegmentFrame.h"

VideoSegmentFrame::VideoSegmentFrame(std::unique_ptr<Image> image, double epochTime,
                                     uint64_t highResolutionTimeStamp)
    : image_(std::move(image)),
      epochTime_(epochTime),
      highResolutionTimeStamp_(highResolutionTimeStamp) {}

VideoSegmentFrame::~VideoSegmentFrame() = default;
