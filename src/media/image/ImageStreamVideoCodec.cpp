#include "ImageStreamVideoCodec.h"

#include "AvDebugLogger.h"
#include "PointerChecks.h"
#include "VideoSegmentFrame.h"

ImageStreamVideoCodec::ImageStreamVideoCodec(ImageCompressor* compressor)
    : VideoCodec("ImageStream"), compressor_(compressor) {
    CHECK_POINTER(compressor_);
}

ImageStreamVideoCodec::~ImageStreamVideoCodec() = default;

bool ImageStreamVideoCodec::canDecode(const VideoSegmentFrame& frame) {
    const auto* image = dynamic_cast<const CompressedImage*>(frame.getImage());
    return image != nullptr && image->getTypeName() == CompressedImage::kTypeName &&
           image->getEncodingName() == compressor_->getName();
}

bool ImageStreamVideoCodec::decodeFrame(const VideoSegmentFrame& input,
                                        std::unique_ptr<VideoSegmentFrame>& output) {
    output.reset();
    if (!canDecode(input)) {
        return false;
    }
    std::unique_ptr<RgbImage> pixels;
    std::string errorText;
    if (!compressor_->decompress(*static_cast<const CompressedImage*>(input.getImage()), pixels,
                                 errorText)) {
        AvDebugLogger::instance().log(AvDebugLogger::kWarning,
                                      "ImageStreamVideoCodec::decodeFrame(): frame at %0.4f not "
                                      "decoded: %s",
                                      input.getEpochTime(), errorText.c_str());
        return false;
    }
    output = std::make_unique<VideoSegmentFrame>(std::move(pixels), input.getEpochTime(),
                                                 input.getHighResolutionTimeStamp());
    return true;
}

bool ImageStreamVideoCodec::encodeFrame(const VideoSegmentFrame&,
                                        std::unique_ptr<VideoSegmentFrame>& output) {
    output.reset();
    return false;
}
