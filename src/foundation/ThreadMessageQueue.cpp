#include "ThreadMessageQueue.h"

void ThreadMessageQueue::post(const ThreadMessage& message) {
    {
        std::lock_guard guard(mutex_);
        messages_.push_back(message);
    }
    available_.notify_one();
}

bool ThreadMessageQueue::peek(ThreadMessage& message) {
    std::lock_guard guard(mutex_);
    if (messages_.empty()) {
        return false;
    }
    message = messages_.front();
    messages_.pop_front();
    return true;
}

void ThreadMessageQueue::get(ThreadMessage& message) {
    std::unique_lock guard(mutex_);
    available_.wait(guard, [this] { return !messages_.empty(); });
    message = messages_.front();
    messages_.pop_front();
}

bool ThreadMessageQueue::getFor(ThreadMessage& message, std::chrono::milliseconds timeout) {
    std::unique_lock guard(mutex_);
    if (!available_.wait_for(guard, timeout, [this] { return !messages_.empty(); })) {
        return false;
    }
    message = messages_.front();
    messages_.pop_front();
    return true;
}

size_t ThreadMessageQueue::size() const {
    std::lock_guard guard(mutex_);
    return messages_.size();
}

void ThreadMessageQueue::clear() {
    std::lock_guard guard(mutex_);
    messages_.clear();
}
