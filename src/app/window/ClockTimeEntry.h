#pragma once

#include <string>

// What the user types into the two time edits: a clock time of the session's location, turned
// into epoch seconds on the session's day.
//
// Accepted: "H:MM", "H:MM:SS" (24-hour) and either followed by "AM" or "PM" (12-hour, "12:xx AM"
// is just after midnight), blanks around the parts ignored, letters in either case. Minutes and
// seconds 0-59; hours 0-23, or 1-12 with AM/PM.
class ClockTimeEntry {
public:
    // Seconds since the location's midnight; false for any other text.
    static bool parseTimeOfDay(const std::string& text, int& secondsOfDay);

    // The epoch seconds of `secondsOfDay` on YEAR-MONTH-DAY at a location whose clock is
    // `offsetSeconds` ahead of UTC.
    static double epochTimeOf(int year, int month, int day, int offsetSeconds, int secondsOfDay);

    // parseTimeOfDay, then epochTimeOf; false when the text is not a time.
    static bool epochTimeFromText(const std::string& text, int year, int month, int day,
                                  int offsetSeconds, double& epochTime);
};
