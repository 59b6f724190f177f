#include <gtest/gtest.h>

#include "PlayTerminal.h"

namespace {

using Key = PlayTerminal::Key;
using KeyPress = PlayTerminal::KeyPress;

TEST(PlayTerminalTest, DecodesKeysAndArrowSequences) {
    const std::vector<KeyPress> keys =
        PlayTerminal::decodeKeys(" \x1b[D\x1b[C\x1b[A\x1b[B19fqxQ\x1bOD\x1b[15~\x03");
    const std::vector<KeyPress> expected{
        {Key::kPlayStop, 0}, {Key::kRewind, 0},  {Key::kAdvance, 0}, {Key::kFaster, 0},
        {Key::kSlower, 0},   {Key::kChannel, 0}, {Key::kChannel, 8}, {Key::kFollow, 0},
        {Key::kQuit, 0},     {Key::kQuit, 0},    {Key::kRewind, 0},  {Key::kQuit, 0},
    };
    EXPECT_EQ(keys, expected);
    // "0" names no channel; a lone escape is no key.
    EXPECT_TRUE(PlayTerminal::decodeKeys("0\x1b").empty());
}

TEST(PlayTerminalTest, ClockTimeIsTwelveHourAtTheLocationsOffset) {
    const double midnight = 1268611200.0;  // 2010-03-15 00:00:00 UTC
    EXPECT_EQ(PlayTerminal::clockText(midnight, 0), "12:00:00 AM");
    EXPECT_EQ(PlayTerminal::clockText(midnight + 9 * 3600 + 5 * 60 + 7.9, 0), "09:05:07 AM");
    EXPECT_EQ(PlayTerminal::clockText(midnight + 12 * 3600, 0), "12:00:00 PM");
    EXPECT_EQ(PlayTerminal::clockText(midnight + 23 * 3600 + 59 * 60 + 59, 0), "11:59:59 PM");
    // Five hours behind UTC, the day before.
    EXPECT_EQ(PlayTerminal::clockText(midnight + 3600, -5 * 3600), "08:00:00 PM");
}

TEST(PlayTerminalTest, ElapsedTimeAndStatusLine) {
    EXPECT_EQ(PlayTerminal::elapsedText(3725.9), "01:02:05");
    EXPECT_EQ(PlayTerminal::elapsedText(-3.0), "00:00:00");
    EXPECT_EQ(PlayTerminal::statusLine("09:00:01 AM", "00:00:01", "1.0x", true, false,
                                       {{0.5f, false}, {1.0f, true}, {2.0f, false}}),
              "> 09:00:01 AM  00:00:01  1.0x  1[####    ]  2[muted---]  3[########]");
    EXPECT_EQ(PlayTerminal::statusLine("09:00:01 AM", "00:00:01", "0.5x", false, true, {}),
              "| 09:00:01 AM  00:00:01  0.5x  follow");
}

}  // namespace
