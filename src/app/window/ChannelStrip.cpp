#include "ChannelStrip.h"

#include <QString>
#include <algorithm>
#include <string>

#include "ChannelGainModel.h"
#include "GalewickLayout.h"
#include "Win32_AudioChannelControl.h"
#include "Win32_BasicWindow.h"
#include "Win32_WindowMessage.h"

ChannelStrip::ChannelStrip(Win32_BasicWindow& window, ChannelGainModel& model)
    : window_(window), model_(model) {
    master_ = makeControl(kMasterId, "M", true);
    layout();
}

ChannelStrip::~ChannelStrip() = default;

Win32_AudioChannelControl* ChannelStrip::makeControl(int id, const char* caption, bool master) {
    const GalewickLayout::Rect strip = GalewickLayout::channelStrip(0, 0);
    Win32_AudioChannelControl* control = window_.createControl<Win32_AudioChannelControl>(
        strip.x, strip.y, strip.width, strip.height, id, false,
        Win32_WindowMessage::kChannelLevelSet, false, master);
    control->setMuteMessage(Win32_WindowMessage::kChannelMuteChanged);
    control->loadMeterImages();
    control->setCaption(QString::fromLatin1(caption));
    control->setGain(ChannelGainModel::kDefaultLevel);
    return control;
}

void ChannelStrip::removeAll() {
    for (Win32_AudioChannelControl* control : channels_) {
        window_.removeControl(control);
    }
    channels_.clear();
}

void ChannelStrip::SetChannelCount(unsigned count, bool reset) {
    if (reset) {
        removeAll();
        model_.reset();
        master_->setGain(ChannelGainModel::kDefaultLevel);
        master_->setMuted(false);
    }
    while (channels_.size() < count) {
        const unsigned channel = static_cast<unsigned>(channels_.size());
        channels_.push_back(makeControl(kFirstChannelId + static_cast<int>(channel),
                                        std::to_string(channel + 1).c_str(), false));
    }
    model_.setChannelCount(static_cast<unsigned>(channels_.size()));
    // Settings the user made before the model knew the channel (none after a reset).
    for (unsigned channel = 0; channel < channels_.size(); ++channel) {
        model_.setChannelLevel(channel, channels_[channel]->gain());
        model_.setChannelMute(channel, channels_[channel]->isMuted());
    }
    layout();
}

void ChannelStrip::layout() {
    const int count = static_cast<int>(channels_.size());
    for (int index = 0; index < count; ++index) {
        const GalewickLayout::Rect strip = GalewickLayout::channelStrip(index, count);
        channels_[index]->setRect(strip.x, strip.y, strip.width, strip.height);
    }
    const GalewickLayout::Rect strip = GalewickLayout::channelStrip(count, count);
    master_->setRect(strip.x, strip.y, strip.width, strip.height);
}

Win32_AudioChannelControl* ChannelStrip::channelControl(unsigned channel) const {
    return channel < channels_.size() ? channels_[channel] : nullptr;
}

bool ChannelStrip::handleMessage(const Win32_WindowMessage& message) {
    if (message.message() != Win32_WindowMessage::kChannelLevelSet &&
        message.message() != Win32_WindowMessage::kChannelMuteChanged) {
        return false;
    }
    const int id = static_cast<int>(message.wParam());
    Win32_AudioChannelControl* control =
        id == kMasterId ? master_ : channelControl(static_cast<unsigned>(id - kFirstChannelId));
    if (control == nullptr) {
        return false;
    }
    if (control == master_) {
        model_.setMasterLevel(control->gain());
        model_.setMasterMute(control->isMuted());
    } else {
        const unsigned channel = static_cast<unsigned>(id - kFirstChannelId);
        model_.setChannelLevel(channel, control->gain());
        model_.setChannelMute(channel, control->isMuted());
    }
    return true;
}

bool ChannelStrip::isChannelMuted(unsigned channel) const {
    const Win32_AudioChannelControl* control = channelControl(channel);
    return control != nullptr && control->isMuted();
}

void ChannelStrip::setChannelMuted(unsigned channel, bool muted) {
    if (Win32_AudioChannelControl* control = channelControl(channel)) {
        control->setMuted(muted);
        model_.setChannelMute(channel, muted);
    }
}

void ChannelStrip::stepMasterLevel(int direction) {
    const float level = std::clamp(master_->gain() + (direction > 0 ? kMasterStep : -kMasterStep),
                                   Win32_AudioChannelControl::kGainMinimum,
                                   Win32_AudioChannelControl::kGainMaximum);
    master_->setGain(level);
    model_.setMasterLevel(master_->gain());
}

void ChannelStrip::showLevel(Win32_AudioChannelControl* control, float level) {
    control->setPowerLevel(std::clamp(static_cast<double>(level), 0.0, 1.0) * 100.0);
}
