#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

// A semaphore with a maximum count: waits take one unit, releases add units but never beyond the
// maximum (such a release fails and changes nothing).
class CountingSemaphore {
public:
    CountingSemaphore(long initialCount, long maximumCount);
    CountingSemaphore(const CountingSemaphore&) = delete;
    CountingSemaphore& operator=(const CountingSemaphore&) = delete;

    // Waits until a unit is available and takes it.
    void wait();
    // Waits at most `timeout` (zero: only tries); true when a unit was taken.
    bool waitFor(std::chrono::milliseconds timeout);
    bool tryWait() { return waitFor(std::chrono::milliseconds::zero()); }
    // Adds `count` units; false (and no change) when that would pass the maximum or count < 1.
    // `previousCount`, when given, receives the count before the release.
    bool release(long count = 1, long* previousCount = nullptr);

    long count() const;
    long maximumCount() const { return maximum_; }

private:
    mutable std::mutex mutex_;
    std::condition_variable available_;
    long count_;
    const long maximum_;
};
