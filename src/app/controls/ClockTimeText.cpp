#include "ClockTimeText.h"

#include <cmath>
#include <cstdio>

#include "WallClockTime.h"

namespace {

// The instant `epochSeconds` (UTC) in the zone `offsetHours`, as hour, minute and second.
void clockFields(double epochSeconds, int offsetHours, int& hour, int& minute, int& second) {
    const double seconds = std::isfinite(epochSeconds) && epochSeconds > 0.0 ? epochSeconds : 0.0;
    WallClockTime time(seconds, 0);
    time.setTzOffsetHours(offsetHours);
    int microseconds = 0;
    time.getLocalTime(hour, minute, second, microseconds);
}

}  // namespace

std::string ClockTimeText::twelveHour(double epochSeconds, int offsetHours) {
    int hour = 0;
    int minute = 0;
    int second = 0;
    clockFields(epochSeconds, offsetHours, hour, minute, second);
    const char* half = hour < 12 ? "AM" : "PM";
    if (hour == 0) {
        hour = 12;
    } else if (hour > 12) {
        hour -= 12;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.2d:%.2d:%.2d %s", hour, minute, second, half);
    return text;
}

std::string ClockTimeText::twentyFourHour(double epochSeconds, int offsetHours) {
    int hour = 0;
    int minute = 0;
    int second = 0;
    clockFields(epochSeconds, offsetHours, hour, minute, second);
    char text[32];
    std::snprintf(text, sizeof text, "%.2d:%.2d:%.2d", hour, minute, second);
    return text;
}

std::string ClockTimeText::clockTime(double epochSeconds, int offsetHours, bool twentyFourHours) {
    return twentyFourHours ? twentyFourHour(epochSeconds, offsetHours)
                           : twelveHour(epochSeconds, offsetHours);
}

std::string ClockTimeText::date(double epochSeconds, int offsetHours) {
    const double seconds = std::isfinite(epochSeconds) && epochSeconds > 0.0 ? epochSeconds : 0.0;
    WallClockTime time(seconds, 0);
    time.setTzOffsetHours(offsetHours);
    int day = 0;
    int month = 0;
    int year = 0;
    time.getLocalDate(day, month, year);
    char text[32];
    std::snprintf(text, sizeof text, "%.2d/%.2d/%.4d", month, day, year);
    return text;
}

std::string ClockTimeText::elapsed(double seconds) {
    long long whole = 0;
    if (std::isfinite(seconds) && seconds > 0.0) {
        whole = seconds < 9.0e15 ? static_cast<long long>(seconds) : 9000000000000000LL;
    }
    char text[48];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", whole / 3600, whole / 60 % 60,
                  whole % 60);
    return text;
}
