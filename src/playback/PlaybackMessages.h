#pragma once

#include <cstdint>

// The thread messages of the playback engine, numbered as the window's messages (WM_USER + n),
// so that the window and the engine speak the same numbers.
namespace PlaybackMessages {

constexpr uint32_t kUserBase = 0x0400;  // WM_USER

// To the feeder thread (PlayerFeeder). Positions travel in wParam as whole epoch seconds.
constexpr uint32_t kFeederQuit = kUserBase + 15;      // 1039: leave the loop, the thread ends
constexpr uint32_t kFeederStop = kUserBase + 16;      // 1040: the player stops
constexpr uint32_t kFeederResume = kUserBase + 17;    // 1041: play on from where it is (mode 2)
constexpr uint32_t kFeederPlayFrom = kUserBase + 18;  // 1042: seek (clamped) and play (mode 0)
constexpr uint32_t kFeederSeekTo = kUserBase + 19;    // 1043: seek and stay stopped (mode 1)

// To the autoload thread: stop watching.
constexpr uint32_t kAutoloadStop = kUserBase + 6;  // 1030
// From the autoload thread to the window: load the session it waited for.
constexpr uint32_t kAutoloadLoadSession = kUserBase + 34;  // 1058

// From the speed control to the window, its track-bar position in wParam (PlaybackSpeed).
constexpr uint32_t kSpeedTrackBarMoved = 2626;

}  // namespace PlaybackMessages
