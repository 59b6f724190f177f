#pragma once

#include <QObject>
#include <QTimer>
#include <cstddef>
#include <cstdint>
#include <functional>

#include "HoldRepeater.h"

class TransportTarget;

// The position stepping of the main window, on the user-interface thread: the foot pedal's
// presses and releases, the jog timer that moves the slider while the fast-forward or rewind
// pedal is held, the advance and rewind steps of the hot keys and held buttons, and the
// hold-state changes of the on-screen buttons (messages 4028-4030).
class JogController final : public QObject {
    Q_OBJECT
public:
    static constexpr int kFirstJogDelayMs = 2;
    static constexpr int kJogRepeatDelayMs = 200;
    // Releasing the play pedal goes back this far, so the last words are heard again.
    static constexpr double kRewindOnPlayReleaseSeconds = 3.0;
    // A rewind step that skips back over a gap lands this far before the gap.
    static constexpr double kGapSkipLeadSeconds = 3.0;

    // `postJogTimerMessage` is called when the jog timer fires; it should post message 1052 to
    // the window, which hands it back to handleJogTimer. Without it the timer calls
    // handleJogTimer directly.
    explicit JogController(TransportTarget& target, std::function<void()> postJogTimerMessage = {});
    ~JogController() override;
    JogController(const JogController&) = delete;
    JogController& operator=(const JogController&) = delete;

    // One pedal report (see PedalReportDecoder); the last pedal byte is updated.
    void handlePedalReport(const uint8_t* report, std::size_t reportSize, int reportCount = 1);
    uint8_t lastPedalByte() const { return lastPedalByte_; }

    // Message 1052: one jog step while fast forward or rewind is active, then the next timer.
    void handleJogTimer();
    bool jogTimerPending() const { return jogTimer_.isActive(); }
    int jogTimerIntervalMs() const { return jogTimer_.interval(); }

    // The step lengths last used (whole seconds); 0 until first set, meaning the configured one.
    int advanceStepSeconds() const;
    int rewindStepSeconds() const;
    void setAdvanceStepSeconds(int seconds) { advanceStepSeconds_ = seconds; }
    void setRewindStepSeconds(int seconds) { rewindStepSeconds_ = seconds; }

    // Plays from the slider position + the advance step.
    void advanceStep();
    // Plays from the slider position - the rewind step, or from 3 s before the end of the
    // recorded segment when that target falls into a gap between segments.
    void rewindStep();

    // The repeat thread of the held buttons; null until the hub attaches one.
    void setHoldRepeater(HoldRepeater* repeater) { repeater_ = repeater; }
    // Messages 4028 (fast forward pressed), 4029 (rewind pressed) and 4030 (released).
    void heldButtonPressed(bool fastForward);
    void heldButtonReleased();
    // An action the repeat thread asked for, carried out here on the user-interface thread.
    void performHoldAction(HoldRepeater::Action action);

private:
    void pedalPlay(bool pressed);
    void pedalJog(int buttonId, bool pressed);
    void startJogTimer(int delayMs);

    TransportTarget& target_;
    std::function<void()> postJogTimerMessage_;
    QTimer jogTimer_;
    HoldRepeater* repeater_ = nullptr;
    uint8_t lastPedalByte_ = 0;
    int advanceStepSeconds_ = 0;
    int rewindStepSeconds_ = 0;
};
