#include "WallClockTime.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "ObjectPacker.h"

namespace {

constexpr const char* kTypeName = "WallClockTime";

// Days from 1970-01-01 to year-month-day of the proleptic Gregorian calendar.
int64_t daysFromCivil(int64_t year, unsigned month, unsigned day) {
    year -= month <= 2 ? 1 : 0;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const auto yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<int64_t>(dayOfEra) - 719468;
}

// Offsets are 32-bit seconds; absurd hour counts wrap instead of overflowing.
int32_t hoursToSeconds(int32_t hours) {
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<int64_t>(hours) * 3600));
}

bool isLeapYear(unsigned year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

unsigned daysInMonth(unsigned year, unsigned month) {
    static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

}  // namespace

void WallClockTime::splitSeconds(double seconds, uint32_t& wholeSeconds, uint32_t& microseconds) {
    // Printing with six decimals rounds to the nearest microsecond exactly as the stored records
    // were made; the digits before and after the point are then read separately.
    char buffer[1024];
    std::snprintf(buffer, sizeof buffer, "%f", seconds);
    const char* point = std::strchr(buffer, '.');
    long long whole = std::strtoll(buffer, nullptr, 10);
    long long fraction = point != nullptr ? std::strtoll(point + 1, nullptr, 10) : 0;
    if (buffer[0] == '-' && fraction != 0) {
        // Below zero the printed digits are those of the magnitude: borrow a whole second.
        whole -= 1;
        fraction = 1000000 - fraction;
    }
    wholeSeconds = static_cast<uint32_t>(whole);
    microseconds = static_cast<uint32_t>(fraction);
}

WallClockTime::WallClockTime() : PackableObject(kTypeName) {
    using namespace std::chrono;
    // The clock in 100-nanosecond units, scaled to seconds the way file times are.
    const auto ticks = duration_cast<duration<int64_t, std::ratio<1, 10000000>>>(
                           system_clock::now().time_since_epoch())
                           .count();
    splitSeconds(static_cast<double>(ticks) * 1e-7, epochTimeSecondsInUtc_, microseconds_);
    tzOffsetFromUtcToLocalSeconds_ = localOffsetFromUtcSeconds();
}

WallClockTime::WallClockTime(uint32_t seconds, uint32_t microseconds, int32_t offsetHours)
    : PackableObject(kTypeName),
      epochTimeSecondsInUtc_(seconds - static_cast<uint32_t>(hoursToSeconds(offsetHours))),
      microseconds_(microseconds),
      tzOffsetFromUtcToLocalSeconds_(hoursToSeconds(offsetHours)) {}

WallClockTime::WallClockTime(double seconds, int32_t offsetHours) : PackableObject(kTypeName) {
    splitSeconds(seconds, epochTimeSecondsInUtc_, microseconds_);
    tzOffsetFromUtcToLocalSeconds_ = hoursToSeconds(offsetHours);
    epochTimeSecondsInUtc_ -= static_cast<uint32_t>(tzOffsetFromUtcToLocalSeconds_);
}

WallClockTime::WallClockTime(uint16_t year, uint16_t month, uint16_t day, uint16_t hour,
                             uint16_t minute, uint16_t second, uint16_t millisecond,
                             int32_t offsetHours)
    : PackableObject(kTypeName) {
    tzOffsetFromUtcToLocalSeconds_ = hoursToSeconds(offsetHours);
    const bool valid = year >= 1601 && year <= 30827 && month >= 1 && month <= 12 && day >= 1 &&
                       day <= daysInMonth(year, month) && hour <= 23 && minute <= 59 &&
                       second <= 59 && millisecond <= 999;
    if (!valid) {
        return;
    }
    // As a file time: 100-nanosecond units since 1970, then scaled and split like any time.
    const int64_t days = daysFromCivil(year, month, day);
    const int64_t ticks =
        ((days * 86400 + hour * 3600 + minute * 60 + second) * 1000 + millisecond) * 10000;
    splitSeconds(static_cast<double>(ticks) * 1e-7, epochTimeSecondsInUtc_, microseconds_);
    epochTimeSecondsInUtc_ -= static_cast<uint32_t>(tzOffsetFromUtcToLocalSeconds_);
}

bool WallClockTime::pack(ObjectPacker& packer) const {
    // Written as 32-bit signed values, so stamps after 2038 keep the form stored records use.
    packer.pack("epochTimeSecondsInUtc",
                static_cast<long>(static_cast<int32_t>(epochTimeSecondsInUtc_)));
    packer.pack("microseconds", static_cast<long>(static_cast<int32_t>(microseconds_)));
    packer.pack("tzOffsetFromUtcToLocalSeconds", static_cast<long>(tzOffsetFromUtcToLocalSeconds_));
    return true;
}

bool WallClockTime::unpack(ObjectPacker& packer) {
    long value = 0;
    if (!packer.unpack("epochTimeSecondsInUtc", value)) {
        return false;
    }
    epochTimeSecondsInUtc_ = static_cast<uint32_t>(value);
    if (!packer.unpack("microseconds", value)) {
        return false;
    }
    microseconds_ = static_cast<uint32_t>(value);
    if (!packer.unpack("tzOffsetFromUtcToLocalSeconds", value)) {
        return false;
    }
    tzOffsetFromUtcToLocalSeconds_ = static_cast<int32_t>(value);
    return true;
}

std::unique_ptr<PackableObject> WallClockTime::createNewInstance() const {
    return std::make_unique<WallClockTime>();
}

void WallClockTime::setTzOffsetHours(int32_t hours) {
    tzOffsetFromUtcToLocalSeconds_ = hoursToSeconds(hours);
}

double WallClockTime::asLocalSeconds() const {
    const uint32_t local =
        epochTimeSecondsInUtc_ + static_cast<uint32_t>(tzOffsetFromUtcToLocalSeconds_);
    return static_cast<double>(local) + static_cast<double>(microseconds_) * kMicrosecondFactor;
}

double WallClockTime::asUtcSeconds() const {
    return static_cast<double>(epochTimeSecondsInUtc_) +
           static_cast<double>(microseconds_) * kMicrosecondFactor;
}

WallClockTime::CivilTime WallClockTime::civilFromSeconds(uint32_t seconds) {
    const int64_t days = seconds / 86400;
    const auto secondOfDay = static_cast<int>(seconds % 86400);
    // Civil date from a day count (proleptic Gregorian), valid for every 32-bit second count.
    const int64_t z = days + 719468;
    const int64_t era = z / 146097;
    const auto dayOfEra = static_cast<unsigned>(z - era * 146097);
    const unsigned yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned mp = (5 * dayOfYear + 2) / 153;
    const unsigned day = dayOfYear - (153 * mp + 2) / 5 + 1;
    const unsigned month = mp < 10 ? mp + 3 : mp - 9;
    const int64_t year = static_cast<int64_t>(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0);
    return {static_cast<int>(year), static_cast<int>(month), static_cast<int>(day),
            secondOfDay / 3600,     secondOfDay / 60 % 60,   secondOfDay % 60};
}

void WallClockTime::getDate(int& day, int& month, int& year, int32_t offsetSeconds) const {
    const CivilTime civil =
        civilFromSeconds(epochTimeSecondsInUtc_ + static_cast<uint32_t>(offsetSeconds));
    day = civil.day;
    month = civil.month;
    year = civil.year;
}

void WallClockTime::getLocalDate(int& day, int& month, int& year) const {
    getDate(day, month, year, tzOffsetFromUtcToLocalSeconds_);
}

void WallClockTime::getTime(int& hour, int& minute, int& second, int& microseconds,
                            int32_t offsetSeconds) const {
    const CivilTime civil =
        civilFromSeconds(epochTimeSecondsInUtc_ + static_cast<uint32_t>(offsetSeconds));
    hour = civil.hour;
    minute = civil.minute;
    second = civil.second;
    microseconds = static_cast<int>(microseconds_);
}

void WallClockTime::getLocalTime(int& hour, int& minute, int& second, int& microseconds) const {
    getTime(hour, minute, second, microseconds, tzOffsetFromUtcToLocalSeconds_);
}

void WallClockTime::getParts(uint32_t& localSeconds, uint32_t& microseconds,
                             int32_t& offsetSeconds) const {
    localSeconds = epochTimeSecondsInUtc_ + static_cast<uint32_t>(tzOffsetFromUtcToLocalSeconds_);
    microseconds = microseconds_;
    offsetSeconds = tzOffsetFromUtcToLocalSeconds_;
}

bool WallClockTime::isEarlier(const WallClockTime& a, const WallClockTime& b) {
    if (a.epochTimeSecondsInUtc_ != b.epochTimeSecondsInUtc_) {
        return a.epochTimeSecondsInUtc_ < b.epochTimeSecondsInUtc_;
    }
    return a.microseconds_ < b.microseconds_;
}

int32_t WallClockTime::localOffsetFromUtcSeconds() {
    return localOffsetFromUtcSecondsAt(static_cast<uint32_t>(std::time(nullptr)));
}

int32_t WallClockTime::localOffsetFromUtcSecondsAt(uint32_t epochSecondsUtc) {
    const auto instant = static_cast<std::time_t>(epochSecondsUtc);
    std::tm local{};
    if (localtime_r(&instant, &local) == nullptr) {
        return 0;
    }
    return static_cast<int32_t>(local.tm_gmtoff);
}
