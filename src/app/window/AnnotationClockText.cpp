#include "AnnotationClockText.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

#include "WallClockTime.h"

namespace {

WallClockTime clockAt(double epochSeconds, int offsetHours) {
    const double clamped = std::isfinite(epochSeconds) ? std::fmax(epochSeconds, 0.0) : 0.0;
    WallClockTime time(static_cast<uint32_t>(std::fmin(clamped, 4294967295.0)), 0u, 0);
    time.setTzOffsetHours(offsetHours);
    return time;
}

}  // namespace

std::string AnnotationClockText::twelveHourTime(double epochSeconds, int offsetHours) {
    int hour = 0;
    int minute = 0;
    int second = 0;
    int microseconds = 0;
    clockAt(epochSeconds, offsetHours).getLocalTime(hour, minute, second, microseconds);
    const bool afternoon = hour >= 12;
    const int shown = hour == 0 ? 12 : (hour > 12 ? hour - 12 : hour);
    char text[32];
    std::snprintf(text, sizeof text, "%.2d:%.2d:%.2d %s", shown, minute, second,
                  afternoon ? "PM" : "AM");
    return text;
}

std::string AnnotationClockText::date(double epochSeconds, int offsetHours) {
    int day = 0;
    int month = 0;
    int year = 0;
    clockAt(epochSeconds, offsetHours).getLocalDate(day, month, year);
    char text[32];
    std::snprintf(text, sizeof text, "%.2d/%.2d/%.4d", month, day, year);
    return text;
}
