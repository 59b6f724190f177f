#pragma once

#include <memory>

#include "VideoCodec.h"
#include "VideoSegmentFrame.h"
#include "VideoSegmentNavigator.h"

// Joins a video file's navigator and its codec: positions the navigator and hands out the file's
// frames as stored or decoded. Owns neither; has no lock of its own (the navigator locks).
class VideoSegment {
public:
    // Both must outlive the segment.
    VideoSegment(VideoSegmentNavigator* navigator, VideoCodec* codec);
    virtual ~VideoSegment();

    bool setPositionByEpochTime(double epochTime, float toleranceSeconds);
    bool setPositionByTimeOffsetFromStart(double offsetSeconds, float toleranceSeconds);
    // Not supported by the navigators of this system: false.
    bool setPositionByTimeOffsetFromCurrent(double offsetSeconds, float toleranceSeconds);
    // The next frame as stored (a CompressedImage), owned by the caller. `endOfFile`, when given,
    // tells whether the file end was met.
    bool getNextCompressedFrame(std::unique_ptr<VideoSegmentFrame>& frame,
                                bool* endOfFile = nullptr);
    // The next frame decoded by the codec, owned by the caller; the stored frame is destroyed.
    // False, with nothing handed out, when reading or decoding fails.
    bool getNextUncompressedFrame(std::unique_ptr<VideoSegmentFrame>& frame,
                                  bool* endOfFile = nullptr);

private:
    VideoSegmentNavigator* navigator_;
    VideoCodec* codec_;
};
