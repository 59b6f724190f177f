#pragma once

#include <string>

// A playback speed as the speed control sets it: a track-bar position p from -8 (fastest) to 7
// (slowest), shown as the factor 1 - 0.1 p ("1.8x" ... "0.3x") and played as a tempo change of
// -10 p percent. Position 1 is the exception: the player plays -10 percent as -20, so it shows
// 0.8 and asks for -20.
class PlaybackSpeed {
public:
    static constexpr int kFastestPosition = -8;
    static constexpr int kSlowestPosition = 7;
    static constexpr int kNormalPosition = 0;
    // Tempo changes korvalis play accepts directly.
    static constexpr int kMinimumPercent = -90;
    static constexpr int kMaximumPercent = 400;

    // Normal speed.
    PlaybackSpeed() = default;

    // The speed of track-bar position `position`, clamped to [-8, 7].
    static PlaybackSpeed fromTrackBarPosition(int position);
    // A tempo change in percent (clamped to [-90, 400]); its position is the nearest one.
    static PlaybackSpeed fromPercent(int percent);

    int trackBarPositionIs() const { return position_; }
    // The tempo change handed to the player's setSpeed.
    int percentIs() const { return percent_; }
    // How much faster than real time the session plays (1.0 normal).
    double factorIs() const { return factor_; }
    // The factor as the speed control shows it: "%.01fx".
    std::string textIs() const;

    // One step faster (towards -8) or slower (towards 7); the ends stay where they are.
    PlaybackSpeed faster() const;
    PlaybackSpeed slower() const;

    bool operator==(const PlaybackSpeed&) const = default;

private:
    int position_ = kNormalPosition;
    int percent_ = 0;
    double factor_ = 1.0;
};
