#include "HotKeyTable.h"

#include <algorithm>

#include "JogController.h"
#include "TransportTarget.h"

namespace {

// X11 key symbols of the keys below.
constexpr uint32_t kXkDigit0 = 0x30;
constexpr uint32_t kXkPause = 0xff13;
constexpr uint32_t kXkBreak = 0xff6b;
constexpr uint32_t kXkLeft = 0xff51;
constexpr uint32_t kXkUp = 0xff52;
constexpr uint32_t kXkRight = 0xff53;
constexpr uint32_t kXkDown = 0xff54;
constexpr uint32_t kXkF6 = 0xffc3;
constexpr uint32_t kXkC = 0x63;
constexpr uint32_t kXkAudioPlay = 0x1008ff14;
constexpr uint32_t kXkAudioPrev = 0x1008ff16;
constexpr uint32_t kXkAudioNext = 0x1008ff17;

HotKeyTable::Entry entry(int id, HotKeyTable::Action action, QKeySequence key, unsigned modifiers,
                         uint32_t keySymbol, const char* trigger, const char* description) {
    HotKeyTable::Entry made;
    made.id = id;
    made.action = action;
    made.key = key;
    made.modifiers = modifiers;
    made.keySymbols[0] = keySymbol;
    made.trigger = trigger;
    made.description = description;
    return made;
}

std::vector<HotKeyTable::Entry> makeEntries() {
    using A = HotKeyTable::Action;
    constexpr unsigned ctrl = HotKeyTable::kControl;
    constexpr unsigned alt = HotKeyTable::kAlt;
    constexpr unsigned ctrlAlt = ctrl | alt;
    static const char* const soloTriggers[] = {"CTRL+1", "CTRL+2", "CTRL+3", "CTRL+4",
                                               "CTRL+5", "CTRL+6", "CTRL+7", "CTRL+8"};
    static const char* const soloDescriptions[] = {
        "Solo channel 1", "Solo channel 2", "Solo channel 3", "Solo channel 4",
        "Solo channel 5", "Solo channel 6", "Solo channel 7", "Solo channel 8"};
    std::vector<HotKeyTable::Entry> entries;
    for (int channel = 1; channel <= 8; ++channel) {
        entries.push_back(entry(channel, A::kSoloChannel,
                                QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_0 + channel)), ctrl,
                                kXkDigit0 + static_cast<uint32_t>(channel),
                                soloTriggers[channel - 1], soloDescriptions[channel - 1]));
    }
    entries.push_back(entry(9, A::kUnmuteAll, QKeySequence(Qt::CTRL | Qt::Key_0), ctrl, kXkDigit0,
                            "CTRL+0", "Unmute all channels"));
    entries.push_back(entry(10, A::kTogglePlay, QKeySequence(Qt::CTRL | Qt::Key_Pause), ctrl,
                            kXkPause, "CTRL+Pause", "Play or stop"));
    // With Control held, the Pause key gives Break on the usual layouts.
    entries.back().keySymbols[1] = kXkBreak;
    entries.push_back(entry(11, A::kAdvanceStep, QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_Right),
                            ctrlAlt, kXkRight, "CTRL+ALT+Right", "Step forward"));
    entries.push_back(entry(12, A::kRewindStep, QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_Left),
                            ctrlAlt, kXkLeft, "CTRL+ALT+Left", "Step back"));
    entries.push_back(entry(13, A::kTogglePlay, QKeySequence(Qt::Key_MediaTogglePlayPause), 0,
                            kXkAudioPlay, "XF86AudioPlay", "Play or stop (media key)"));
    // Some keyboards have a Play key, not a Play/Pause key.
    entries.back().alternateKey = QKeySequence(Qt::Key_MediaPlay);
    entries.push_back(entry(14, A::kAdvanceStep, QKeySequence(Qt::Key_MediaNext), 0, kXkAudioNext,
                            "XF86AudioNext", "Step forward (media key)"));
    entries.push_back(entry(15, A::kRewindStep, QKeySequence(Qt::Key_MediaPrevious), 0,
                            kXkAudioPrev, "XF86AudioPrev", "Step back (media key)"));
    entries.push_back(entry(16, A::kSpeedLower, QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_Up),
                            ctrlAlt, kXkUp, "CTRL+ALT+Up", "Speed control one position lower"));
    entries.push_back(entry(17, A::kSpeedHigher, QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_Down),
                            ctrlAlt, kXkDown, "CTRL+ALT+Down",
                            "Speed control one position higher"));
    entries.push_back(entry(18, A::kMasterLevelUp, QKeySequence(Qt::CTRL | Qt::Key_Up), ctrl, kXkUp,
                            "CTRL+Up", "Master level up"));
    entries.push_back(entry(19, A::kMasterLevelDown, QKeySequence(Qt::CTRL | Qt::Key_Down), ctrl,
                            kXkDown, "CTRL+Down", "Master level down"));
    entries.push_back(entry(20, A::kOpenSession, QKeySequence(Qt::CTRL | Qt::Key_F6), ctrl, kXkF6,
                            "CTRL+F6", "Open Session"));
    entries.push_back(
        entry(21, A::kCopy, QKeySequence(Qt::ALT | Qt::Key_C), alt, kXkC, "ALT+c", "Copy"));
    return entries;
}

}  // namespace

