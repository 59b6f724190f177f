#include "AudioVideoPlayer.h"

#include <utility>

AudioVideoPlayer::~AudioVideoPlayer() = default;

float AudioVideoPlayer::powerLevelForChannelIs(unsigned /*channel*/) {
    return 0.0f;
}

void AudioVideoPlayer::setFrameCallback(FrameCallback callback) {
    std::lock_guard guard(callbackLock_);
    frameCallback_ = std::move(callback);
}

void AudioVideoPlayer::setPositionCallback(PositionCallback callback) {
    std::lock_guard guard(callbackLock_);
    positionCallback_ = std::move(callback);
}

void AudioVideoPlayer::setBufferingCallback(BufferingCallback callback) {
    std::lock_guard guard(callbackLock_);
    bufferingCallback_ = std::move(callback);
}

bool AudioVideoPlayer::callFrameCallback() {
    std::lock_guard guard(callbackLock_);
    if (!frameCallback_) {
        return false;
    }
    // A copy, so that a hook that replaces itself does not destroy the function it runs in.
    FrameCallback callback = frameCallback_;
    callback();
    return true;
}

bool AudioVideoPlayer::callPositionCallback(double startTime, double durationSeconds,
                                            float powerLevel, const TransactionId& transactionId) {
    std::lock_guard guard(callbackLock_);
    if (!positionCallback_) {
        return false;
    }
    PositionCallback callback = positionCallback_;
    callback(startTime, durationSeconds, powerLevel, TransactionId(transactionId));
    return true;
}

bool AudioVideoPlayer::callBufferingCallback() {
    std::lock_guard guard(callbackLock_);
    if (!bufferingCallback_) {
        return false;
    }
    BufferingCallback callback = bufferingCallback_;
    callback();
    return true;
}
