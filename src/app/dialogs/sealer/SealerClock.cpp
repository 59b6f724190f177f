#include "SealerClock.h"

#include <cmath>
#include <cstdio>

namespace {

constexpr int64_t kSecondsPerDay = 86400;

// Days from 1970-01-01 to the civil date (proleptic Gregorian calendar).
int64_t daysFromCivil(int year, int month, int day) {
    year -= month <= 2 ? 1 : 0;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t yearOfEra = year - era * 400;
    const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

}  // namespace

SealerClock::SealerClock(const SealerHost& host) : host_(host) {}

SealerClock::TimeOfDay SealerClock::timeOfDay(double epochSeconds) const {
    const double local = std::floor(epochSeconds) + host_.locationOffsetSecondsAt(epochSeconds);
    int64_t secondOfDay = static_cast<int64_t>(local) % kSecondsPerDay;
    if (secondOfDay < 0) {
        secondOfDay += kSecondsPerDay;
    }
    TimeOfDay time;
    time.hour = static_cast<int>(secondOfDay / 3600);
    time.minute = static_cast<int>(secondOfDay / 60 % 60);
    time.second = static_cast<int>(secondOfDay % 60);
    return time;
}

double SealerClock::epochOf(const TimeOfDay& time) const {
    const SealerHost::Date date = host_.sessionDate();
    const double local =
        static_cast<double>(daysFromCivil(date.year, date.month, date.day) * kSecondsPerDay +
                            time.hour * 3600 + time.minute * 60 + time.second);
    // The offset in force at that instant: found from the offset at the local reading.
    const double guess = local - host_.locationOffsetSecondsAt(local);
    return local - host_.locationOffsetSecondsAt(guess);
}

std::string SealerClock::twelveHourRange(double start, double end) const {
    const TimeOfDay from = timeOfDay(start);
    const TimeOfDay to = timeOfDay(end);
    const auto hour12 = [](int hour) { return hour % 12 == 0 ? 12 : hour % 12; };
    char text[96];
    std::snprintf(text, sizeof text, "%d:%.2d:%.2d %s to %d:%.2d:%.2d %s", hour12(from.hour),
                  from.minute, from.second, from.hour < 12 ? "AM" : "PM", hour12(to.hour),
                  to.minute, to.second, to.hour < 12 ? "AM" : "PM");
    return text;
}

std::string SealerClock::sealedRangeText(double start, double end) const {
    return twelveHourRange(start, end);
}

std::string SealerClock::unsealRangeText(double start, double end) const {
    return "Range " + twelveHourRange(start, end);
}

std::string SealerClock::segmentText(double start, double end) const {
    const TimeOfDay from = timeOfDay(start);
    const TimeOfDay to = timeOfDay(end);
    char text[64];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d to %02d:%02d:%02d", from.hour, from.minute,
                  from.second, to.hour, to.minute, to.second);
    return text;
}
