#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "TransportTarget.h"

// A main window for the input tests: keeps the state the operations change and records every
// call that acts ("playFrom 1005", "seek 1002", "play", "stop", "slider 995", "mute 2 1", ...).
// Playing moves nothing by itself; simulatePlaying advances the slider as playback would.
class FakeTransportTarget final : public TransportTarget {
public:
    FakeTransportTarget();

    double sliderPosition() const override { return slider; }
    void setSliderPosition(double seconds) override;
    double sessionStartSeconds() const override { return sessionStart; }
    double sessionEndSeconds() const override { return sessionEnd; }
    void playFrom(double seconds) override;
    void seekWithoutPlaying(double seconds) override;
    void play() override;
    void stop() override;
    bool isPlaying() const override { return playing; }
    bool hasButton(int id) const override;
    bool isButtonPressed(int id) const override;
    void setButtonPressed(int id, bool pressed) override;
    bool isButtonActive(int id) const override;
    void setButtonActive(int id, bool active) override;
    int rewindSeconds() const override { return configuredRewindSeconds; }
    int advanceSeconds() const override { return configuredAdvanceSeconds; }
    std::vector<RecordedSegment> recordedSegments() const override { return segments; }
    int channelCount() const override { return static_cast<int>(muted.size()); }
    bool isChannelMuted(int channel) const override;
    void setChannelMuted(int channel, bool mute) override;
    int speedPosition() const override { return speed; }
    void setSpeedPosition(int position) override;
    bool hasMasterLevel() const override { return masterExists; }
    void stepMasterLevel(int direction) override;
    void openSessionCommand() override { calls.push_back("openSession"); }
    void copyCommand() override { calls.push_back("copy"); }
    void closeWindow() override;
    std::string sessionName() const override { return name; }

    // Playback running for `seconds`: the slider moves on when playing.
    void simulatePlaying(double seconds);
    // Whether `call` was recorded, and how many times.
    int count(const std::string& call) const;
    // The recorded calls that start with `prefix`.
    std::vector<std::string> callsStartingWith(const std::string& prefix) const;

    double slider = 1000.0;
    double sessionStart = 1000.0;
    double sessionEnd = 1000.0 + 3600.0;
    bool playing = false;
    int configuredRewindSeconds = 5;
    int configuredAdvanceSeconds = 5;
    std::vector<RecordedSegment> segments;
    std::vector<bool> muted = std::vector<bool>(4, false);
    int speed = 0;
    bool masterExists = true;
    int masterLevel = 50;
    int closeCount = 0;
    std::function<void()> onClose;  // what closing does besides counting (the window leaving)
    std::string name = "Courtroom 2 2026-03-02";
    std::map<int, bool> pressed;
    std::map<int, bool> active;
    std::vector<std::string> calls;
};
