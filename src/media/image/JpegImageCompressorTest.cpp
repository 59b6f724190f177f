#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <cstdlib>

#include "JpegImageCompressor.h"

namespace {

// Left half pure blue, right half pure red, in blue-green-red byte order.
std::unique_ptr<RgbImage> blueAndRed(uint32_t width, uint32_t height) {
    auto image = std::make_unique<RgbImage>(width, height);
    EXPECT_TRUE(image->allocateBuffer());
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            uint8_t* pixel = image->row(y) + 3 * x;
            const bool left = x < width / 2;
            pixel[0] = left ? 255 : 0;
            pixel[1] = 0;
            pixel[2] = left ? 0 : 255;
        }
    }
    return image;
}

std::unique_ptr<CompressedImage> compressed(JpegImageCompressor& compressor, const Image& input) {
    std::unique_ptr<CompressedImage> output;
    std::string error;
    EXPECT_TRUE(compressor.compress(input, output, error)) << error;
    return output;
}

int subsamplingOf(const CompressedImage& jpeg) {
    tjhandle handle = tjInitDecompress();
    int width, height, subsampling, colorspace;
    tjDecompressHeader3(handle, jpeg.getData(), jpeg.getDataLength(), &width, &height, &subsampling,
                        &colorspace);
    tjDestroy(handle);
    return subsampling;
}

TEST(JpegImageCompressor, RoundTripsA640x480FrameInBlueGreenRedOrder) {
    JpegImageCompressor compressor(70, 2, JpegImageCompressor::kFlagBgr);
    EXPECT_EQ(compressor.getName(), "JPEG");
    auto source = blueAndRed(640, 480);
    auto jpeg = compressed(compressor, *source);
    ASSERT_TRUE(jpeg);
    EXPECT_EQ(jpeg->getEncodingName(), "JPEG");
    EXPECT_EQ(jpeg->getWidth(), 640u);
    EXPECT_EQ(jpeg->getHeight(), 480u);
    EXPECT_GT(jpeg->getDataLength(), 100u);
    EXPECT_LT(jpeg->getDataLength(), jpeg->getBufferSize());
    EXPECT_EQ(jpeg->getBufferSize(), tjBufSize(640, 480, TJSAMP_420));
    EXPECT_EQ(subsamplingOf(*jpeg), TJSAMP_420);

    std::unique_ptr<RgbImage> pixels;
    std::string error;
    ASSERT_TRUE(compressor.decompress(*jpeg, pixels, error)) << error;
    EXPECT_EQ(pixels->getWidth(), 640u);
    EXPECT_EQ(pixels->getHeight(), 480u);
    EXPECT_EQ(pixels->getPitch(), 1920u);
    EXPECT_EQ(pixels->getBufferSize(), 921600u);
    const uint8_t* left = pixels->row(240) + 3 * 100;
    const uint8_t* right = pixels->row(240) + 3 * 540;
    EXPECT_GT(left[0], 230);
    EXPECT_LT(left[2], 25);
    EXPECT_LT(right[0], 25);
    EXPECT_GT(right[2], 230);
}

TEST(JpegImageCompressor, MapsTheSubsamplingIndexAndHonoursRedGreenBlueOrder) {
    auto source = blueAndRed(64, 32);
    JpegImageCompressor full(90, 0, JpegImageCompressor::kFlagBgr);
    EXPECT_EQ(subsamplingOf(*compressed(full, *source)), TJSAMP_444);
    JpegImageCompressor half(90, 1, JpegImageCompressor::kFlagBgr);
    EXPECT_EQ(subsamplingOf(*compressed(half, *source)), TJSAMP_422);
    JpegImageCompressor grey(90, 3, JpegImageCompressor::kFlagBgr);
    EXPECT_EQ(subsamplingOf(*compressed(grey, *source)), TJSAMP_GRAY);

    // Without the BGR flag the same bytes are red on the left.
    JpegImageCompressor rgb(90, 0, 0);
    auto jpeg = compressed(rgb, *source);
    std::unique_ptr<RgbImage> pixels;
    std::string error;
    ASSERT_TRUE(full.decompress(*jpeg, pixels, error));
    EXPECT_GT(pixels->row(16)[3 * 5 + 2], 230);  // decoded as BGR: red byte high on the left
}

