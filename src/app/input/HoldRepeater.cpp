#include "HoldRepeater.h"

HoldRepeater::HoldRepeater(Poster poster) : poster_(std::move(poster)) {}

HoldRepeater::~HoldRepeater() {
    stop();
}

void HoldRepeater::start() {
    std::lock_guard<std::mutex> lock(runMutex_);
    if (thread_.joinable()) {
        return;
    }
    stopRequested_ = false;
    thread_ = std::thread([this] { run(); });
}

void HoldRepeater::stop() {
    {
        std::lock_guard<std::mutex> lock(runMutex_);
        if (!thread_.joinable()) {
            return;
        }
        stopRequested_ = true;
    }
    wakeUp_.notify_all();
    thread_.join();
    std::lock_guard<std::mutex> lock(runMutex_);
    thread_ = std::thread();
}

bool HoldRepeater::isRunning() const {
    return thread_.joinable();
}

void HoldRepeater::setState(int state) {
    std::lock_guard<std::mutex> lock(jogMutex_);
    setStateLocked(state);
}

void HoldRepeater::setStateLocked(int state) {
    state_.store(state, std::memory_order_release);
}

bool HoldRepeater::pause(std::chrono::milliseconds duration) {
    std::unique_lock<std::mutex> lock(runMutex_);
    return !wakeUp_.wait_for(lock, duration, [this] { return stopRequested_; });
}

void HoldRepeater::run() {
    for (;;) {
        // The poll reads the state without the mutex; the action re-reads it under the mutex,
        // so a release that came in between is honoured.
        const int polled = state();
        bool stepped = false;
        if (polled == kAdvancing || polled == kRewinding || polled == kResumePlay ||
            polled == kStopping) {
            std::lock_guard<std::mutex> lock(jogMutex_);
            switch (state()) {
                case kAdvancing:
                    poster_(Action::kAdvanceStep);
                    playStartedSinceStep_ = false;
                    stepped = true;
                    break;
                case kRewinding:
                    poster_(Action::kRewindStep);
                    playStartedSinceStep_ = false;
                    stepped = true;
                    break;
                case kResumePlay:
                    if (!playStartedSinceStep_) {
                        poster_(Action::kPlay);
                        playStartedSinceStep_ = true;
                    }
                    break;
                case kStopping:
                    poster_(Action::kStop);
                    playStartedSinceStep_ = false;
                    setStateLocked(kIdle);
                    break;
                default:
                    break;
            }
        }
        if (stepped && !pause(kPauseAfterStep)) {
            return;
        }
        if (!pause(kPollInterval)) {
            return;
        }
    }
}
