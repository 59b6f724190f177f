#include <gtest/gtest.h>

#include "CommandLine.h"

namespace {

TEST(CommandLineTest, SeparatesPositionalsOptionsAndFlags) {
    CommandLine line({"FILE", "--at", "10", "--at=20.5", "--out", "DIR", "--html", "--", "--x"},
                     {"at", "out"}, {"html"});
    ASSERT_TRUE(line.isValid()) << line.error();
    EXPECT_EQ(line.positional(), (std::vector<std::string>{"FILE", "--x"}));
    EXPECT_EQ(line.values("at"), (std::vector<std::string>{"10", "20.5"}));
    EXPECT_EQ(line.value("out"), "DIR");
    EXPECT_TRUE(line.hasFlag("html"));
    EXPECT_FALSE(line.hasFlag("text"));
    EXPECT_FALSE(line.value("mode").has_value());
}

TEST(CommandLineTest, RejectsUnknownOptionsAndMissingValues) {
    EXPECT_FALSE(CommandLine({"--bogus"}, {"at"}).isValid());
    CommandLine missing({"FILE", "--at"}, {"at"});
    EXPECT_FALSE(missing.isValid());
    EXPECT_NE(missing.error().find("--at"), std::string::npos);
    EXPECT_FALSE(CommandLine({"--html=1"}, {}, {"html"}).isValid());
    // A single dash is an argument, not an option.
    CommandLine dash({"-", "-5"}, {});
    EXPECT_TRUE(dash.isValid());
    EXPECT_EQ(dash.positional().size(), 2u);
}

TEST(CommandLineTest, ParsesNumbersStrictly) {
    double d = 0;
    long l = 0;
    EXPECT_TRUE(CommandLine::parseDouble("1268652608.25", d));
    EXPECT_EQ(d, 1268652608.25);
    EXPECT_FALSE(CommandLine::parseDouble("12x", d));
    EXPECT_FALSE(CommandLine::parseDouble("", d));
    EXPECT_FALSE(CommandLine::parseDouble("nan", d));
    EXPECT_FALSE(CommandLine::parseDouble("1e999", d));
    EXPECT_TRUE(CommandLine::parseLong("-3", l));
    EXPECT_EQ(l, -3);
    EXPECT_FALSE(CommandLine::parseLong("3.5", l));
    EXPECT_FALSE(CommandLine::parseLong("99999999999999999999", l));
}

TEST(CommandLineTest, EpochSecondsAcceptDecimalAndFileNameHex) {
    double seconds = 0;
    EXPECT_TRUE(CommandLine::parseEpochSeconds("0x4b9e1a40", seconds));
    EXPECT_EQ(seconds, 1268652608.0);
    EXPECT_TRUE(CommandLine::parseEpochSeconds("100.5", seconds));
    EXPECT_EQ(seconds, 100.5);
    EXPECT_FALSE(CommandLine::parseEpochSeconds("-1", seconds));
    EXPECT_FALSE(CommandLine::parseEpochSeconds("0x1ffffffff", seconds));
    EXPECT_FALSE(CommandLine::parseEpochSeconds("0xzz", seconds));
    EXPECT_FALSE(CommandLine::parseEpochSeconds("4294967296", seconds));
}

}  // namespace
