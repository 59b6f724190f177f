#include <gtest/gtest.h>

#include "TerminalText.h"

namespace {

TEST(TerminalTextTest, EscapesWhatATerminalWouldObey) {
    using LineBreaks = TerminalText::LineBreaks;
    EXPECT_EQ(TerminalText::escaped("Caf\xC3\xA9 \\ \xE2\x82\xAC"), "Caf\xC3\xA9 \\ \xE2\x82\xAC");
    EXPECT_EQ(TerminalText::escaped("\x1B[2J\r\a\x7F"), "\\x1B[2J\\x0D\\x07\\x7F");
    // C1 controls (CSI is U+009B) and bytes that are no part of a UTF-8 character.
    EXPECT_EQ(TerminalText::escaped("\xC2\x9B"
                                    "31m \x9B \xE2\x82"),
              "\\xC2\\x9B31m \\x9B \\xE2\\x82");
    EXPECT_EQ(TerminalText::escaped("a\tb\nc"), "a\\x09b\\x0Ac");
    EXPECT_EQ(TerminalText::escaped("a\tb\nc\r", LineBreaks::kKeep), "a\tb\nc\\x0D");
}

}  // namespace
