#include "WindowTransportTarget.h"

#include <cstdio>

#include "ChannelStrip.h"
#include "GalewickCommandIds.h"
#include "GalewickUserInterface.h"
#include "SpeedControlWindow.h"
#include "TransportBar.h"
#include "Win32_WindowlessPushButton.h"
#include "Win32_WindowlessTimeSlider.h"

double WindowTransportTarget::sliderPosition() const {
    return window_.transport().slider().position();
}

void WindowTransportTarget::setSliderPosition(double seconds) {
    window_.transport().showPosition(seconds);
}

double WindowTransportTarget::sessionStartSeconds() const {
    return window_.hasSession() ? window_.openSession().start : 0.0;
}

double WindowTransportTarget::sessionEndSeconds() const {
    return window_.hasSession() ? window_.openSession().end : 0.0;
}

void WindowTransportTarget::playFrom(double seconds) {
    window_.playFrom(seconds);
}

void WindowTransportTarget::seekWithoutPlaying(double seconds) {
    window_.seekTo(seconds);
}

void WindowTransportTarget::play() {
    window_.play();
}

void WindowTransportTarget::stop() {
    window_.stop();
}

bool WindowTransportTarget::isPlaying() const {
    return window_.isPlaying();
}

bool WindowTransportTarget::hasButton(int id) const {
    return window_.transport().button(id) != nullptr;
}

bool WindowTransportTarget::isButtonPressed(int id) const {
    const Win32_WindowlessPushButton* button = window_.transport().button(id);
    return button != nullptr && button->isPressed();
}

void WindowTransportTarget::setButtonPressed(int id, bool pressed) {
    if (Win32_WindowlessPushButton* button = window_.transport().button(id)) {
        pressed ? button->press() : button->release();
    }
}

bool WindowTransportTarget::isButtonActive(int id) const {
    const Win32_WindowlessPushButton* button = window_.transport().button(id);
    return button != nullptr && button->isActive();
}

void WindowTransportTarget::setButtonActive(int id, bool active) {
    if (Win32_WindowlessPushButton* button = window_.transport().button(id)) {
        button->setActive(active);
        button->invalidate();
    }
}

int WindowTransportTarget::rewindSeconds() const {
    return window_.configuration().rewindSeconds;
}

int WindowTransportTarget::advanceSeconds() const {
    return window_.configuration().advanceSeconds;
}

std::vector<RecordedSegment> WindowTransportTarget::recordedSegments() const {
    std::vector<RecordedSegment> segments;
    for (const auto& segment : window_.transport().slider().recordedSegments()) {
        segments.push_back({segment.start, segment.end});
    }
    return segments;
}

int WindowTransportTarget::channelCount() const {
    return static_cast<int>(window_.channels().channelCount());
}

bool WindowTransportTarget::isChannelMuted(int channel) const {
    return channel >= 0 && window_.channels().isChannelMuted(static_cast<unsigned>(channel));
}

void WindowTransportTarget::setChannelMuted(int channel, bool muted) {
    if (channel >= 0) {
        window_.channels().setChannelMuted(static_cast<unsigned>(channel), muted);
    }
}

int WindowTransportTarget::speedPosition() const {
    return window_.speedWindow().position();
}

void WindowTransportTarget::setSpeedPosition(int position) {
    // The bar posts the speed message, which applies the speed.
    window_.speedWindow().setPosition(position);
}

bool WindowTransportTarget::hasMasterLevel() const {
    return window_.channels().masterControl() != nullptr;
}

void WindowTransportTarget::stepMasterLevel(int direction) {
    window_.channels().stepMasterLevel(direction);
}

void WindowTransportTarget::openSessionCommand() {
    window_.runCommand(GalewickCommandIds::kOpenSession);
}

void WindowTransportTarget::copyCommand() {
    window_.runCommand(GalewickCommandIds::kCopy);
}

void WindowTransportTarget::closeWindow() {
    window_.close();
}

std::string WindowTransportTarget::sessionName() const {
    if (!window_.hasSession()) {
        return {};
    }
    const GalewickUserInterface::OpenSession& session = window_.openSession();
    char date[16];
    std::snprintf(date, sizeof date, "%02d/%02d/%04d", session.month, session.day, session.year);
    return session.location + " " + date;
}
