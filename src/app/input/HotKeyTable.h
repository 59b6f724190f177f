#pragma once

#include <QKeySequence>
#include <cstdint>
#include <vector>

class JogController;
class TransportTarget;

// The hot keys 1-21: which key each is and what it does. The same ids reach handleHotKey from
// the application shortcuts, the X11 key grabs and the desktop portal.
class HotKeyTable {
public:
    enum class Action {
        kSoloChannel,  // ids 1-8: channel id - 1
        kUnmuteAll,
        kTogglePlay,
        kAdvanceStep,
        kRewindStep,
        kSpeedLower,
        kSpeedHigher,
        kMasterLevelUp,
        kMasterLevelDown,
        kOpenSession,
        kCopy,
    };

    // Modifier bits of a system-wide key.
    static constexpr unsigned kControl = 1;
    static constexpr unsigned kAlt = 2;

    struct Entry {
        int id = 0;
        Action action = Action::kTogglePlay;
        QKeySequence key;             // as an application shortcut
        unsigned modifiers = 0;       // kControl | kAlt, for key grabs
        uint32_t keySymbols[2] = {};  // X11 key symbols (0: none); any of them triggers it
        const char* trigger = "";     // the desktop portal's preferred trigger
        const char* description = "";
        QKeySequence alternateKey;  // another key Qt may report for the same key; may be empty
    };

    static constexpr int kFirstId = 1;
    static constexpr int kLastId = 21;

    static const std::vector<Entry>& entries();
    // Null for an id outside 1-21.
    static const Entry* find(int id);

    // Carries out hot key `id` on the window. False for an unknown id.
    static bool perform(int id, TransportTarget& target, JogController& jog);

    // Solo: when `channel` exists and is not already the only unmuted one, every other channel
    // is muted; then it is unmuted. A channel beyond the window's channels does nothing.
    static void soloChannel(TransportTarget& target, int channel);
    static void unmuteAll(TransportTarget& target);
};
