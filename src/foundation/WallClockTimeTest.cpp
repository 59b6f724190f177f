#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <random>

#include "WallClockTime.h"
#include "XmlPacker.h"

namespace {

// Restores TZ after a test that changes the machine's zone.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone) {
        if (const char* old = std::getenv("TZ")) {
            saved_ = old;
            hadValue_ = true;
        }
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ScopedTimeZone() {
        if (hadValue_) {
            setenv("TZ", saved_.c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }

private:
    std::string saved_;
    bool hadValue_ = false;
};

TEST(WallClockTimeTest, PartsWithOffsetAreLocalSeconds) {
    WallClockTime stamp(7200u, 0u, 2);
    EXPECT_EQ(stamp.epochTimeSecondsInUtc(), 0u);
    EXPECT_EQ(stamp.tzOffsetFromUtcToLocalSeconds(), 7200);

    int hour, minute, second, micro;
    stamp.getLocalTime(hour, minute, second, micro);
    EXPECT_EQ(hour, 2);
    EXPECT_EQ(minute, 0);
    EXPECT_EQ(second, 0);
    stamp.getTime(hour, minute, second, micro, 0);
    EXPECT_EQ(hour, 0);
    int day, month, year;
    stamp.getDate(day, month, year, 0);
    EXPECT_EQ(day, 1);
    EXPECT_EQ(month, 1);
    EXPECT_EQ(year, 1970);

    uint32_t local, microseconds;
    int32_t offset;
    stamp.getParts(local, microseconds, offset);
    EXPECT_EQ(local, 7200u);
    EXPECT_EQ(offset, 7200);
}

TEST(WallClockTimeTest, OffsetChangesFieldsButNotTheInstant) {
    WallClockTime stamp(1268654400.25, 0);  // 2010-03-15 12:00:00.25 UTC
    const double utc = stamp.asUtcSeconds();
    stamp.setTzOffsetHours(-5);
    EXPECT_EQ(stamp.asUtcSeconds(), utc);
    int hour, minute, second, micro;
    stamp.getLocalTime(hour, minute, second, micro);
    EXPECT_EQ(hour, 7);
    EXPECT_EQ(micro, 250000);
    EXPECT_EQ(stamp.asLocalSeconds(),
              1268654400.0 - 5 * 3600 + 250000 * WallClockTime::kMicrosecondFactor);
}

TEST(WallClockTimeTest, DoubleSplitRoundsToTheMicrosecond) {
    WallClockTime rounded(1234.9999996, 0);
    EXPECT_EQ(rounded.epochTimeSecondsInUtc(), 1235u);
    EXPECT_EQ(rounded.microseconds(), 0u);

    WallClockTime half(1234.5, 0);
    EXPECT_EQ(half.epochTimeSecondsInUtc(), 1234u);
    EXPECT_EQ(half.microseconds(), 500000u);

    WallClockTime shifted(1234.5, 1);
    EXPECT_EQ(shifted.epochTimeSecondsInUtc(), 1234u - 3600u);
    EXPECT_EQ(shifted.tzOffsetFromUtcToLocalSeconds(), 3600);

    uint32_t whole, micro;
    WallClockTime::splitSeconds(-0.25, whole, micro);
    EXPECT_EQ(static_cast<int32_t>(whole), -1);
    EXPECT_EQ(micro, 750000u);
}

TEST(WallClockTimeTest, DoubleFormsUseTheSinglePrecisionFactor) {
    EXPECT_EQ(WallClockTime::kMicrosecondFactor, 9.999999974752427e-07);
    WallClockTime stamp(4000000000u, 123456u, 0);
    EXPECT_EQ(stamp.asUtcSeconds(), 4000000000.0 + 123456.0 * 9.999999974752427e-07);
    // Two stamps that are equal as fields are equal as doubles.
    WallClockTime same(4000000000u, 123456u, 0);
    same.setTzOffsetHours(3);
    EXPECT_EQ(same.asUtcSeconds(), stamp.asUtcSeconds());
}

TEST(WallClockTimeTest, CalendarFieldsRoundTrip) {
    WallClockTime stamp(uint16_t{2010}, 3, 15, 9, 30, 15, 250, 0);
    EXPECT_EQ(stamp.epochTimeSecondsInUtc(), 1268645415u);
    EXPECT_EQ(stamp.microseconds(), 250000u);

    // Local 09:30 at UTC+2 is 07:30 UTC.
    WallClockTime local(uint16_t{2010}, 3, 15, 9, 30, 15, 0, 2);
    EXPECT_EQ(local.epochTimeSecondsInUtc(), 1268645415u - 7200u);
    int hour, minute, second, micro;
    local.getLocalTime(hour, minute, second, micro);
    EXPECT_EQ(hour, 9);
    EXPECT_EQ(minute, 30);

    WallClockTime invalid(uint16_t{2010}, 2, 30, 0, 0, 0, 0, 0);
    EXPECT_EQ(invalid.epochTimeSecondsInUtc(), 0u);
    WallClockTime badHour(uint16_t{2010}, 2, 3, 24, 0, 0, 0, 0);
    EXPECT_EQ(badHour.epochTimeSecondsInUtc(), 0u);
}

TEST(WallClockTimeTest, CalendarAgreesWithTheCLibraryFrom1970To2106) {
    std::mt19937 random(20101);
    std::uniform_int_distribution<uint32_t> anySecond(0, UINT32_MAX);
    std::vector<uint32_t> instants = {0u,
                                      59u,
                                      86399u,
                                      86400u,
                                      951782400u /* 2000-02-29 */,
                                      2147483647u,
                                      2147483648u,
                                      4107542400u /* 2100-03-01 */,
                                      UINT32_MAX};
    for (int i = 0; i < 20000; ++i) {
        instants.push_back(anySecond(random));
    }
    for (uint32_t seconds : instants) {
        WallClockTime stamp(seconds, 0u, 0);
        const std::time_t t = static_cast<std::time_t>(seconds);
        std::tm expected{};
        ASSERT_NE(gmtime_r(&t, &expected), nullptr);
        int day, month, year, hour, minute, second, micro;
        stamp.getDate(day, month, year, 0);
        stamp.getTime(hour, minute, second, micro, 0);
        ASSERT_EQ(year, expected.tm_year + 1900) << seconds;
        ASSERT_EQ(month, expected.tm_mon + 1) << seconds;
        ASSERT_EQ(day, expected.tm_mday) << seconds;
        ASSERT_EQ(hour, expected.tm_hour) << seconds;
        ASSERT_EQ(minute, expected.tm_min) << seconds;
        ASSERT_EQ(second, expected.tm_sec) << seconds;

        if (expected.tm_year + 1900 <= 2105) {
            WallClockTime fromFields(static_cast<uint16_t>(year), static_cast<uint16_t>(month),
                                     static_cast<uint16_t>(day), static_cast<uint16_t>(hour),
                                     static_cast<uint16_t>(minute), static_cast<uint16_t>(second),
                                     uint16_t{0}, 0);
            ASSERT_EQ(fromFields.epochTimeSecondsInUtc(), seconds);
        }
    }
}

TEST(WallClockTimeTest, IsEarlierIgnoresOffsets) {
    WallClockTime a(100u, 5u, 0);
    WallClockTime b(100u, 6u, 0);
    EXPECT_TRUE(WallClockTime::isEarlier(a, b));
    EXPECT_FALSE(WallClockTime::isEarlier(b, a));

    WallClockTime c(100u, 5u, 0);
    c.setTzOffsetHours(7);
    EXPECT_FALSE(WallClockTime::isEarlier(a, c));
    EXPECT_FALSE(WallClockTime::isEarlier(c, a));
    // Seconds compare unsigned: after 2038 is still later.
    EXPECT_TRUE(WallClockTime::isEarlier(WallClockTime(2147483647u, 999999u, 0),
                                         WallClockTime(2147483648u, 0u, 0)));
}

TEST(WallClockTimeTest, MachineOffsetFollowsTheZone) {
    {
        ScopedTimeZone zone("IST-5:30");
        EXPECT_EQ(WallClockTime::localOffsetFromUtcSeconds(), 19800);
        WallClockTime now;
        EXPECT_EQ(now.tzOffsetFromUtcToLocalSeconds(), 19800);
    }
    {
        ScopedTimeZone zone("NST+3:30");
        EXPECT_EQ(WallClockTime::localOffsetFromUtcSeconds(), -12600);
    }
    ScopedTimeZone utc("UTC0");
    EXPECT_EQ(WallClockTime::localOffsetFromUtcSeconds(), 0);
}

TEST(WallClockTimeTest, OffsetAtAnInstantIsTheOneInForceThen) {
    ScopedTimeZone zone("America/New_York");
    EXPECT_EQ(WallClockTime::localOffsetFromUtcSecondsAt(1270305000), -4 * 3600);  // 2010-04-03
    EXPECT_EQ(WallClockTime::localOffsetFromUtcSecondsAt(1262340000), -5 * 3600);  // 2010-01-01
    // Summer time began at 2010-03-14 07:00 UTC.
    EXPECT_EQ(WallClockTime::localOffsetFromUtcSecondsAt(1268549999), -5 * 3600);
    EXPECT_EQ(WallClockTime::localOffsetFromUtcSecondsAt(1268550000), -4 * 3600);
}

TEST(WallClockTimeTest, DefaultIsNow) {
    const std::time_t before = std::time(nullptr);
    WallClockTime now;
    const std::time_t after = std::time(nullptr);
    EXPECT_GE(now.epochTimeSecondsInUtc(), static_cast<uint32_t>(before));
    EXPECT_LE(now.epochTimeSecondsInUtc(), static_cast<uint32_t>(after));
    EXPECT_LT(now.microseconds(), 1000000u);
    auto copy = now.createNewInstance();
    EXPECT_EQ(copy->typeName(), "WallClockTime");
}

TEST(WallClockTimeTest, PacksThreeNamedFields) {
    WallClockTime stamp(3000000000u, 42u, 0);
    stamp.setTzOffsetSeconds(-19800);
    XmlPacker packer("stamp");
    ASSERT_TRUE(stamp.pack(packer));
    EXPECT_EQ(packer.packedText(),
              "<stamp>\n"
              "    <epochTimeSecondsInUtc>-1294967296</epochTimeSecondsInUtc>\n"
              "    <microseconds>42</microseconds>\n"
              "    <tzOffsetFromUtcToLocalSeconds>-19800</tzOffsetFromUtcToLocalSeconds>\n"
              "</stamp>\n");

    auto message = packer.getPackedMessage();
    ASSERT_NE(message, nullptr);
    XmlPacker reader("stamp");
    reader.beginUnpacking(*message);
    WallClockTime back(0u, 0u, 0);
    ASSERT_TRUE(back.unpack(reader));
    EXPECT_EQ(back.epochTimeSecondsInUtc(), 3000000000u);
    EXPECT_EQ(back.microseconds(), 42u);
    EXPECT_EQ(back.tzOffsetFromUtcToLocalSeconds(), -19800);
}

TEST(WallClockTimeTest, UnpackStopsAtTheFirstMissingField) {
    const std::string text =
        "<s><epochTimeSecondsInUtc>77</epochTimeSecondsInUtc>"
        "<tzOffsetFromUtcToLocalSeconds>3600</tzOffsetFromUtcToLocalSeconds></s>";
    RawMessage message(text.data(), static_cast<uint32_t>(text.size()));
    XmlPacker reader("s");
    reader.beginUnpacking(message);
    WallClockTime stamp(5u, 9u, 0);
    EXPECT_FALSE(stamp.unpack(reader));
    EXPECT_EQ(stamp.epochTimeSecondsInUtc(), 77u);
    EXPECT_EQ(stamp.microseconds(), 9u);
    EXPECT_EQ(stamp.tzOffsetFromUtcToLocalSeconds(), 0);
}

}  // namespace
