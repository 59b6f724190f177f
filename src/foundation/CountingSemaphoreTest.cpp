#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "CountingSemaphore.h"

namespace {

using std::chrono::milliseconds;

TEST(CountingSemaphoreTest, CountsBetweenZeroAndTheMaximum) {
    CountingSemaphore semaphore(1, 2);
    EXPECT_TRUE(semaphore.tryWait());
    EXPECT_FALSE(semaphore.tryWait());
    long previous = -1;
    EXPECT_TRUE(semaphore.release(1, &previous));
    EXPECT_EQ(previous, 0);
    EXPECT_TRUE(semaphore.release());
    EXPECT_EQ(semaphore.count(), 2);
    // A release past the maximum fails and changes nothing.
    EXPECT_FALSE(semaphore.release());
    EXPECT_FALSE(semaphore.release(0));
    EXPECT_EQ(semaphore.count(), 2);
    EXPECT_TRUE(semaphore.tryWait());
    EXPECT_FALSE(semaphore.release(2));
    EXPECT_EQ(semaphore.count(), 1);
}

TEST(CountingSemaphoreTest, InitialCountIsBoundedByTheMaximum) {
    CountingSemaphore semaphore(5, 3);
    EXPECT_EQ(semaphore.count(), 3);
    EXPECT_EQ(semaphore.maximumCount(), 3);
}

TEST(CountingSemaphoreTest, TimedWaitTimesOutWhenEmpty) {
    CountingSemaphore semaphore(0, 1);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(semaphore.waitFor(milliseconds(30)));
    EXPECT_GE(std::chrono::steady_clock::now() - start, milliseconds(30));
}

TEST(CountingSemaphoreTest, ReleaseWakesAWaiter) {
    CountingSemaphore semaphore(0, 1);
    std::atomic<bool> woke{false};
    std::thread waiter([&] {
        semaphore.wait();
        woke = true;
    });
    std::this_thread::sleep_for(milliseconds(20));
    EXPECT_FALSE(woke.load());
    EXPECT_TRUE(semaphore.release());
    waiter.join();
    EXPECT_TRUE(woke.load());
    EXPECT_EQ(semaphore.count(), 0);
}

TEST(CountingSemaphoreTest, ProducersAndConsumersBalance) {
    constexpr int kItems = 2000;
    CountingSemaphore slots(4, 4);
    CountingSemaphore filled(0, 4);
    std::atomic<int> consumed{0};
    std::thread producer([&] {
        for (int i = 0; i < kItems; ++i) {
            slots.wait();
            ASSERT_TRUE(filled.release());
        }
    });
    std::vector<std::thread> consumers;
    for (int c = 0; c < 2; ++c) {
        consumers.emplace_back([&] {
            while (consumed.load() < kItems) {
                if (filled.waitFor(milliseconds(5))) {
                    ++consumed;
                    ASSERT_TRUE(slots.release());
                }
            }
        });
    }
    producer.join();
    for (auto& consumer : consumers) {
        consumer.join();
    }
    EXPECT_EQ(consumed.load(), kItems);
    EXPECT_EQ(slots.count(), 4);
    EXPECT_EQ(filled.count(), 0);
}

}  // namespace
