#pragma once

// A test double of the audio output: it keeps every written buffer and answers them only when
// the test says so, so the player's state machine can be walked one completion at a time.

#include <cstdint>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "AudioOutputDevice.h"

class ManualAudioOutputDevice : public AudioOutputDevice {
public:
    struct Written {
        BufferId bufferId;
        std::vector<int16_t> samples;
    };

    void setCompletionCallback(CompletionCallback callback) override {
        std::lock_guard guard(mutex_);
        callback_ = std::move(callback);
    }
    bool open(uint32_t sampleRate, uint16_t channelCount = 1,
              uint16_t bitsPerSample = 16) override {
        std::lock_guard guard(mutex_);
        ++openAttempts_;
        if (open_ || refuseOpen_ || channelCount != 1 || bitsPerSample != 16) {
            errorText_ = "refused by the test";
            return false;
        }
        open_ = true;
        sampleRate_ = sampleRate;
        return true;
    }
    bool isOpen() const override {
        std::lock_guard guard(mutex_);
        return open_;
    }
    bool write(BufferId bufferId, const void* samples, size_t byteCount) override {
        std::lock_guard guard(mutex_);
        if (!open_ || byteCount % 2 != 0) {
            return false;
        }
        Written written{bufferId, std::vector<int16_t>(byteCount / 2)};
        if (byteCount > 0) {
            std::memcpy(written.samples.data(), samples, byteCount);
        }
        written_.push_back(std::move(written));
        unanswered_.push_back(bufferId);
        return true;
    }
    void reset() override {
        {
            std::lock_guard guard(mutex_);
            ++resetCount_;
            resetHeld_.insert(resetHeld_.end(), unanswered_.begin(), unanswered_.end());
            unanswered_.clear();
            if (holdResetAnswers_) {
                return;
            }
        }
        answerHeldResets();
    }
    // With `hold`, a reset keeps its answers back until answerHeldResets(), as a device whose
    // notices are slow to arrive would.
    void setHoldResetAnswers(bool hold) {
        std::lock_guard guard(mutex_);
        holdResetAnswers_ = hold;
    }
    void answerHeldResets() {
        std::deque<BufferId> answered;
        CompletionCallback callback;
        {
            std::lock_guard guard(mutex_);
            answered.swap(resetHeld_);
            callback = callback_;
        }
        for (BufferId id : answered) {
            if (callback) {
                callback(id, true);
            }
        }
    }
    void close() override {
        reset();
        std::lock_guard guard(mutex_);
        open_ = false;
    }
    uint64_t playedSampleCount() const override {
        std::lock_guard guard(mutex_);
        return played_;
    }
    double outputLatencySeconds() const override { return 0.0; }
    std::string name() const override { return "manual"; }
    std::string errorText() const override {
        std::lock_guard guard(mutex_);
        return errorText_;
    }

    // Answers the `count` oldest unanswered buffers as played; how many were answered.
    size_t completeOldest(size_t count) {
        std::vector<BufferId> answered;
        CompletionCallback callback;
        {
            std::lock_guard guard(mutex_);
            while (answered.size() < count && !unanswered_.empty()) {
                answered.push_back(unanswered_.front());
                unanswered_.pop_front();
            }
            for (const Written& written : written_) {
                for (BufferId id : answered) {
                    if (written.bufferId == id) {
                        played_ += written.samples.size();
                    }
                }
            }
            callback = callback_;
        }
        for (BufferId id : answered) {
            if (callback) {
                callback(id, false);
            }
        }
        return answered.size();
    }

    void setRefuseOpen(bool refuse) {
        std::lock_guard guard(mutex_);
        refuseOpen_ = refuse;
    }
    size_t writtenCount() const {
        std::lock_guard guard(mutex_);
        return written_.size();
    }
    size_t unansweredCount() const {
        std::lock_guard guard(mutex_);
        return unanswered_.size();
    }
    std::vector<Written> written() const {
        std::lock_guard guard(mutex_);
        return written_;
    }
    int resetCount() const {
        std::lock_guard guard(mutex_);
        return resetCount_;
    }
    int openAttempts() const {
        std::lock_guard guard(mutex_);
        return openAttempts_;
    }
    uint32_t sampleRate() const {
        std::lock_guard guard(mutex_);
        return sampleRate_;
    }

private:
    mutable std::mutex mutex_;
    CompletionCallback callback_;
    bool open_ = false;
    bool refuseOpen_ = false;
    uint32_t sampleRate_ = 0;
    std::string errorText_;
    std::vector<Written> written_;
    std::deque<BufferId> unanswered_;
    std::deque<BufferId> resetHeld_;
    bool holdResetAnswers_ = false;
    uint64_t played_ = 0;
    int resetCount_ = 0;
    int openAttempts_ = 0;
};
