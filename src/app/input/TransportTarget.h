#pragma once

#include <string>
#include <vector>

// One recorded stretch of the session on the time slider's scale (epoch seconds).
struct RecordedSegment {
    double startSeconds = 0.0;
    double endSeconds = 0.0;
};

// What the foot pedal, the jog, the held-button repeat, the hot keys and the media controls drive.
// The main window implements it. Every operation is called on the user-interface thread only;
// threads that want one of them done post to that thread first. Positions are in seconds on the
// time slider's scale (epoch seconds, the session's start to its end).
class TransportTarget {
public:
    // Control ids of the transport buttons.
    static constexpr int kRewindButton = 100;
    static constexpr int kPlayButton = 101;
    static constexpr int kFastForwardButton = 102;
    // The speed control's track-bar range.
    static constexpr int kSlowestSpeedPosition = -8;
    static constexpr int kFastestSpeedPosition = 7;

    virtual ~TransportTarget() = default;

    // The time slider's current position; setting it moves only the slider, not the player.
    virtual double sliderPosition() const = 0;
    virtual void setSliderPosition(double seconds) = 0;
    // The session's range on the slider's scale.
    virtual double sessionStartSeconds() const = 0;
    virtual double sessionEndSeconds() const = 0;

    // Seek there and play (the window's play-from message 1042); the slider follows the player.
    virtual void playFrom(double seconds) = 0;
    // Seek there and stay stopped (message 1043); the slider follows the player.
    virtual void seekWithoutPlaying(double seconds) = 0;
    // Start playback from the slider position.
    virtual void play() = 0;
    // Stop playback and release the play button.
    virtual void stop() = 0;
    virtual bool isPlaying() const = 0;

    // Transport buttons by control id (kRewindButton, kPlayButton, kFastForwardButton). False
    // from hasButton when the window has no control with that id; the others then do nothing.
    virtual bool hasButton(int id) const = 0;
    virtual bool isButtonPressed(int id) const = 0;
    virtual void setButtonPressed(int id, bool pressed) = 0;
    virtual bool isButtonActive(int id) const = 0;
    virtual void setButtonActive(int id, bool active) = 0;

    // The configured step lengths, in whole seconds.
    virtual int rewindSeconds() const = 0;
    virtual int advanceSeconds() const = 0;

    // The recorded segments the time slider shows, in time order.
    virtual std::vector<RecordedSegment> recordedSegments() const = 0;

    // Channel controls, numbered from 0 in control order.
    virtual int channelCount() const = 0;
    virtual bool isChannelMuted(int channel) const = 0;
    virtual void setChannelMuted(int channel, bool muted) = 0;

    // The speed window's track-bar position (kSlowestSpeedPosition..kFastestSpeedPosition).
    // Setting it redraws the bar and applies the speed (the window's message 2626); callers
    // clamp to the range first.
    virtual int speedPosition() const = 0;
    virtual void setSpeedPosition(int position) = 0;

    // The master level control; stepMasterLevel(+1) is one step up, (-1) one step down. Does
    // nothing when there is no master control.
    virtual bool hasMasterLevel() const = 0;
    virtual void stepMasterLevel(int direction) = 0;

    // The menu commands "Open Session" and "Copy".
    virtual void openSessionCommand() = 0;
    virtual void copyCommand() = 0;

    // Close the main window (as the user closing it would; the program then leaves).
    virtual void closeWindow() = 0;

    // The open session's name as the title shows it; empty when no session is open.
    virtual std::string sessionName() const = 0;
};
