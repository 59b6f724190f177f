#include "JogController.h"

#include <algorithm>
#include <cmath>

#include "AvDebugLogger.h"
#include "GapSkip.h"
#include "PedalReportDecoder.h"
#include "TransportTarget.h"

JogController::JogController(TransportTarget& target, std::function<void()> postJogTimerMessage)
    : target_(target), postJogTimerMessage_(std::move(postJogTimerMessage)) {
    jogTimer_.setSingleShot(true);
    connect(&jogTimer_, &QTimer::timeout, this, [this] {
        if (postJogTimerMessage_) {
            postJogTimerMessage_();
        } else {
            handleJogTimer();
        }
    });
}

JogController::~JogController() = default;

int JogController::advanceStepSeconds() const {
    return advanceStepSeconds_ != 0 ? advanceStepSeconds_ : target_.advanceSeconds();
}

int JogController::rewindStepSeconds() const {
    return rewindStepSeconds_ != 0 ? rewindStepSeconds_ : target_.rewindSeconds();
}

void JogController::handlePedalReport(const uint8_t* report, std::size_t reportSize,
                                      int reportCount) {
    const PedalReportDecoder::Decision decision =
        PedalReportDecoder::decode(lastPedalByte_, report, reportSize, reportCount);
    lastPedalByte_ = decision.lastByte;
    using Action = PedalReportDecoder::Action;
    switch (decision.action) {
        case Action::kPlayPressed:
            pedalPlay(true);
            break;
        case Action::kPlayReleased:
            pedalPlay(false);
            break;
        case Action::kFastForwardPressed:
            pedalJog(TransportTarget::kFastForwardButton, true);
            break;
        case Action::kFastForwardReleased:
            pedalJog(TransportTarget::kFastForwardButton, false);
            break;
        case Action::kRewindPressed:
            pedalJog(TransportTarget::kRewindButton, true);
            break;
        case Action::kRewindReleased:
            pedalJog(TransportTarget::kRewindButton, false);
            break;
        case Action::kNone:
        case Action::kIgnored:
            break;
    }
}

void JogController::pedalPlay(bool pressed) {
    if (pressed) {
        target_.play();
        return;
    }
    // Never before the session's start: the player would be asked for a time it does not hold.
    const double back = std::max(target_.sessionStartSeconds(),
                                 target_.sliderPosition() - kRewindOnPlayReleaseSeconds);
    target_.seekWithoutPlaying(back);
    target_.stop();
}

void JogController::pedalJog(int buttonId, bool pressed) {
    if (pressed) {
        target_.stop();
        target_.setButtonPressed(buttonId, true);
        target_.setButtonActive(buttonId, true);
        if (!jogTimer_.isActive()) {
            startJogTimer(kFirstJogDelayMs);
        }
        return;
    }
    target_.setButtonPressed(buttonId, false);
    target_.setButtonActive(buttonId, false);
    target_.seekWithoutPlaying(target_.sliderPosition());
}

void JogController::startJogTimer(int delayMs) {
    jogTimer_.start(delayMs);
}

void JogController::handleJogTimer() {
    jogTimer_.stop();
    if (!target_.hasButton(TransportTarget::kFastForwardButton) ||
        !target_.hasButton(TransportTarget::kRewindButton)) {
        AvDebugLogger::instance().log(AvDebugLogger::kSevere,
                                      "GalewickUserInterface::handleJogTimer(): the fast forward "
                                      "or rewind button is missing; the jog stops.");
        return;
    }
    double target = 0.0;
    bool forwards = false;
    if (target_.isButtonActive(TransportTarget::kFastForwardButton)) {
        advanceStepSeconds_ = target_.advanceSeconds();
        target = target_.sliderPosition() + advanceStepSeconds_;
        forwards = true;
    } else if (target_.isButtonActive(TransportTarget::kRewindButton)) {
        rewindStepSeconds_ = target_.rewindSeconds();
        target = target_.sliderPosition() - rewindStepSeconds_;
    } else {
        return;
    }
    target = std::trunc(target);
    const double skipped = GapSkip::skip(target_.recordedSegments(), target, !forwards);
    target_.setSliderPosition(skipped >= 1.0 ? skipped : target);
    startJogTimer(kJogRepeatDelayMs);
}

void JogController::advanceStep() {
    target_.playFrom(target_.sliderPosition() + advanceStepSeconds());
}

void JogController::rewindStep() {
    double target = target_.sliderPosition() - rewindStepSeconds();
    const double skipped = GapSkip::skip(target_.recordedSegments(), target, true);
    if (skipped > 0.0) {
        target = skipped - kGapSkipLeadSeconds;
    }
    target_.playFrom(target);
}

void JogController::heldButtonPressed(bool fastForward) {
    const bool playing = target_.isButtonActive(TransportTarget::kPlayButton);
    std::unique_lock<std::mutex> lock;
    if (repeater_ != nullptr) {
        lock = std::unique_lock<std::mutex>(repeater_->jogMutex());
    }
    advanceStepSeconds_ = 1;
    rewindStepSeconds_ = playing ? 2 : 1;
    if (!playing) {
        target_.seekWithoutPlaying(target_.sliderPosition() + (fastForward ? 1.0 : -1.0));
    }
    if (repeater_ != nullptr) {
        repeater_->setStateLocked(fastForward ? HoldRepeater::kAdvancing
                                              : HoldRepeater::kRewinding);
    }
}

void JogController::heldButtonReleased() {
    if (repeater_ == nullptr) {
        return;
    }
    std::unique_lock<std::mutex> lock(repeater_->jogMutex());
    if (repeater_->state() <= HoldRepeater::kIdle) {
        return;
    }
    repeater_->setStateLocked(HoldRepeater::kResumePlay);
    repeater_->notePlaybackStartedLocked();
    lock.unlock();
    target_.play();
}

void JogController::performHoldAction(HoldRepeater::Action action) {
    switch (action) {
        case HoldRepeater::Action::kAdvanceStep:
            advanceStep();
            break;
        case HoldRepeater::Action::kRewindStep:
            rewindStep();
            break;
        case HoldRepeater::Action::kPlay:
            target_.play();
            break;
        case HoldRepeater::Action::kStop:
            target_.stop();
            target_.setButtonPressed(TransportTarget::kPlayButton, false);
            target_.setButtonActive(TransportTarget::kPlayButton, false);
            break;
    }
}
