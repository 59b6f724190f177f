#pragma once

#include <cstdint>
#include <memory>
#include <mutex>

class RgbImage;
class VideoDecoder;
class VideoSegmentFrame;

// A session's video as the picture to show at any time from a start time on: the latest frame
// at or before that time, or none (black) before the first frame and when the latest frame is
// more than `gapSeconds` old (the camera stopped or the recording has a gap). Times are asked in
// increasing order; the decoder is read ahead by one frame only, so any length of session
// streams through. Frames without a decoded picture are passed over. The object locks itself
// for each operation; the decoder is read from the caller's thread only.
class VideoFrameTimeline {
public:
    // `decoder` stays the caller's and must outlive the time line.
    VideoFrameTimeline(VideoDecoder& decoder, double startTime, double gapSeconds);
    ~VideoFrameTimeline();
    VideoFrameTimeline(const VideoFrameTimeline&) = delete;
    VideoFrameTimeline& operator=(const VideoFrameTimeline&) = delete;

    // Positions the decoder at the start time (or the first file after it) and reads the first
    // frame with a picture. False when there is none before `endTime`.
    bool start(double endTime);
    // The size of the first frame's picture (0 before a successful start).
    uint32_t firstWidthIs();
    uint32_t firstHeightIs();
    // The picture to show at `t` (null: black); the time line keeps it. `sameAsLast` says it is
    // the picture answered last.
    const RgbImage* pictureAt(double t, bool& sameAsLast);
    // Session frames read so far.
    uint64_t framesReadIs();

private:
    // The next frame with a decoded picture, or null at the end of the video.
    std::unique_ptr<VideoSegmentFrame> readFrame();

    std::mutex mutex_;
    VideoDecoder& decoder_;
    const double startTime_;
    const double gapSeconds_;
    bool ended_ = true;
    std::unique_ptr<VideoSegmentFrame> current_;
    std::unique_ptr<VideoSegmentFrame> next_;
    uint64_t currentSerial_ = 0;  // counts the frames made current, from 1
    uint64_t lastShown_ = 0;      // serial of the frame answered last; 0 for black
    bool answered_ = false;
    uint32_t firstWidth_ = 0;
    uint32_t firstHeight_ = 0;
    uint64_t framesRead_ = 0;
};
