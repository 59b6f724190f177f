#include "SessionRefreshThread.h"

#include "AudioDecoderGroup.h"
#include "AvDebugLogger.h"
#include "JexSession.h"
#include "KorvalisSession.h"
#include "StopWatch.h"
#include "VideoDecoder.h"

namespace {
// Ends the loop (the window posts WM_QUIT).
constexpr uint32_t kQuitMessage = 0x0012;
}  // namespace

SessionRefreshThread::SessionRefreshThread(KorvalisSession& session,
                                           AudioDecoderGroup& audioDecoderGroup,
                                           VideoDecoder* videoDecoder, JexSession* record,
                                           Callbacks callbacks, std::chrono::milliseconds period)
    : session_(session),
      audioDecoderGroup_(audioDecoderGroup),
      videoDecoder_(videoDecoder),
      record_(record),
      callbacks_(std::move(callbacks)),
      period_(period) {}

SessionRefreshThread::~SessionRefreshThread() {
    stop();
}

bool SessionRefreshThread::start() {
    std::lock_guard<std::mutex> hold(mutex_);
    if (running_) {
        return false;
    }
    messages_.clear();
    running_ = true;
    thread_ = std::thread(&SessionRefreshThread::run, this);
    return true;
}

void SessionRefreshThread::stop() {
    std::thread ending;
    {
        std::lock_guard<std::mutex> hold(mutex_);
        if (!running_) {
            return;
        }
        messages_.post(kQuitMessage);
        ending = std::move(thread_);
    }
    ending.join();
    std::lock_guard<std::mutex> hold(mutex_);
    running_ = false;
}

bool SessionRefreshThread::isRunning() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return running_;
}

unsigned SessionRefreshThread::refreshCountIs() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return refreshCount_;
}

void SessionRefreshThread::run() {
    AvDebugLogger::instance().log(4, "SessionRefreshThread::run(): Refresh thread started.");
    ThreadMessage message;
    while (true) {
        // The period is spent waiting for a message, so that a stop is taken at once.
        if (messages_.getFor(message, period_)) {
            if (message.message == kQuitMessage) {
                break;
            }
            continue;
        }
        refreshOnce();
    }
    AvDebugLogger::instance().log(4, "SessionRefreshThread::run(): Refresh thread ended.");
}

void SessionRefreshThread::refreshOnce() {
    StopWatch watch;
    watch.start();
    session_.enumerateMediaFiles();
    session_.updateAudioDecoderGroupForSession(audioDecoderGroup_);
    if (videoDecoder_ != nullptr) {
        session_.updateVideDecoderForSession(*videoDecoder_);
        videoDecoder_->refreshAllFileInformation(kFileInformationMaximumAgeSeconds);
    }
    audioDecoderGroup_.refreshAllFileInformation(kFileInformationMaximumAgeSeconds);
    for (const std::string& skipped : session_.takeSkippedFiles()) {
        if (callbacks_.fileSkipped) {
            callbacks_.fileSkipped(skipped);
        }
    }

    const unsigned channels = audioDecoderGroup_.numberOfDecodersIs();
    if (callbacks_.rangesChanged) {
        std::vector<std::vector<TimeRange>> ranges(channels);
        for (unsigned channel = 0; channel < channels; ++channel) {
            audioDecoderGroup_.listTimeRangesForChannel(channel, ranges[channel]);
        }
        callbacks_.rangesChanged(ranges);
    }
    if (record_ != nullptr) {
        bool changed = false;
        record_->reload(changed);
        if (changed && callbacks_.annotationsChanged) {
            callbacks_.annotationsChanged();
        }
    }
    if (callbacks_.channelCountIs) {
        callbacks_.channelCountIs(channels);
    }
    watch.stop();
    if (callbacks_.refreshTimed) {
        callbacks_.refreshTimed(watch.elapsedSeconds());
    }
    std::lock_guard<std::mutex> hold(mutex_);
    ++refreshCount_;
}
