#include <gtest/gtest.h>

#include "PlaybackSpeed.h"

namespace {

TEST(PlaybackSpeedTest, TrackBarPositionsMapToFactorPercentAndText) {
    struct Row {
        int position;
        int percent;
        const char* text;
    };
    const Row table[] = {
        {-8, 80, "1.8x"}, {-7, 70, "1.7x"}, {-6, 60, "1.6x"}, {-5, 50, "1.5x"},
        {-4, 40, "1.4x"}, {-3, 30, "1.3x"}, {-2, 20, "1.2x"}, {-1, 10, "1.1x"},
        {0, 0, "1.0x"},   {1, -20, "0.8x"}, {2, -20, "0.8x"}, {3, -30, "0.7x"},
        {4, -40, "0.6x"}, {5, -50, "0.5x"}, {6, -60, "0.4x"}, {7, -70, "0.3x"},
    };
    for (const Row& row : table) {
        const PlaybackSpeed speed = PlaybackSpeed::fromTrackBarPosition(row.position);
        EXPECT_EQ(speed.trackBarPositionIs(), row.position);
        EXPECT_EQ(speed.percentIs(), row.percent) << row.position;
        EXPECT_EQ(speed.textIs(), row.text) << row.position;
        EXPECT_NEAR(speed.factorIs(), 1.0 + row.percent / 100.0, 1e-9) << row.position;
    }
}

TEST(PlaybackSpeedTest, PositionsBeyondTheTrackBarAreClamped) {
    EXPECT_EQ(PlaybackSpeed::fromTrackBarPosition(-20).percentIs(), 80);
    EXPECT_EQ(PlaybackSpeed::fromTrackBarPosition(9).percentIs(), -70);
}

TEST(PlaybackSpeedTest, StepsMoveOnePositionAndStopAtTheEnds) {
    PlaybackSpeed speed;
    EXPECT_EQ(speed.percentIs(), 0);
    EXPECT_EQ(speed.faster().percentIs(), 10);
    EXPECT_EQ(speed.slower().percentIs(), -20);           // position 1
    EXPECT_EQ(speed.slower().slower().percentIs(), -20);  // position 2
    EXPECT_EQ(speed.slower().slower().slower().percentIs(), -30);
    PlaybackSpeed fastest = PlaybackSpeed::fromTrackBarPosition(-8);
    EXPECT_EQ(fastest.faster(), fastest);
    PlaybackSpeed slowest = PlaybackSpeed::fromTrackBarPosition(7);
    EXPECT_EQ(slowest.slower(), slowest);
}

TEST(PlaybackSpeedTest, PercentsAreKeptAndPlacedAtTheNearestPosition) {
    const PlaybackSpeed half = PlaybackSpeed::fromPercent(-50);
    EXPECT_EQ(half.percentIs(), -50);
    EXPECT_EQ(half.trackBarPositionIs(), 5);
    EXPECT_EQ(half.textIs(), "0.5x");
    const PlaybackSpeed odd = PlaybackSpeed::fromPercent(33);
    EXPECT_EQ(odd.percentIs(), 33);
    EXPECT_EQ(odd.trackBarPositionIs(), -3);
    EXPECT_NEAR(odd.factorIs(), 1.33, 1e-9);
    // -10 plays as -20, and says so.
    EXPECT_EQ(PlaybackSpeed::fromPercent(-10).textIs(), "0.8x");
    EXPECT_EQ(PlaybackSpeed::fromPercent(-500).percentIs(), PlaybackSpeed::kMinimumPercent);
    EXPECT_EQ(PlaybackSpeed::fromPercent(100000).percentIs(), PlaybackSpeed::kMaximumPercent);
    EXPECT_EQ(PlaybackSpeed::fromPercent(-500).trackBarPositionIs(),
              PlaybackSpeed::kSlowestPosition);
}

}  // namespace