struct NotAnRgbImage : Image {
    NotAnRgbImage() : Image("RGB", 4, 4, 48) {}
    uint32_t getSerializedSize() const override { return 0; }
    uint32_t getSerializedHeaderSize() const override { return 0; }
    bool serializeToBuffer(uint8_t*, uint32_t, uint32_t&) const override { return false; }
    std::unique_ptr<Image> clone() const override { return nullptr; }
    bool deserializeFromBuffer(const uint8_t*, uint32_t, uint32_t&) override { return false; }
};

TEST(JpegImageCompressor, AcceptsOnlyRgbImages) {
    JpegImageCompressor compressor(70, 2, JpegImageCompressor::kFlagBgr);
    std::unique_ptr<CompressedImage> output;
    std::string error;
    CompressedImage notPixels(4, 4, 100, "JPEG");
    EXPECT_FALSE(compressor.compress(notPixels, output, error));
    EXPECT_EQ(error, "JPEG compressor can only handle \"RGB\"; the input image was \"Compressed\"");
    EXPECT_FALSE(output);

    NotAnRgbImage impostor;
    EXPECT_FALSE(compressor.compress(impostor, output, error));
    EXPECT_EQ(error,
              "JPEG compressor can only handle \"RGB\"; the input image was \"RGB\" but the "
              "dynamic_cast still failed.");

    RgbImage unallocated(16, 16);
    EXPECT_FALSE(compressor.compress(unallocated, output, error));
    EXPECT_FALSE(output);
}

TEST(JpegImageCompressor, RefusesDamagedInputWithoutCrashingOrHugeAllocations) {
    JpegImageCompressor compressor(70, 2, JpegImageCompressor::kFlagBgr);
    std::unique_ptr<RgbImage> pixels;
    std::string error;

    CompressedImage garbage(4, 4, 200, "JPEG");
    ASSERT_TRUE(garbage.allocateBuffer());
    for (uint32_t i = 0; i < 200; ++i) {
        garbage.getData()[i] = static_cast<uint8_t>(i * 31 + 7);
    }
    garbage.setDataLength(200);
    EXPECT_FALSE(compressor.decompress(garbage, pixels, error));
    EXPECT_EQ(error.rfind("Parsing JPEG header failed.  tjGetErrorStr():\"", 0), 0u) << error;
    EXPECT_FALSE(pixels);

    // A frame cut short still shows what arrived.
    auto jpeg = compressed(compressor, *blueAndRed(320, 240));
    CompressedImage cut(*jpeg);
    cut.setDataLength(jpeg->getDataLength() / 2);
    ASSERT_TRUE(compressor.decompress(cut, pixels, error)) << error;
    EXPECT_EQ(pixels->getWidth(), 320u);

    // A header claiming 60000 x 60000 pixels is refused before any pixel memory is asked for.
    CompressedImage giant(*jpeg);
    uint8_t* bytes = giant.getData();
    bool patched = false;
    for (uint32_t i = 0; i + 9 < giant.getDataLength(); ++i) {
        if (bytes[i] == 0xFF && bytes[i + 1] == 0xC0) {  // start of frame: height, width at +5
            bytes[i + 5] = 0xEA;
            bytes[i + 6] = 0x60;
            bytes[i + 7] = 0xEA;
            bytes[i + 8] = 0x60;
            patched = true;
            break;
        }
    }
    ASSERT_TRUE(patched);
    EXPECT_FALSE(compressor.decompress(giant, pixels, error));
    EXPECT_NE(error.find("60000 x 60000"), std::string::npos) << error;
    EXPECT_FALSE(pixels);
}

}  // namespace
