#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>

// One message posted to a thread: an identifier and two parameters whose meaning the identifier
// fixes (a pointer travels in `lParam`, and the receiver then owns what it points to).
struct ThreadMessage {
    uint32_t message = 0;
    uint64_t wParam = 0;
    int64_t lParam = 0;
};

// The message queue of one thread: any thread posts, the owning thread peeks or waits.
class ThreadMessageQueue {
public:
    ThreadMessageQueue() = default;
    ThreadMessageQueue(const ThreadMessageQueue&) = delete;
    ThreadMessageQueue& operator=(const ThreadMessageQueue&) = delete;

    // Appends a message; wakes a waiting receiver.
    void post(const ThreadMessage& message);
    void post(uint32_t message, uint64_t wParam = 0, int64_t lParam = 0) {
        post(ThreadMessage{message, wParam, lParam});
    }
    // Takes the oldest message without waiting; false when the queue is empty.
    bool peek(ThreadMessage& message);
    // Waits for the oldest message and takes it.
    void get(ThreadMessage& message);
    // Waits at most `timeout` for a message; false when none came.
    bool getFor(ThreadMessage& message, std::chrono::milliseconds timeout);

    size_t size() const;
    // Drops every pending message.
    void clear();

private:
    mutable std::mutex mutex_;
    std::condition_variable available_;
    std::deque<ThreadMessage> messages_;
};
