#pragma once

#include <vector>

class ChannelGainModel;
class Win32_AudioChannelControl;
class Win32_BasicWindow;
class Win32_WindowMessage;

// The channel controls of the main window: one Win32_AudioChannelControl per audio channel of
// the open session and a master control at the right end of the channel panel. What the user
// sets on them (knob levels, mutes) goes into the engine's channel model, which the feeder reads
// for every chunk set; the level meters show the levels the window reads from the engine.
//
// User-interface thread only.
class ChannelStrip {
public:
    // Control ids: channel c is kFirstChannelId + c, the master kMasterId.
    static constexpr int kFirstChannelId = 200;
    static constexpr int kMasterId = 299;
    // One step of the master level (hot keys).
    static constexpr float kMasterStep = 0.1f;

    ChannelStrip(Win32_BasicWindow& window, ChannelGainModel& model);
    ~ChannelStrip();
    ChannelStrip(const ChannelStrip&) = delete;
    ChannelStrip& operator=(const ChannelStrip&) = delete;

    // Makes the controls for `count` channels and the master. A larger count adds controls for
    // the new channels and keeps the settings of the others (a live session grows); a smaller
    // one removes nothing unless `reset` (another session was opened): then every control is
    // made anew at the default level, unmuted, and the model follows.
    void SetChannelCount(unsigned count, bool reset);
    unsigned channelCount() const { return static_cast<unsigned>(channels_.size()); }

    Win32_AudioChannelControl* channelControl(unsigned channel) const;
    Win32_AudioChannelControl* masterControl() const { return master_; }

    // The level (1284) and mute (1285) messages of the controls; true when the message was one
    // of this strip's controls.
    bool handleMessage(const Win32_WindowMessage& message);

    bool isChannelMuted(unsigned channel) const;
    void setChannelMuted(unsigned channel, bool muted);
    // Moves the master level one step up (+1) or down (-1), within the control's range.
    void stepMasterLevel(int direction);

    // Level meters: `levelOf(channel)` gives each channel's level 0.0 .. 1.0; the master shows
    // the loudest channel.
    template <class LevelOf>
    void showLevels(LevelOf levelOf) {
        float loudest = 0.0f;
        for (unsigned channel = 0; channel < channels_.size(); ++channel) {
            const float level = levelOf(channel);
            loudest = level > loudest ? level : loudest;
            showLevel(channels_[channel], level);
        }
        showLevel(master_, loudest);
    }

private:
    void layout();
    void removeAll();
    Win32_AudioChannelControl* makeControl(int id, const char* caption, bool master);
    static void showLevel(Win32_AudioChannelControl* control, float level);

    Win32_BasicWindow& window_;
    ChannelGainModel& model_;
    std::vector<Win32_AudioChannelControl*> channels_;
    Win32_AudioChannelControl* master_ = nullptr;
};