const std::vector<HotKeyTable::Entry>& HotKeyTable::entries() {
    static const std::vector<Entry> table = makeEntries();
    return table;
}

const HotKeyTable::Entry* HotKeyTable::find(int id) {
    if (id < kFirstId || id > kLastId) {
        return nullptr;
    }
    return &entries()[static_cast<std::size_t>(id - kFirstId)];
}

void HotKeyTable::soloChannel(TransportTarget& target, int channel) {
    const int channels = target.channelCount();
    if (channel < 0 || channel >= channels) {
        return;
    }
    bool onlyUnmuted = !target.isChannelMuted(channel);
    for (int other = 0; other < channels && onlyUnmuted; ++other) {
        if (other != channel && !target.isChannelMuted(other)) {
            onlyUnmuted = false;
        }
    }
    if (!onlyUnmuted) {
        for (int other = 0; other < channels; ++other) {
            if (other != channel) {
                target.setChannelMuted(other, true);
            }
        }
    }
    target.setChannelMuted(channel, false);
}

void HotKeyTable::unmuteAll(TransportTarget& target) {
    for (int channel = 0; channel < target.channelCount(); ++channel) {
        target.setChannelMuted(channel, false);
    }
}

bool HotKeyTable::perform(int id, TransportTarget& target, JogController& jog) {
    const Entry* entry = find(id);
    if (entry == nullptr) {
        return false;
    }
    switch (entry->action) {
        case Action::kSoloChannel:
            soloChannel(target, id - 1);
            break;
        case Action::kUnmuteAll:
            unmuteAll(target);
            break;
        case Action::kTogglePlay:
            if (target.isPlaying()) {
                target.stop();
            } else {
                target.play();
            }
            break;
        case Action::kAdvanceStep:
            jog.setAdvanceStepSeconds(target.advanceSeconds());
            jog.advanceStep();
            break;
        case Action::kRewindStep:
            jog.setRewindStepSeconds(target.rewindSeconds());
            jog.rewindStep();
            break;
        case Action::kSpeedLower:
        case Action::kSpeedHigher: {
            const int change = entry->action == Action::kSpeedLower ? -1 : 1;
            target.setSpeedPosition(std::clamp(target.speedPosition() + change,
                                               TransportTarget::kSlowestSpeedPosition,
                                               TransportTarget::kFastestSpeedPosition));
            break;
        }
        case Action::kMasterLevelUp:
        case Action::kMasterLevelDown:
            if (target.hasMasterLevel()) {
                target.stepMasterLevel(entry->action == Action::kMasterLevelUp ? 1 : -1);
            }
            break;
        case Action::kOpenSession:
            target.openSessionCommand();
            break;
        case Action::kCopy:
            target.copyCommand();
            break;
    }
    return true;
}
