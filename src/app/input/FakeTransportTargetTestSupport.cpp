#include <algorithm>
#include <cstdio>

#include "FakeTransportTarget.h"

namespace {
std::string withNumber(const char* what, double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%s %g", what, value);
    return text;
}
}  // namespace

FakeTransportTarget::FakeTransportTarget() {
    for (int id : {kRewindButton, kPlayButton, kFastForwardButton}) {
        pressed[id] = false;
        active[id] = false;
    }
}

void FakeTransportTarget::setSliderPosition(double seconds) {
    slider = std::max(sessionStart, std::min(sessionEnd, seconds));
    calls.push_back(withNumber("slider", slider));
}

void FakeTransportTarget::playFrom(double seconds) {
    calls.push_back(withNumber("playFrom", seconds));
    slider = std::max(sessionStart, std::min(sessionEnd, seconds));
    playing = true;
    pressed[kPlayButton] = true;
    active[kPlayButton] = true;
}

void FakeTransportTarget::seekWithoutPlaying(double seconds) {
    calls.push_back(withNumber("seek", seconds));
    slider = std::max(sessionStart, std::min(sessionEnd, seconds));
    playing = false;
    pressed[kPlayButton] = false;
    active[kPlayButton] = false;
}

void FakeTransportTarget::play() {
    calls.push_back("play");
    playing = true;
    pressed[kPlayButton] = true;
    active[kPlayButton] = true;
}

void FakeTransportTarget::stop() {
    calls.push_back("stop");
    playing = false;
    pressed[kPlayButton] = false;
    active[kPlayButton] = false;
}

bool FakeTransportTarget::hasButton(int id) const {
    return pressed.count(id) != 0;
}

bool FakeTransportTarget::isButtonPressed(int id) const {
    const auto found = pressed.find(id);
    return found != pressed.end() && found->second;
}

void FakeTransportTarget::setButtonPressed(int id, bool state) {
    if (hasButton(id)) {
        pressed[id] = state;
    }
}

bool FakeTransportTarget::isButtonActive(int id) const {
    const auto found = active.find(id);
    return found != active.end() && found->second;
}

void FakeTransportTarget::setButtonActive(int id, bool state) {
    if (hasButton(id)) {
        active[id] = state;
    }
}

bool FakeTransportTarget::isChannelMuted(int channel) const {
    return channel >= 0 && channel < channelCount() && muted[static_cast<std::size_t>(channel)];
}

void FakeTransportTarget::setChannelMuted(int channel, bool mute) {
    if (channel >= 0 && channel < channelCount()) {
        muted[static_cast<std::size_t>(channel)] = mute;
        calls.push_back("mute " + std::to_string(channel) + " " + (mute ? "1" : "0"));
    }
}

void FakeTransportTarget::setSpeedPosition(int position) {
    speed = position;
    calls.push_back("speed " + std::to_string(position));
}

void FakeTransportTarget::stepMasterLevel(int direction) {
    masterLevel += direction;
    calls.push_back("master " + std::to_string(direction));
}

void FakeTransportTarget::closeWindow() {
    ++closeCount;
    calls.push_back("close");
    if (onClose) {
        onClose();
    }
}

void FakeTransportTarget::simulatePlaying(double seconds) {
    if (playing) {
        slider = std::min(sessionEnd, slider + seconds);
    }
}

int FakeTransportTarget::count(const std::string& call) const {
    return static_cast<int>(std::count(calls.begin(), calls.end(), call));
}

std::vector<std::string> FakeTransportTarget::callsStartingWith(const std::string& prefix) const {
    std::vector<std::string> found;
    for (const std::string& call : calls) {
        if (call.rfind(prefix, 0) == 0) {
            found.push_back(call);
        }
    }
    return found;
}
