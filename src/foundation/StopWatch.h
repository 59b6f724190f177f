#pragma once

#include <chrono>

// Measures an interval on the monotonic clock.
class StopWatch {
public:
    using Clock = std::chrono::steady_clock;

    StopWatch() = default;
    virtual ~StopWatch() = default;

    // Records the start and clears the stop.
    void start();
    void stop();
    // Seconds from start to stop (negative when stop was not called after start).
    double elapsedSeconds() const;

    // Seconds on the monotonic clock since an arbitrary fixed origin.
    static double monotonicSeconds();

private:
    Clock::time_point start_{};
    Clock::time_point stop_{};
};
