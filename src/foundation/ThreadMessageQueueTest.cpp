#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "ThreadMessageQueue.h"

namespace {

TEST(ThreadMessageQueueTest, PeekTakesMessagesInPostOrder) {
    ThreadMessageQueue queue;
    ThreadMessage message;
    EXPECT_FALSE(queue.peek(message));
    queue.post(1025, 7, -3);
    queue.post(1026);
    EXPECT_EQ(queue.size(), 2u);
    ASSERT_TRUE(queue.peek(message));
    EXPECT_EQ(message.message, 1025u);
    EXPECT_EQ(message.wParam, 7u);
    EXPECT_EQ(message.lParam, -3);
    ASSERT_TRUE(queue.peek(message));
    EXPECT_EQ(message.message, 1026u);
    EXPECT_FALSE(queue.peek(message));
}

TEST(ThreadMessageQueueTest, TimedGetReturnsFalseWhenNothingCame) {
    ThreadMessageQueue queue;
    ThreadMessage message;
    EXPECT_FALSE(queue.getFor(message, std::chrono::milliseconds(10)));
    queue.post(5);
    queue.clear();
    EXPECT_FALSE(queue.getFor(message, std::chrono::milliseconds(1)));
}

TEST(ThreadMessageQueueTest, BlockingGetReceivesFromManyPosters) {
    ThreadMessageQueue queue;
    constexpr int kPosters = 4;
    constexpr int kEach = 500;
    std::vector<std::thread> posters;
    for (int p = 0; p < kPosters; ++p) {
        posters.emplace_back([&queue, p] {
            for (int i = 0; i < kEach; ++i) {
                queue.post(static_cast<uint32_t>(p), static_cast<uint64_t>(i));
            }
        });
    }
    std::vector<uint64_t> next(kPosters, 0);
    for (int received = 0; received < kPosters * kEach; ++received) {
        ThreadMessage message;
        queue.get(message);
        ASSERT_LT(message.message, static_cast<uint32_t>(kPosters));
        // Each poster's messages arrive in the order it posted them.
        EXPECT_EQ(message.wParam, next[message.message]++);
    }
    for (auto& poster : posters) {
        poster.join();
    }
    EXPECT_EQ(queue.size(), 0u);
}

}  // namespace
