#pragma once

#include <cstdint>
#include <memory>

#include "Image.h"
#include "LiveInstanceCounter.h"

// One video frame with its wall-clock time: the stored CompressedImage as read from a file, or
// the RgbImage it was decoded into. Owns its image. Travels from the video files through the
// decoder and the correlator to the player; whoever holds it last destroys it.
class VideoSegmentFrame {
public:
    // `epochTime` in seconds since 1970-01-01 UTC; `highResolutionTimeStamp` is the recorder's
    // counter value at capture (ticks of the file's counter frequency).
    VideoSegmentFrame(std::unique_ptr<Image> image, double epochTime,
                      uint64_t highResolutionTimeStamp);
    VideoSegmentFrame(const VideoSegmentFrame&) = delete;
    VideoSegmentFrame& operator=(const VideoSegmentFrame&) = delete;
    virtual ~VideoSegmentFrame();

    // The image (null only when constructed without one); the frame keeps ownership.
    Image* getImage() const { return image_.get(); }
    double getEpochTime() const { return epochTime_; }
    uint64_t getHighResolutionTimeStamp() const { return highResolutionTimeStamp_; }

    // Live frames in the process (leak diagnostics only).
    static long liveInstances() { return LiveInstanceCounter<VideoSegmentFrame>::liveInstances(); }

private:
    std::unique_ptr<Image> image_;
    double epochTime_;
    uint64_t highResolutionTimeStamp_;
    LiveInstanceCounter<VideoSegmentFrame> counter_;
};
