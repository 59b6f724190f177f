#pragma once

#include <memory>

#include "ImageCompressor.h"
#include "VideoCodec.h"

// The codec of video stored as a stream of independently compressed pictures (the JPEG frames of
// a KOV file): every frame decodes on its own through an ImageCompressor. Named "ImageStream".
// Used by one thread at a time.
class ImageStreamVideoCodec : public VideoCodec {
public:
    // `compressor` is not owned and must outlive the codec.
    explicit ImageStreamVideoCodec(ImageCompressor* compressor);
    ~ImageStreamVideoCodec() override;

    // Decodes a "Compressed" frame of the compressor's encoding into an RGB frame. A frame the
    // compressor refuses is logged as a warning.
    bool decodeFrame(const VideoSegmentFrame& input,
                     std::unique_ptr<VideoSegmentFrame>& output) override;
    // Not supported: always false.
    bool encodeFrame(const VideoSegmentFrame& input,
                     std::unique_ptr<VideoSegmentFrame>& output) override;
    // True for a frame whose image has the type name "Compressed" and the compressor's encoding.
    bool canDecode(const VideoSegmentFrame& frame) override;

private:
    ImageCompressor* compressor_;
};
