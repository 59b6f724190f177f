#include <gtest/gtest.h>

#include <chrono>

#include "AudioOutputDeviceNoticeQueue.h"
#include "AudioOutputDeviceTestSupport.h"

using Clock = AudioOutputDeviceNoticeQueue::Clock;

TEST(AudioOutputDeviceNoticeQueueTest, DeliversInOrderAtTheirMomentsEvenIfAddedOutOfTime) {
    CompletionRecorder recorder;
    AudioOutputDeviceNoticeQueue queue;
    queue.start(recorder.callback());
    const auto start = Clock::now();
    queue.add(1, start + std::chrono::milliseconds(60));
    // Due earlier, but added later: still answered after the one before it.
    queue.add(2, start + std::chrono::milliseconds(10));
    queue.add(3, start + std::chrono::milliseconds(80));
    ASSERT_TRUE(recorder.waitFor(3));
    const auto notices = recorder.notices();
    ASSERT_EQ(notices.size(), 3u);
    EXPECT_EQ(notices[0].bufferId, 1u);
    EXPECT_EQ(notices[1].bufferId, 2u);
    EXPECT_EQ(notices[2].bufferId, 3u);
    EXPECT_GE(notices[0].arrivedAt, start + std::chrono::milliseconds(60));
    EXPECT_GE(notices[1].arrivedAt, notices[0].arrivedAt);
    EXPECT_GE(notices[2].arrivedAt, start + std::chrono::milliseconds(80));
    EXPECT_EQ(queue.pendingCount(), 0u);
    queue.stop();
    EXPECT_EQ(recorder.count(), 3u);
}

TEST(AudioOutputDeviceNoticeQueueTest, AnswerAllNowFlagsTheUnheardAndAppendsWhatTheDeviceHeld) {
    CompletionRecorder recorder;
    AudioOutputDeviceNoticeQueue queue;
    queue.start(recorder.callback());
    const auto now = Clock::now();
    queue.add(10, now - std::chrono::milliseconds(1));  // heard already
    queue.add(11, now + std::chrono::hours(1));
    queue.add(12, now + std::chrono::hours(2));
    queue.answerAllNow({13, 14});
    // All five are answered by the time it returns.
    const auto notices = recorder.notices();
    ASSERT_EQ(notices.size(), 5u);
    const bool expectedReset[5] = {false, true, true, true, true};
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(notices[i].bufferId, 10 + i);
        EXPECT_EQ(notices[i].wasReset, expectedReset[i]) << "notice " << i;
    }
    // The queue goes on afterwards.
    queue.add(15, Clock::now());
    ASSERT_TRUE(recorder.waitFor(6));
    EXPECT_FALSE(recorder.notices()[5].wasReset);
}

TEST(AudioOutputDeviceNoticeQueueTest, StoppingAnswersEverythingAndWithoutAThreadAnswersInline) {
    CompletionRecorder recorder;
    AudioOutputDeviceNoticeQueue queue;
    queue.start(recorder.callback());
    queue.add(1, Clock::now() + std::chrono::hours(1));
    queue.stop();
    ASSERT_EQ(recorder.count(), 1u);
    EXPECT_TRUE(recorder.notices()[0].wasReset);

    // Stopped: nothing can wait for a thread, so the notices are delivered on the caller's.
    queue.answerAllNow({2});
    ASSERT_EQ(recorder.count(), 2u);
    EXPECT_EQ(recorder.notices()[1].bufferId, 2u);
    EXPECT_TRUE(recorder.notices()[1].wasReset);
}
