#pragma once

#include <memory>

class VideoSegmentFrame;

// Moves through the frames of one video file by wall-clock time and hands them out; what a video
// segment needs of a file reader. Implementations lock each operation, so one navigator may be
// used from the decoding and the user-interface thread.
class VideoSegmentNavigator {
public:
    virtual ~VideoSegmentNavigator() = default;

    // Makes the frame nearest `epochTime` (seconds since the Unix epoch) the read point. False
    // when the time lies outside the file or the frames cannot be walked.
    virtual bool setCurrentFrameByWallClockTime(double epochTime, float toleranceSeconds) = 0;
    // The same for the time `offsetSeconds` after the first frame.
    virtual bool setCurrentFrameByTimeOffsetFromStart(double offsetSeconds, float unused) = 0;
    // Not supported by the files of this system: false.
    virtual bool setCurrentFrameByTimeOffsetFromCurrent(double offsetSeconds, float unused) = 0;
    // Not supported: false.
    virtual bool reservedOperation(void* unused) = 0;
    // Reads the frame at the read point into `frame` (owned by the caller) and leaves the read
    // point where it was.
    virtual bool getCurrentFrame(std::unique_ptr<VideoSegmentFrame>& frame) = 0;
    // Reads the frame at the read point into `frame` (owned by the caller) and moves the read
    // point to the next frame. `endOfFile`, when given, tells whether the file end was met.
    virtual bool getCurrentFrameAndAdvance(std::unique_ptr<VideoSegmentFrame>& frame,
                                           bool* endOfFile) = 0;
    // The time of the frame at the read point, 0.0 when none can be read there.
    virtual double getCurrentFrameEpochTime() = 0;
    // Seconds from the first frame to the frame at the read point.
    virtual float getCurrentTimeOffsetFromStart() = 0;
    virtual double getFirstFrameEpochTime() = 0;
    // Seconds from the first to the final frame.
    virtual float getTotalDuration() = 0;
};
