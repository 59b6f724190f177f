#pragma once

#include "TransportTarget.h"

class GalewickUserInterface;

// The main window as the pedal, jog, hot keys and media-player interface drive it.
// User-interface thread only.
class WindowTransportTarget final : public TransportTarget {
public:
    explicit WindowTransportTarget(GalewickUserInterface& window) : window_(window) {}

    double sliderPosition() const override;
    void setSliderPosition(double seconds) override;
    double sessionStartSeconds() const override;
    double sessionEndSeconds() const override;
    void playFrom(double seconds) override;
    void seekWithoutPlaying(double seconds) override;
    void play() override;
    void stop() override;
    bool isPlaying() const override;
    bool hasButton(int id) const override;
    bool isButtonPressed(int id) const override;
    void setButtonPressed(int id, bool pressed) override;
    bool isButtonActive(int id) const override;
    void setButtonActive(int id, bool active) override;
    int rewindSeconds() const override;
    int advanceSeconds() const override;
    std::vector<RecordedSegment> recordedSegments() const override;
    int channelCount() const override;
    bool isChannelMuted(int channel) const override;
    void setChannelMuted(int channel, bool muted) override;
    int speedPosition() const override;
    void setSpeedPosition(int position) override;
    bool hasMasterLevel() const override;
    void stepMasterLevel(int direction) override;
    void openSessionCommand() override;
    void copyCommand() override;
    void closeWindow() override;
    std::string sessionName() const override;

private:
    GalewickUserInterface& window_;
};
