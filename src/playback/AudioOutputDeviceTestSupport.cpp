#include "AudioOutputDeviceTestSupport.h"

AudioOutputDevice::CompletionCallback CompletionRecorder::callback() {
    return [this](AudioOutputDevice::BufferId bufferId, bool wasReset) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            notices_.push_back(Notice{bufferId, wasReset, Clock::now()});
        }
        arrived_.notify_all();
    };
}

bool CompletionRecorder::waitFor(size_t count, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    return arrived_.wait_for(lock, timeout, [&] { return notices_.size() >= count; });
}

std::vector<CompletionRecorder::Notice> CompletionRecorder::notices() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return notices_;
}

size_t CompletionRecorder::count() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return notices_.size();
}

std::vector<int16_t> rampSamples(size_t count, int16_t first) {
    std::vector<int16_t> samples(count);
    for (size_t i = 0; i < count; ++i) {
        samples[i] = static_cast<int16_t>(first + static_cast<int16_t>(i * 37));
    }
    return samples;
}
