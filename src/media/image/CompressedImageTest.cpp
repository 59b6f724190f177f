#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "ByteOrder.h"
#include "CompressedImage.h"
#include "RgbImage.h"

namespace {

std::unique_ptr<CompressedImage> imageWithData(uint32_t length) {
    auto image = std::make_unique<CompressedImage>(640, 480, length + 24, "JPEG");
    EXPECT_TRUE(image->allocateBuffer());
    for (uint32_t i = 0; i < length; ++i) {
        image->getData()[i] = static_cast<uint8_t>(i * 7);
    }
    EXPECT_TRUE(image->setDataLength(length));
    return image;
}

std::vector<uint8_t> serialized(const CompressedImage& image) {
    std::vector<uint8_t> bytes(image.getSerializedSize());
    uint32_t written = 0;
    EXPECT_TRUE(
        image.serializeToBuffer(bytes.data(), static_cast<uint32_t>(bytes.size()), written));
    EXPECT_EQ(written, bytes.size());
    return bytes;
}

TEST(CompressedImage, SerializesToTheDocumentedLayoutAndBack) {
    auto image = imageWithData(1000);
    EXPECT_EQ(image->getSerializedSize(), 28u + 11u + 5u + 1000u);
    EXPECT_EQ(image->getSerializedHeaderSize(), 28u);
    const std::vector<uint8_t> bytes = serialized(*image);
    ASSERT_EQ(bytes.size(), 1044u);
    EXPECT_EQ(ByteOrder::readLittleEndian32(&bytes[0]), 640u);
    EXPECT_EQ(ByteOrder::readLittleEndian32(&bytes[4]), 480u);
    EXPECT_EQ(ByteOrder::readLittleEndian32(&bytes[8]), 1024u);   // buffer size
    EXPECT_EQ(ByteOrder::readLittleEndian32(&bytes[12]), 1000u);  // data length
    EXPECT_EQ(ByteOrder::readLittleEndian32(&bytes[16]), 1024u);  // maximum data size
    EXPECT_EQ(ByteOrder::readLittleEndian32(&bytes[20]), 11u);
    EXPECT_EQ(ByteOrder::readLittleEndian32(&bytes[24]), 5u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[28]), 11),
              std::string("Compressed\0", 11));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[39]), 5), std::string("JPEG\0", 5));
    EXPECT_EQ(bytes[44], image->getData()[0]);
    EXPECT_EQ(bytes[1043], image->getData()[999]);

    CompressedImage back(0, 0, 0, "");
    uint32_t read = 0;
    ASSERT_TRUE(
        back.deserializeFromBuffer(bytes.data(), static_cast<uint32_t>(bytes.size()), read));
    EXPECT_EQ(read, 1044u);
    EXPECT_EQ(back.getTypeName(), "Compressed");
    EXPECT_EQ(back.getEncodingName(), "JPEG");
    EXPECT_EQ(back.getWidth(), 640u);
    EXPECT_EQ(back.getHeight(), 480u);
    EXPECT_EQ(back.getDataLength(), 1000u);
    EXPECT_EQ(back.getMaximumDataSize(), 1024u);
    EXPECT_EQ(back.getBufferSize(), 1024u);
    EXPECT_EQ(0, std::memcmp(back.getData(), image->getData(), 1000));

    // Too small a target buffer is refused.
    std::vector<uint8_t> small(1043);
    uint32_t written = 99;
    EXPECT_FALSE(image->serializeToBuffer(small.data(), 1043, written));
    EXPECT_EQ(written, 0u);
}

