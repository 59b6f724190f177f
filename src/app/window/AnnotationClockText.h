#pragma once

#include <string>

// The clock and date texts the annotation views show for a UTC epoch time in the clock time of
// the session's location (`offsetHours` from UTC).
class AnnotationClockText {
public:
    // "%.2d:%.2d:%.2d AM" for hours 0-11 (0 shown as 12), "... PM" for 12-23 (13-23 less 12).
    static std::string twelveHourTime(double epochSeconds, int offsetHours);
    // "%.2d/%.2d/%.4d": month, day, year.
    static std::string date(double epochSeconds, int offsetHours);
};
