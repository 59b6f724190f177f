#pragma once

#include <mutex>
#include <vector>

// The channel levels and mutes a session plays with: one level (1.0 = unchanged) and one mute
// flag per audio channel, and a master level and mute over all of them. The window's channel
// controls and the command line both set it; the feeder reads it for every chunk set it mixes.
//
// Channel c plays at gain = master level x channel level, and is muted when the master is muted
// or the channel is. A channel the model has no entry for (one the refresh thread found before
// the model was told of it) plays silent.
//
// Any thread may call any operation; the model's own mutex guards every call.
class ChannelGainModel {
public:
    static constexpr float kDefaultLevel = 1.0f;
    // Levels are kept within [0, kMaximumLevel]; a level outside (or not a number) is refused.
    static constexpr float kMaximumLevel = 1000.0f;

    ChannelGainModel() = default;
    ChannelGainModel(const ChannelGainModel&) = delete;
    ChannelGainModel& operator=(const ChannelGainModel&) = delete;

    // Grows the model to `count` channels (new ones at the default level, unmuted). A smaller
    // count removes nothing: a session never loses a channel while it plays. Use reset() when
    // another session is opened.
    void setChannelCount(unsigned count);
    // Back to no channels, master at the default level, unmuted.
    void reset();
    unsigned channelCountIs() const;

    // False (nothing changed) for a channel beyond the count or a level out of range.
    bool setChannelLevel(unsigned channel, float level);
    bool setChannelMute(unsigned channel, bool mute);
    // Flips the channel's mute; false for a channel beyond the count.
    bool toggleChannelMute(unsigned channel);
    bool setMasterLevel(float level);
    void setMasterMute(bool mute);

    // 0.0 / false for a channel beyond the count.
    float channelLevelIs(unsigned channel) const;
    bool channelMuteIs(unsigned channel) const;
    float masterLevelIs() const;
    bool masterMuteIs() const;

    // The gain and mute of each of `channels` channels (a chunk set's size), in channel order,
    // as the mixer takes them.
    void gainsAndMutesFor(unsigned channels, std::vector<float>& gains,
                          std::vector<bool>& mutes) const;

    static bool isValidLevel(float level);

private:
    struct Channel {
        float level = kDefaultLevel;
        bool mute = false;
    };

    mutable std::mutex mutex_;
    std::vector<Channel> channels_;
    float masterLevel_ = kDefaultLevel;
    bool masterMute_ = false;
};
