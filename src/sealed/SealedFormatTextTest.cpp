#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <limits>
#include <string>

#include "SealedFormatText.h"

namespace {

TEST(SealedFormatText, HexEncodesUpperCaseAndDecodesLeniently) {
    const uint8_t bytes[] = {0x00, 0x0f, 0xa5, 0xff};
    EXPECT_EQ(SealedFormatText::toHex(bytes, sizeof bytes), "000FA5FF");
    EXPECT_EQ(SealedFormatText::toSecretHex(bytes, sizeof bytes), "000FA5FF");
    uint8_t out[8] = {};
    // Both cases; blanks, colons and other non-digits skipped; a final odd digit dropped.
    EXPECT_EQ(SealedFormatText::fromHex("00 0f:A5-fF 7", out, sizeof out), 4u);
    EXPECT_EQ(std::memcmp(out, bytes, 4), 0);
    EXPECT_EQ(SealedFormatText::fromHex("", out, sizeof out), 0u);
    EXPECT_EQ(SealedFormatText::fromHex("zz", out, sizeof out), 0u);
}

TEST(SealedFormatText, HexDecodingNeverWritesPastTheBuffer) {
    uint8_t out[4] = {};
    uint8_t guard = 0x5a;
    EXPECT_EQ(SealedFormatText::fromHex("0102030405060708", out, 3), 8u);
    EXPECT_EQ(out[0], 1);
    EXPECT_EQ(out[2], 3);
    EXPECT_EQ(out[3], 0);
    EXPECT_EQ(guard, 0x5a);
}

TEST(SealedFormatText, IntegersAreWholeDecimalNumbersInRange) {
    int64_t value = -7;
    EXPECT_TRUE(SealedFormatText::parseInteger(" 600000 ", 0, 1000000, value));
    EXPECT_EQ(value, 600000);
    EXPECT_TRUE(SealedFormatText::parseInteger("+5", 0, 10, value));
    EXPECT_EQ(value, 5);
    EXPECT_TRUE(SealedFormatText::parseInteger("-5", -10, 10, value));
    EXPECT_EQ(value, -5);
    for (const char* bad : {"", " ", "12abc", "0x10", "1.5", "-5", "11", "99999999999999999999"}) {
        value = 3;
        EXPECT_FALSE(SealedFormatText::parseInteger(bad, 0, 10, value)) << bad;
        EXPECT_EQ(value, 3);
    }
}

TEST(SealedFormatText, MillisecondsAreRoundedAndIndependentOfTheLocale) {
    EXPECT_EQ(SealedFormatText::formatMilliseconds(1268652608.2506), "1268652608.251");
    EXPECT_EQ(SealedFormatText::formatMilliseconds(100.0), "100.000");
    EXPECT_EQ(SealedFormatText::formatMilliseconds(-1.0), "-1.000");
    // A desktop may run with a decimal comma; the stored form keeps its point.
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous != nullptr ? previous : "C";
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr ||
        std::setlocale(LC_NUMERIC, "fr_FR.UTF-8") != nullptr) {
        EXPECT_EQ(SealedFormatText::formatMilliseconds(2.5), "2.500");
        double value = 0.0;
        EXPECT_TRUE(SealedFormatText::parseDouble("2.5", value));
        EXPECT_EQ(value, 2.5);
    }
    std::setlocale(LC_NUMERIC, saved.c_str());
    double value = 0.0;
    EXPECT_TRUE(SealedFormatText::parseDouble(" 1268652608.251 ", value));
    EXPECT_DOUBLE_EQ(value, 1268652608.251);
    EXPECT_TRUE(SealedFormatText::parseDouble("100", value));
    EXPECT_FALSE(SealedFormatText::parseDouble("soon", value));
    EXPECT_FALSE(SealedFormatText::parseDouble("1.5s", value));
    EXPECT_FALSE(SealedFormatText::parseDouble("nan", value));
    EXPECT_FALSE(SealedFormatText::parseDouble("1e999", value));
}

TEST(SealedFormatText, PlainFileNames) {
    EXPECT_TRUE(SealedFormatText::isPlainFileName("COURT1~4b9e1a40~250~1~2~3.mp3"));
    EXPECT_TRUE(SealedFormatText::isPlainFileName("..hidden"));
    EXPECT_TRUE(SealedFormatText::isPlainFileName("a\\b.mp3"));
    for (const std::string& bad :
         std::vector<std::string>{"", ".", "..", "../x.mp3", "a/b", "/x", std::string("a\0b", 3)}) {
        EXPECT_FALSE(SealedFormatText::isPlainFileName(bad)) << bad;
    }
}

TEST(SealedFormatText, ControlCharactersAreFoundAndShownEscaped) {
    const std::pair<std::string, std::string> cases[] = {
        {"plain name.mp3", "plain name.mp3"},
        {"a\nb", "a\\x0Ab"},
        {"\x1b[2J", "\\x1B[2J"},
        {std::string("nul\0", 4), "nul\\x00"},
        {"del\x7f", "del\\x7F"},
        // C1 controls written in UTF-8, and as single bytes of an 8-bit character set.
        {"csi\xc2\x9b", "csi\\xC2\\x9B"},
        {"raw\x9b", "raw\\x9B"},
    };
    for (const auto& [text, shown] : cases) {
        EXPECT_EQ(SealedFormatText::hasControlCharacters(text), text != shown) << shown;
        EXPECT_EQ(SealedFormatText::escapeControlCharacters(text), shown);
        EXPECT_FALSE(SealedFormatText::hasControlCharacters(shown)) << shown;
    }
    // Letters beyond ASCII, in UTF-8 or as Latin-1 bytes, are no control characters; the bytes
    // that are no part of a UTF-8 character are shown escaped, so a terminal cannot misread them.
    const std::string utf8("Caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x8e\xa4 \xc2\xa0");
    EXPECT_FALSE(SealedFormatText::hasControlCharacters(utf8));
    EXPECT_EQ(SealedFormatText::escapeControlCharacters(utf8), utf8);
    for (const auto& [text, shown] : {std::pair<std::string, std::string>("Caf\xe9", "Caf\\xE9"),
                                      std::pair<std::string, std::string>("\xc2", "\\xC2")}) {
        EXPECT_FALSE(SealedFormatText::hasControlCharacters(text)) << shown;
        EXPECT_EQ(SealedFormatText::escapeControlCharacters(text), shown);
    }
}

TEST(SealedFormatText, RecordingTimesLieBetween1970AndTheLastEightDigitSecond) {
    for (const double seconds : {0.0, 1268652608.25, 4294967295.999, 4294967296.0}) {
        EXPECT_TRUE(SealedFormatText::isRecordingTime(seconds)) << seconds;
    }
    for (const double seconds :
         {-0.001, -1.0, 4294967296.001, 1e308, -1e308, std::numeric_limits<double>::infinity(),
          std::numeric_limits<double>::quiet_NaN()}) {
        EXPECT_FALSE(SealedFormatText::isRecordingTime(seconds)) << seconds;
    }
    // Any finite time is written as what it is.
    EXPECT_EQ(SealedFormatText::formatMilliseconds(1e20), "100000000000000000000.000");
    EXPECT_EQ(SealedFormatText::formatMilliseconds(1e308).size(), 313u);
}

}  // namespace
