#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "AudioOutputDevice.h"

// Collects the completion notices of one device, with the moment each arrived.
class CompletionRecorder {
public:
    using Clock = std::chrono::steady_clock;

    struct Notice {
        AudioOutputDevice::BufferId bufferId = 0;
        bool wasReset = false;
        Clock::time_point arrivedAt;
    };

    // The callback to hand to setCompletionCallback(); the recorder must outlive the device.
    AudioOutputDevice::CompletionCallback callback();

    // Waits at most `timeout` for `count` notices in all; true when they came.
    bool waitFor(size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(10));
    std::vector<Notice> notices() const;
    size_t count() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<Notice> notices_;
};

// `count` samples of a recognisable ramp starting at `first`.
std::vector<int16_t> rampSamples(size_t count, int16_t first = 0);
