#pragma once

#include <memory>
#include <string>

class VideoSegmentFrame;

// Turns video frames from their stored form into pixels (and, for codecs that can, back).
class VideoCodec {
public:
    explicit VideoCodec(std::string name) : name_(std::move(name)) {}
    virtual ~VideoCodec() = default;

    // Decodes `input` into a new frame in `output` (owned by the caller) with the same times;
    // `input` is left as it was. False, and `output` null, when the frame cannot be decoded.
    virtual bool decodeFrame(const VideoSegmentFrame& input,
                             std::unique_ptr<VideoSegmentFrame>& output) = 0;
    // Encodes `input` into a new frame in `output`; false when not supported or failed.
    virtual bool encodeFrame(const VideoSegmentFrame& input,
                             std::unique_ptr<VideoSegmentFrame>& output) = 0;
    // True when decodeFrame can handle `frame`.
    virtual bool canDecode(const VideoSegmentFrame& frame) = 0;

    const std::string& getName() const { return name_; }

private:
    std::string name_;
};
