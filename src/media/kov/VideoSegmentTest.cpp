#include <gtest/gtest.h>

#include "CompressedImage.h"
#include "RgbImage.h"
#include "VideoSegment.h"

namespace {

// Records what the segment asks and hands out frames of 500 bytes at 1.0, 2.0, ...
class FakeNavigator : public VideoSegmentNavigator {
public:
    bool setCurrentFrameByWallClockTime(double time, float tolerance) override {
        calls += "wall(" + std::to_string(time) + "," + std::to_string(tolerance) + ")";
        return true;
    }
    bool setCurrentFrameByTimeOffsetFromStart(double offset, float tolerance) override {
        calls += "start(" + std::to_string(offset) + "," + std::to_string(tolerance) + ")";
        return false;
    }
    bool setCurrentFrameByTimeOffsetFromCurrent(double, float) override { return false; }
    bool reservedOperation(void*) override { return false; }
    bool getCurrentFrame(std::unique_ptr<VideoSegmentFrame>&) override { return false; }
    bool getCurrentFrameAndAdvance(std::unique_ptr<VideoSegmentFrame>& frame,
                                   bool* endOfFile) override {
        if (framesLeft == 0) {
            *endOfFile = true;
            return false;
        }
        --framesLeft;
        auto image = std::make_unique<CompressedImage>(8, 8, 500, "JPEG");
        image->allocateBuffer();
        frame = std::make_unique<VideoSegmentFrame>(std::move(image), ++time, 7);
        *endOfFile = framesLeft == 0;
        return true;
    }
    double getCurrentFrameEpochTime() override { return time; }
    float getCurrentTimeOffsetFromStart() override { return 0; }
    double getFirstFrameEpochTime() override { return 1.0; }
    float getTotalDuration() override { return 0; }

    std::string calls;
    int framesLeft = 2;
    double time = 0;
};

// Decodes frames whose time is below 2 into 2 x 2 pixels; refuses the rest.
class FakeCodec : public VideoCodec {
public:
    FakeCodec() : VideoCodec("fake") {}
    bool decodeFrame(const VideoSegmentFrame& input,
                     std::unique_ptr<VideoSegmentFrame>& output) override {
        if (input.getEpochTime() >= 2.0) {
            return false;
        }
        output = std::make_unique<VideoSegmentFrame>(std::make_unique<RgbImage>(2, 2),
                                                     input.getEpochTime(),
                                                     input.getHighResolutionTimeStamp());
        return true;
    }
    bool encodeFrame(const VideoSegmentFrame&, std::unique_ptr<VideoSegmentFrame>&) override {
        return false;
    }
    bool canDecode(const VideoSegmentFrame&) override { return true; }
};

TEST(VideoSegment, PassesPositioningToTheNavigator) {
    FakeNavigator navigator;
    FakeCodec codec;
    VideoSegment segment(&navigator, &codec);
    EXPECT_TRUE(segment.setPositionByEpochTime(1268652608.5, 0.25f));
    EXPECT_FALSE(segment.setPositionByTimeOffsetFromStart(3.0, 1.0f));
    EXPECT_FALSE(segment.setPositionByTimeOffsetFromCurrent(1.0, 1.0f));
    EXPECT_EQ(navigator.calls, "wall(1268652608.500000,0.250000)start(3.000000,1.000000)");
}

TEST(VideoSegment, HandsOutStoredOrDecodedFramesAndDestroysWhatItDoesNotHandOut) {
    FakeNavigator navigator;
    FakeCodec codec;
    VideoSegment segment(&navigator, &codec);
    const long framesBefore = VideoSegmentFrame::liveInstances();
    const long imagesBefore = Image::liveInstances();
    std::unique_ptr<VideoSegmentFrame> frame;
    bool endOfFile = true;

    ASSERT_TRUE(segment.getNextUncompressedFrame(frame, &endOfFile));
    EXPECT_FALSE(endOfFile);
    EXPECT_EQ(frame->getEpochTime(), 1.0);
    EXPECT_EQ(frame->getHighResolutionTimeStamp(), 7u);
    EXPECT_EQ(frame->getImage()->getTypeName(), "RGB");
    EXPECT_EQ(VideoSegmentFrame::liveInstances(), framesBefore + 1);  // the stored one is gone
    EXPECT_EQ(Image::liveInstances(), imagesBefore + 1);

    // Decoding fails: the stored frame is destroyed and nothing is handed out.
    EXPECT_FALSE(segment.getNextUncompressedFrame(frame, &endOfFile));
    EXPECT_FALSE(frame);
    EXPECT_TRUE(endOfFile);
    EXPECT_EQ(VideoSegmentFrame::liveInstances(), framesBefore);
    EXPECT_EQ(Image::liveInstances(), imagesBefore);

    navigator.framesLeft = 1;
    ASSERT_TRUE(segment.getNextCompressedFrame(frame, &endOfFile));
    EXPECT_EQ(frame->getImage()->getTypeName(), "Compressed");
    EXPECT_FALSE(segment.getNextCompressedFrame(frame, &endOfFile));
    EXPECT_TRUE(endOfFile);
}

}  // namespace
