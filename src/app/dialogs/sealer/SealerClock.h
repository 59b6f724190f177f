#pragma once

#include <string>

#include "SealerHost.h"

// The open session's day on the location's clock: the times the sealer dialogs show and take.
// A time of day on the session's day becomes epoch seconds with the location's offset in force
// then, and back. Texts of the ranges as the dialogs list them.
class SealerClock {
public:
    struct TimeOfDay {
        int hour = 0;  // 0..23
        int minute = 0;
        int second = 0;
    };

    // `host` must outlive the clock; its session's date and offsets are read on each call.
    explicit SealerClock(const SealerHost& host);

    // The location's time of day at `epochSeconds` (whole seconds, rounded down).
    TimeOfDay timeOfDay(double epochSeconds) const;
    // Epoch seconds of `time` on the session's day, in the location's clock.
    double epochOf(const TimeOfDay& time) const;

    // "9:05:07 AM to 10:00:00 AM" ("%d:%.2d:%.2d %s to %d:%.2d:%.2d %s", 12-hour clock).
    std::string sealedRangeText(double start, double end) const;
    // "Range 9:05:07 AM to 10:00:00 AM".
    std::string unsealRangeText(double start, double end) const;
    // "09:05:07 to 10:00:00" (24-hour clock, two digits each).
    std::string segmentText(double start, double end) const;

private:
    std::string twelveHourRange(double start, double end) const;

    const SealerHost& host_;
};
