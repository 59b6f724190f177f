#include "AudioOutputDeviceNoticeQueue.h"

#include <utility>

AudioOutputDeviceNoticeQueue::~AudioOutputDeviceNoticeQueue() {
    stop();
}

void AudioOutputDeviceNoticeQueue::start(AudioOutputDevice::CompletionCallback callback) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (running_) {
        return;
    }
    callback_ = std::move(callback);
    stopping_ = false;
    running_ = true;
    thread_ = std::thread(&AudioOutputDeviceNoticeQueue::run, this);
}

void AudioOutputDeviceNoticeQueue::stop() {
    answerAllNow();
    std::thread thread;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!running_) {
            return;
        }
        stopping_ = true;
        thread = std::move(thread_);
    }
    changed_.notify_all();
    thread.join();
    std::lock_guard<std::mutex> lock(mutex_);
    running_ = false;
    stopping_ = false;
}

void AudioOutputDeviceNoticeQueue::add(AudioOutputDevice::BufferId bufferId,
                                       Clock::time_point heardAt) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        notices_.push_back(Notice{bufferId, heardAt, false});
        ++addedCount_;
    }
    changed_.notify_all();
}

void AudioOutputDeviceNoticeQueue::answerAllNow(
    const std::vector<AudioOutputDevice::BufferId>& notYetAdded) {
    std::unique_lock<std::mutex> lock(mutex_);
    const Clock::time_point now = Clock::now();
    for (Notice& notice : notices_) {
        if (notice.heardAt > now) {
            notice.wasReset = true;
        }
    }
    for (AudioOutputDevice::BufferId bufferId : notYetAdded) {
        notices_.push_back(Notice{bufferId, now, true});
        ++addedCount_;
    }
    if (!running_) {
        // Without a notice thread nothing can be delivered later: answer here, in order.
        std::deque<Notice> notices = std::move(notices_);
        notices_.clear();
        AudioOutputDevice::CompletionCallback callback = callback_;
        lock.unlock();
        for (const Notice& notice : notices) {
            if (callback) {
                callback(notice.bufferId, notice.wasReset);
            }
        }
        lock.lock();
        deliveredCount_ += notices.size();
        return;
    }
    const uint64_t target = addedCount_;
    changed_.notify_all();
    changed_.wait(lock, [&] { return deliveredCount_ >= target; });
}

size_t AudioOutputDeviceNoticeQueue::pendingCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return notices_.size();
}

void AudioOutputDeviceNoticeQueue::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        if (notices_.empty()) {
            if (stopping_) {
                return;
            }
            changed_.wait(lock);
            continue;
        }
        const Notice front = notices_.front();
        if (!front.wasReset && Clock::now() < front.heardAt) {
            changed_.wait_until(lock, front.heardAt);
            continue;
        }
        notices_.pop_front();
        AudioOutputDevice::CompletionCallback callback = callback_;
        lock.unlock();
        if (callback) {
            callback(front.bufferId, front.wasReset);
        }
        lock.lock();
        ++deliveredCount_;
        changed_.notify_all();
    }
}
