#include <gtest/gtest.h>

#include "KovCompressedVideoFile.h"
#include "KovTestSupport.h"
#include "SyntheticKovWriter.h"

namespace {

using namespace kovtest;

constexpr double kStart = 1268652608.25;

// Reads the caption back from the pixels: each font cell is sampled at its centre.
std::string readCaption(const RgbImage& image) {
    const auto layout = SyntheticKovWriter::captionLayout(image.getWidth(), image.getHeight());
    const std::string alphabet = "0123456789-:. ";
    std::string text;
    for (uint32_t k = 0; k < 23; ++k) {
        uint8_t rows[SyntheticKovWriter::kGlyphHeight] = {};
        for (uint32_t row = 0; row < SyntheticKovWriter::kGlyphHeight; ++row) {
            for (uint32_t column = 0; column < SyntheticKovWriter::kGlyphWidth; ++column) {
                const uint32_t x = layout.x +
                                   (k * SyntheticKovWriter::kGlyphAdvance + column) * layout.scale +
                                   layout.scale / 2;
                const uint32_t y = layout.y + row * layout.scale + layout.scale / 2;
                const uint8_t* pixel = image.row(y) + 3 * x;
                if (pixel[0] + pixel[1] + pixel[2] > 3 * 128) {
                    rows[row] |= 0x10 >> column;
                }
            }
        }
        char found = '?';
        for (char c : alphabet) {
            if (std::equal(rows, rows + SyntheticKovWriter::kGlyphHeight,
                           SyntheticKovWriter::glyph(c))) {
                found = c;
            }
        }
        text += found;
    }
    return text;
}

SyntheticKovWriter::Settings settings(uint32_t width, uint32_t height, uint32_t rate,
                                      double seconds) {
    SyntheticKovWriter::Settings result;
    result.width = width;
    result.height = height;
    result.frameRate = rate;
    result.startTime = kStart;
    result.durationSeconds = seconds;
    return result;
}

TEST(SyntheticKovWriter, CaptionsAreTheUtcTimeToTheMillisecond) {
    EXPECT_EQ(SyntheticKovWriter::caption(kStart), "2010-03-15 11:30:08.250");
    EXPECT_EQ(SyntheticKovWriter::caption(946684800.999), "2000-01-01 00:00:00.999");
    for (char c : SyntheticKovWriter::caption(kStart)) {
        EXPECT_NE(SyntheticKovWriter::glyph(c), nullptr) << c;
    }
    EXPECT_EQ(SyntheticKovWriter::glyph('x'), nullptr);
}

TEST(SyntheticKovWriter, WritesAValidFileWhoseFramesShowTheirOwnTime) {
    TemporaryDirectory scratch{"kov-test-"};
    const std::string path = scratch.file("Demo~4b9e1a40~250~1~0~0.kov");
    SyntheticKovWriter writer(settings(640, 480, 10, 2.0));
    EXPECT_EQ(writer.frameCount(), 20u);
    std::string error;
    ASSERT_TRUE(writer.write(path, error)) << error;

    KovCompressedVideoFile file(path);
    ASSERT_TRUE(file.isValid());
    EXPECT_EQ(file.getStartTime(), kStart);
    EXPECT_FLOAT_EQ(file.getDuration(), 1.9f);
    const KovFileHeader header = file.navigator().fileHeaderIs();
    EXPECT_EQ(header.getFrameWidth(), 640u);
    EXPECT_EQ(header.getFrameHeight(), 480u);
    EXPECT_EQ(header.getTargetFrameRate(), 10u);
    EXPECT_EQ(header.getFrameEncoding(), "JPEG");
    EXPECT_EQ(header.getStartTime(), kStart);

    std::unique_ptr<VideoSegmentFrame> frame;
    uint32_t index = 0;
    while (file.getNextFrame(frame, nullptr, false)) {
        EXPECT_EQ(frame->getEpochTime(), writer.frameTime(index));
        EXPECT_EQ(frame->getHighResolutionTimeStamp(), writer.frameTimeStamp(index));
        if (index % 7 == 0) {
            EXPECT_EQ(readCaption(static_cast<RgbImage&>(*frame->getImage())),
                      SyntheticKovWriter::caption(frame->getEpochTime()));
        }
        ++index;
    }
    EXPECT_EQ(index, 20u);
    EXPECT_EQ(SyntheticKovWriter::caption(writer.frameTime(19)), "2010-03-15 11:30:10.150");
}

TEST(SyntheticKovWriter, WritesAnySizeAndThroughACallback) {
    TemporaryDirectory scratch{"kov-test-"};
    // Smaller than the caption: it is clipped, the frames are still valid.
    SyntheticKovWriter tiny(settings(16, 8, 25, 0.2));
    const std::string path = scratch.file("tiny.kov");
    std::string error;
    ASSERT_TRUE(tiny.write(path, error)) << error;
    KovCompressedVideoFile file(path);
    EXPECT_TRUE(file.isValid());
    EXPECT_EQ(rawTimes(path).size(), 5u);

    std::string viaCallback;
    auto collect = [](void* context, double, const uint8_t* bytes, uint32_t count,
                      const std::string*, bool) {
        static_cast<std::string*>(context)->append(reinterpret_cast<const char*>(bytes), count);
        return true;
    };
    ASSERT_TRUE(tiny.write("ignored", error, collect, &viaCallback));
    EXPECT_EQ(viaCallback, readBytes(path));

    // A duration shorter than a frame still gives one frame.
    EXPECT_EQ(SyntheticKovWriter(settings(16, 8, 25, 0.0)).frameCount(), 1u);
}

TEST(SyntheticKovWriter, RefusesUnusableSettingsAndUnwritablePaths) {
    std::string error;
    EXPECT_FALSE(SyntheticKovWriter(settings(0, 480, 20, 1)).write("/tmp/never.kov", error));
    EXPECT_EQ(error, "Frame sides must be between 1 and 8192.");
    EXPECT_FALSE(SyntheticKovWriter(settings(640, 480, 0, 1)).write("/tmp/never.kov", error));
    EXPECT_FALSE(SyntheticKovWriter(settings(640, 480, 20, -1)).write("/tmp/never.kov", error));
    EXPECT_FALSE(SyntheticKovWriter(settings(8, 8, 20, 1)).write("/nonexistent/dir/x.kov", error));
    EXPECT_EQ(error.rfind("Could not write \"/nonexistent/dir/x.kov\": ", 0), 0u) << error;
}

}  // namespace
