#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// The repeat thread behind the held on-screen rewind and fast-forward buttons. Every 10 ms it
// reads the hold state and, holding the jog mutex, asks for one action; after a step it pauses
// 150 ms. It never touches the window: each action goes to the poster, which hands it to the
// user-interface thread. The user-interface thread writes the state through setState (or
// holds jogMutex() itself around a longer change).
class HoldRepeater {
public:
    enum State {
        kIdle = 0,
        kAdvancing = 100,
        kRewinding = 200,
        kResumePlay = 300,
        kStopping = 400,
    };
    enum class Action { kAdvanceStep, kRewindStep, kPlay, kStop };
    using Poster = std::function<void(Action)>;

    static constexpr std::chrono::milliseconds kPollInterval{10};
    static constexpr std::chrono::milliseconds kPauseAfterStep{150};

    // `poster` is called on the repeat thread, with the jog mutex held; it must only queue.
    explicit HoldRepeater(Poster poster);
    ~HoldRepeater();
    HoldRepeater(const HoldRepeater&) = delete;
    HoldRepeater& operator=(const HoldRepeater&) = delete;

    // Starts the thread (once); stop() ends it and waits for it. The destructor stops it.
    void start();
    void stop();
    bool isRunning() const;

    // The mutex named "jogMutex": held around every action of the thread and every state write.
    std::mutex& jogMutex() { return jogMutex_; }

    // Writes the state under the jog mutex.
    void setState(int state);
    // The same, for a caller that already holds jogMutex().
    void setStateLocked(int state);
    int state() const { return state_.load(std::memory_order_acquire); }

    // Playback was started by the window itself while the state became kResumePlay (the button
    // release), so the thread's own "start playback once" is already done. Caller holds
    // jogMutex().
    void notePlaybackStartedLocked() { playStartedSinceStep_ = true; }

private:
    void run();
    // Sleeps up to `duration`; false when stop() was asked meanwhile.
    bool pause(std::chrono::milliseconds duration);

    Poster poster_;
    std::mutex jogMutex_;
    std::atomic<int> state_{kIdle};
    bool playStartedSinceStep_ = false;  // guarded by jogMutex_

    std::mutex runMutex_;
    std::condition_variable wakeUp_;
    bool stopRequested_ = false;  // guarded by runMutex_
    std::thread thread_;
};
