#pragma once

#include <atomic>

// A process-wide count of the live objects of one family, kept as a leak diagnostic: a class
// holds a LiveInstanceCounter<Family> member, and copies and moves count as new objects.
template <typename Family>
class LiveInstanceCounter {
public:
    LiveInstanceCounter() { count_.fetch_add(1, std::memory_order_relaxed); }
    LiveInstanceCounter(const LiveInstanceCounter&) : LiveInstanceCounter() {}
    LiveInstanceCounter& operator=(const LiveInstanceCounter&) { return *this; }
    ~LiveInstanceCounter() { count_.fetch_sub(1, std::memory_order_relaxed); }

    static long liveInstances() { return count_.load(std::memory_order_relaxed); }

private:
    static inline std::atomic<long> count_{0};
};
