#pragma once

#include <string>

// The time and date texts of the window, for positions given as epoch seconds (UTC) shown in the
// location's time zone (offset in whole hours from UTC to local time).
class ClockTimeText {
public:
    // Shown for a time when no session is open.
    static constexpr const char* kNoTime = "--:--:--";

    // "%.2d:%.2d:%.2d AM" for hours 0-11 (hour 0 shown as 12), "... PM" for 12-23 (hours above
    // 12 reduced by 12).
    static std::string twelveHour(double epochSeconds, int offsetHours);
    // "%.2d:%.2d:%.2d" with hours 0-23.
    static std::string twentyFourHour(double epochSeconds, int offsetHours);
    // Either form.
    static std::string clockTime(double epochSeconds, int offsetHours, bool twentyFourHours);
    // "%.2d/%.2d/%.4d": month, day, year.
    static std::string date(double epochSeconds, int offsetHours);
    // "%02d:%02d:%02d" of a duration in seconds (truncated; negative durations as 0; hours
    // beyond 99 keep all their digits).
    static std::string elapsed(double seconds);
};
