#pragma once

#include <termios.h>

#include <string>
#include <string_view>
#include <vector>

// The terminal side of `korvalis play`: raw key input without echo, the keys it knows, and the
// status line redrawn in place (clock time of the location, elapsed time, speed, one level bar
// per channel).
class PlayTerminal {
public:
    enum class Key {
        kNone,
        kPlayStop,  // space
        kRewind,    // left arrow
        kAdvance,   // right arrow
        kFaster,    // up arrow
        kSlower,    // down arrow
        kChannel,   // 1-9: mute or unmute that channel (channel number in `channel`)
        kFollow,    // f
        kQuit,      // q, Q, Ctrl-C, Ctrl-D
    };
    struct KeyPress {
        Key key = Key::kNone;
        unsigned channel = 0;  // for kChannel: 0 for key 1, ...
        bool operator==(const KeyPress&) const = default;
    };

    // One channel as the status line shows it.
    struct ChannelLevel {
        float level = 0.0f;  // 0.0 .. 1.0
        bool muted = false;
    };

    static constexpr int kBarWidth = 8;

    PlayTerminal() = default;
    // Leaves raw mode when it was entered.
    ~PlayTerminal();
    PlayTerminal(const PlayTerminal&) = delete;
    PlayTerminal& operator=(const PlayTerminal&) = delete;

    // Whether standard input and output are both terminals.
    static bool isInteractive();
    // Puts standard input into raw mode (no echo, key by key) and hides the cursor. False when
    // the terminal settings cannot be changed.
    bool enter();
    // Restores the settings, shows the cursor and ends the status line.
    void leave();

    // Waits at most `timeoutMilliseconds` for input and returns the keys read (escape sequences
    // of the arrow keys decoded). Unknown keys are left out.
    std::vector<KeyPress> readKeys(int timeoutMilliseconds);
    // Redraws the status line in place.
    void drawStatus(const std::string& line);
    // Writes a whole line above the status line (the status line is drawn again afterwards).
    void printLine(const std::string& line);

    // The keys in `bytes`, as readKeys decodes them.
    static std::vector<KeyPress> decodeKeys(std::string_view bytes);
    // The clock time of `epochTime` at the location, shifted by `offsetSeconds`:
    // "%.2d:%.2d:%.2d AM" for hours 0-11 (hour 0 as 12) and "... PM" for 12-23.
    static std::string clockText(double epochTime, int offsetSeconds);
    // "%02d:%02d:%02d" of whole seconds (negative as 0).
    static std::string elapsedText(double seconds);
    // "CLOCK  ELAPSED  SPEED  1[####    ] 2[--muted-] ...", bars of kBarWidth.
    static std::string statusLine(const std::string& clock, const std::string& elapsed,
                                  const std::string& speed, bool playing, bool following,
                                  const std::vector<ChannelLevel>& channels);

private:
    bool entered_ = false;
    termios saved_{};
    std::string pendingBytes_;
    std::string lastStatus_;
};