TEST(CompressedImage, RefusesMalformedSerializedImagesAndStaysUnchanged) {
    const std::vector<uint8_t> good = serialized(*imageWithData(1000));
    // True when the bytes are refused and the image keeps what it held.
    auto refused = [](std::vector<uint8_t> bytes, uint32_t size) {
        CompressedImage image(1, 2, 3, "keep");
        uint32_t read = 7;
        const bool ok = image.deserializeFromBuffer(bytes.data(), size, read);
        return !ok && read == 0 && image.getEncodingName() == "keep" && image.getWidth() == 1u;
    };
    EXPECT_TRUE(refused(good, 27));                                      // shorter than the fields
    EXPECT_TRUE(refused(good, static_cast<uint32_t>(good.size() - 1)));  // data cut short
    auto patched = [&](size_t offset, uint32_t value) {
        std::vector<uint8_t> bytes = good;
        ByteOrder::writeLittleEndian32(&bytes[offset], value);
        return bytes;
    };
    EXPECT_TRUE(refused(patched(20, 1026), 1044));        // type name longer than 1025
    EXPECT_TRUE(refused(patched(24, 1026), 1044));        // encoding name longer than 1025
    EXPECT_TRUE(refused(patched(12, 6000000), 1044));     // data over 5 MB
    EXPECT_TRUE(refused(patched(16, 999), 1044));         // data beyond the maximum size
    EXPECT_TRUE(refused(patched(16, 0xFFFFFFFF), 1044));  // a buffer of 4 GB
    // The largest buffer a frame may legitimately declare is accepted.
    std::vector<uint8_t> largest = patched(16, CompressedImage::kMaximumSerializedBufferSize);
    CompressedImage image(0, 0, 0, "");
    uint32_t read = 0;
    EXPECT_TRUE(image.deserializeFromBuffer(largest.data(), 1044, read));
    EXPECT_EQ(image.getBufferSize(), CompressedImage::kMaximumSerializedBufferSize);
}

TEST(CompressedImage, CopiesAreDeepAndCountedAsLiveImages) {
    const long before = Image::liveInstances();
    {
        auto image = imageWithData(100);
        std::unique_ptr<Image> copy = image->clone();
        EXPECT_EQ(Image::liveInstances(), before + 2);
        ASSERT_NE(copy->getData(), image->getData());
        copy->getData()[0] = 99;
        EXPECT_NE(image->getData()[0], 99);
        EXPECT_EQ(copy->getDataLength(), 100u);
        EXPECT_EQ(static_cast<CompressedImage&>(*copy).getEncodingName(), "JPEG");
        EXPECT_FALSE(image->setDataLength(image->getBufferSize() + 1));
        EXPECT_EQ(image->getDataLength(), 100u);
        copy->clearBuffer();
        EXPECT_EQ(copy->getData()[0], 0);
    }
    EXPECT_EQ(Image::liveInstances(), before);
}

TEST(CompressedImage, StreamExtractionFillsTheBufferOrFailsTheStream) {
    CompressedImage image(8, 8, 5, "JPEG");
    ASSERT_TRUE(image.allocateBuffer());
    std::istringstream full(std::string("abcdefg"));
    full >> image;
    EXPECT_FALSE(full.fail());
    EXPECT_EQ(image.getDataLength(), 5u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(image.getData()), 5), "abcde");

    CompressedImage shortOne(8, 8, 5, "JPEG");
    ASSERT_TRUE(shortOne.allocateBuffer());
    std::istringstream cut(std::string("abc"));
    testing::internal::CaptureStderr();
    cut >> shortOne;
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(cut.fail());
    EXPECT_EQ(shortOne.getDataLength(), 0u);
    EXPECT_NE(said.find("operator>> (CompressedImage): Error! Failure during read."),
              std::string::npos);
}

TEST(RgbImage, HasThreeBytesPerPixelAndDoesNotSerialize) {
    RgbImage image(640, 480);
    EXPECT_EQ(image.getTypeName(), "RGB");
    EXPECT_EQ(image.getPitch(), 1920u);
    EXPECT_EQ(image.getBufferSize(), 921600u);
    ASSERT_TRUE(image.allocateBuffer());
    EXPECT_EQ(image.getDataLength(), 921600u);
    EXPECT_EQ(image.row(1) - image.row(0), 1920);
    EXPECT_EQ(image.getSerializedSize(), 0u);
    uint8_t buffer[64];
    uint32_t count = 5;
    EXPECT_FALSE(image.serializeToBuffer(buffer, sizeof buffer, count));
    EXPECT_FALSE(image.deserializeFromBuffer(buffer, sizeof buffer, count));
    EXPECT_EQ(count, 0u);

    // A size whose buffer would not fit 32 bits cannot be allocated.
    RgbImage huge(70000, 70000);
    EXPECT_FALSE(huge.allocateBuffer());
    EXPECT_EQ(huge.getData(), nullptr);
}

}  // namespace
