#include "ChannelGainModel.h"

#include <cmath>

void ChannelGainModel::setChannelCount(unsigned count) {
    std::lock_guard<std::mutex> hold(mutex_);
    if (count > channels_.size()) {
        channels_.resize(count);
    }
}

void ChannelGainModel::reset() {
    std::lock_guard<std::mutex> hold(mutex_);
    channels_.clear();
    masterLevel_ = kDefaultLevel;
    masterMute_ = false;
}

unsigned ChannelGainModel::channelCountIs() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return static_cast<unsigned>(channels_.size());
}

bool ChannelGainModel::isValidLevel(float level) {
    return std::isfinite(level) && level >= 0.0f && level <= kMaximumLevel;
}

bool ChannelGainModel::setChannelLevel(unsigned channel, float level) {
    std::lock_guard<std::mutex> hold(mutex_);
    if (channel >= channels_.size() || !isValidLevel(level)) {
        return false;
    }
    channels_[channel].level = level;
    return true;
}

bool ChannelGainModel::setChannelMute(unsigned channel, bool mute) {
    std::lock_guard<std::mutex> hold(mutex_);
    if (channel >= channels_.size()) {
        return false;
    }
    channels_[channel].mute = mute;
    return true;
}

bool ChannelGainModel::toggleChannelMute(unsigned channel) {
    std::lock_guard<std::mutex> hold(mutex_);
    if (channel >= channels_.size()) {
        return false;
    }
    channels_[channel].mute = !channels_[channel].mute;
    return true;
}

bool ChannelGainModel::setMasterLevel(float level) {
    std::lock_guard<std::mutex> hold(mutex_);
    if (!isValidLevel(level)) {
        return false;
    }
    masterLevel_ = level;
    return true;
}

void ChannelGainModel::setMasterMute(bool mute) {
    std::lock_guard<std::mutex> hold(mutex_);
    masterMute_ = mute;
}

float ChannelGainModel::channelLevelIs(unsigned channel) const {
    std::lock_guard<std::mutex> hold(mutex_);
    return channel < channels_.size() ? channels_[channel].level : 0.0f;
}

bool ChannelGainModel::channelMuteIs(unsigned channel) const {
    std::lock_guard<std::mutex> hold(mutex_);
    return channel < channels_.size() && channels_[channel].mute;
}

float ChannelGainModel::masterLevelIs() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return masterLevel_;
}

bool ChannelGainModel::masterMuteIs() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return masterMute_;
}

void ChannelGainModel::gainsAndMutesFor(unsigned channels, std::vector<float>& gains,
                                        std::vector<bool>& mutes) const {
    std::lock_guard<std::mutex> hold(mutex_);
    gains.assign(channels, 0.0f);
    mutes.assign(channels, masterMute_);
    for (unsigned channel = 0; channel < channels && channel < channels_.size(); ++channel) {
        gains[channel] = masterLevel_ * channels_[channel].level;
        mutes[channel] = masterMute_ || channels_[channel].mute;
    }
}
