#include <gtest/gtest.h>

#include "ImageStreamVideoCodec.h"
#include "JpegImageCompressor.h"
#include "VideoSegmentFrame.h"

namespace {

std::unique_ptr<VideoSegmentFrame> jpegFrame(JpegImageCompressor& compressor, double time,
                                             uint64_t stamp) {
    RgbImage pixels(32, 24);
    EXPECT_TRUE(pixels.allocateBuffer());
    pixels.clearBuffer();
    std::unique_ptr<CompressedImage> jpeg;
    std::string error;
    EXPECT_TRUE(compressor.compress(pixels, jpeg, error));
    return std::make_unique<VideoSegmentFrame>(std::move(jpeg), time, stamp);
}

TEST(ImageStreamVideoCodec, DecodesCompressedFramesOfItsEncodingKeepingTheirTimes) {
    JpegImageCompressor compressor(70, 2, JpegImageCompressor::kFlagBgr);
    ImageStreamVideoCodec codec(&compressor);
    EXPECT_EQ(codec.getName(), "ImageStream");
    auto input = jpegFrame(compressor, 1268652608.25, 123456789);
    const uint32_t storedLength = input->getImage()->getDataLength();
    ASSERT_TRUE(codec.canDecode(*input));

    std::unique_ptr<VideoSegmentFrame> output;
    ASSERT_TRUE(codec.decodeFrame(*input, output));
    ASSERT_TRUE(output);
    EXPECT_EQ(output->getEpochTime(), 1268652608.25);
    EXPECT_EQ(output->getHighResolutionTimeStamp(), 123456789u);
    ASSERT_NE(dynamic_cast<RgbImage*>(output->getImage()), nullptr);
    EXPECT_EQ(output->getImage()->getWidth(), 32u);
    // The input frame is left as it was.
    EXPECT_EQ(input->getImage()->getTypeName(), "Compressed");
    EXPECT_EQ(input->getImage()->getDataLength(), storedLength);

    EXPECT_FALSE(codec.encodeFrame(*output, input));
    EXPECT_FALSE(input);
}

TEST(ImageStreamVideoCodec, RefusesOtherFramesAndUndecodableData) {
    JpegImageCompressor compressor(70, 2, JpegImageCompressor::kFlagBgr);
    ImageStreamVideoCodec codec(&compressor);
    std::unique_ptr<VideoSegmentFrame> output;

    VideoSegmentFrame pixels(std::make_unique<RgbImage>(4, 4), 1.0, 0);
    EXPECT_FALSE(codec.canDecode(pixels));
    EXPECT_FALSE(codec.decodeFrame(pixels, output));

    VideoSegmentFrame otherEncoding(std::make_unique<CompressedImage>(4, 4, 10, "PNG"), 1.0, 0);
    EXPECT_FALSE(codec.canDecode(otherEncoding));

    VideoSegmentFrame noImage(nullptr, 1.0, 0);
    EXPECT_FALSE(codec.canDecode(noImage));

    auto damaged = std::make_unique<CompressedImage>(4, 4, 300, "JPEG");
    damaged->allocateBuffer();
    damaged->clearBuffer();
    damaged->setDataLength(300);
    VideoSegmentFrame zeros(std::move(damaged), 1.0, 0);
    EXPECT_TRUE(codec.canDecode(zeros));
    EXPECT_FALSE(codec.decodeFrame(zeros, output));
    EXPECT_FALSE(output);
}

}  // namespace
