#include "CountingSemaphore.h"

#include <algorithm>

CountingSemaphore::CountingSemaphore(long initialCount, long maximumCount)
    : count_(std::clamp(initialCount, 0L, std::max(maximumCount, 0L))),
      maximum_(std::max(maximumCount, 0L)) {}

void CountingSemaphore::wait() {
    std::unique_lock guard(mutex_);
    available_.wait(guard, [this] { return count_ > 0; });
    --count_;
}

bool CountingSemaphore::waitFor(std::chrono::milliseconds timeout) {
    std::unique_lock guard(mutex_);
    if (!available_.wait_for(guard, timeout, [this] { return count_ > 0; })) {
        return false;
    }
    --count_;
    return true;
}

bool CountingSemaphore::release(long count, long* previousCount) {
    {
        std::lock_guard guard(mutex_);
        if (count < 1 || count > maximum_ - count_) {
            return false;
        }
        if (previousCount != nullptr) {
            *previousCount = count_;
        }
        count_ += count;
    }
    if (count == 1) {
        available_.notify_one();
    } else {
        available_.notify_all();
    }
    return true;
}

long CountingSemaphore::count() const {
    std::lock_guard guard(mutex_);
    return count_;
}
