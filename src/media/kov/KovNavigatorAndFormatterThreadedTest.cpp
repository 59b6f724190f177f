// One navigator shared by a reading thread and a positioning thread, as the decoder and the
// user interface share a video file's navigator.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "KovNavigatorAndFormatter.h"
#include "KovTestSupport.h"

namespace {

using namespace kovtest;

TEST(KovNavigatorAndFormatterThreaded, ReadingAndPositioningFromTwoThreadsStayConsistent) {
    TemporaryDirectory scratch{"kov-test-"};
    const std::string path = scratch.file("shared.kov");
    constexpr double kStart = 1268652608.0;
    ASSERT_TRUE(writeKovFile(path, evenTimes(kStart, 0.1, 400), 200));
    KovNavigatorAndFormatter navigator;
    navigator.setFileName(path, true);

    std::atomic<bool> stop{false};
    std::atomic<int> badFrames{0};
    std::atomic<int> framesRead{0};
    std::thread decoder([&] {
        while (!stop) {
            std::unique_ptr<VideoSegmentFrame> frame;
            if (navigator.getCurrentFrameAndAdvance(frame, nullptr)) {
                ++framesRead;
                const double time = frame->getEpochTime();
                if (time < kStart || time > kStart + 39.9 + 1e-6 ||
                    frame->getImage()->getDataLength() != 200) {
                    ++badFrames;
                }
            } else {
                navigator.setCurrentFrameByTimeOffsetFromStart(0.0, 1.0f);
            }
        }
    });
    int positioned = 0;
    for (int i = 0; i < 300; ++i) {
        const double target = kStart + (i * 7919 % 400) * 0.1;
        if (navigator.setCurrentFrameByWallClockTime(target, 0.5f)) {
            ++positioned;
        }
        navigator.getCurrentTimeOffsetFromStart();
        if (i % 50 == 0) {
            navigator.refreshIfFileChanged(true);
        }
    }
    stop = true;
    decoder.join();
    EXPECT_EQ(badFrames, 0);
    EXPECT_GT(framesRead, 0);
    EXPECT_EQ(positioned, 300);
}

}  // namespace
