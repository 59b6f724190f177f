#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "AudioOutputDevice.h"

// The notice thread every audio output device delivers its completion notices on: notices are
// added with the moment their buffer has been heard and are delivered, in the order added, once
// that moment has come, by calling the completion callback outside the queue's lock.
class AudioOutputDeviceNoticeQueue {
public:
    using Clock = std::chrono::steady_clock;

    AudioOutputDeviceNoticeQueue() = default;
    // Stops the thread; notices not yet delivered are delivered at once, flagged as reset.
    ~AudioOutputDeviceNoticeQueue();
    AudioOutputDeviceNoticeQueue(const AudioOutputDeviceNoticeQueue&) = delete;
    AudioOutputDeviceNoticeQueue& operator=(const AudioOutputDeviceNoticeQueue&) = delete;

    // Starts the notice thread with the callback to deliver to (may be empty: notices are then
    // dropped). Does nothing when it runs already.
    void start(AudioOutputDevice::CompletionCallback callback);
    // Answers every notice (see answerAllNow) and stops the thread.
    void stop();

    // Adds the notice of `bufferId`, to be delivered at `heardAt` (or, if an earlier notice is due
    // later, right after it).
    void add(AudioOutputDevice::BufferId bufferId, Clock::time_point heardAt);
    // Delivers every notice not yet delivered at once, flagged as reset, followed by the notices
    // of `notYetAdded` (buffers the device still held), also flagged as reset; returns once they
    // have all been delivered. Notices whose moment had already come are delivered as played.
    void answerAllNow(const std::vector<AudioOutputDevice::BufferId>& notYetAdded = {});

    // Notices added and not yet delivered.
    size_t pendingCount() const;

private:
    struct Notice {
        AudioOutputDevice::BufferId bufferId = 0;
        Clock::time_point heardAt;
        bool wasReset = false;
    };

    void run();

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Notice> notices_;
    AudioOutputDevice::CompletionCallback callback_;
    uint64_t addedCount_ = 0;
    uint64_t deliveredCount_ = 0;
    bool running_ = false;
    bool stopping_ = false;
    std::thread thread_;
};
