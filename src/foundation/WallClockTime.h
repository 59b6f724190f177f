#pragma once

#include <cstdint>
#include <memory>

#include "PackableObject.h"

// An absolute instant in UTC with microsecond resolution, plus the offset to the local time it is
// shown in. The offset never changes the instant, only its calendar fields and local seconds.
// A value type: copied freely, owns nothing, holds no lock.
class WallClockTime : public PackableObject {
public:
    // The current instant, with the machine's present local offset.
    WallClockTime();
    // `seconds` are local seconds in the zone `offsetHours` (UTC seconds when it is 0).
    WallClockTime(uint32_t seconds, uint32_t microseconds, int32_t offsetHours);
    // `seconds` (non-negative) are rounded to the microsecond; the offset is subtracted from them.
    WallClockTime(double seconds, int32_t offsetHours);
    // A local calendar time in the zone `offsetHours`. Fields that name no valid time give the
    // instant 0 (1970-01-01 00:00:00 UTC).
    WallClockTime(uint16_t year, uint16_t month, uint16_t day, uint16_t hour, uint16_t minute,
                  uint16_t second, uint16_t millisecond, int32_t offsetHours);

    ~WallClockTime() override = default;
    WallClockTime(const WallClockTime&) = default;
    WallClockTime& operator=(const WallClockTime&) = default;

    bool pack(ObjectPacker& packer) const override;
    bool unpack(ObjectPacker& packer) override;
    std::unique_ptr<PackableObject> createNewInstance() const override;

    void setTzOffsetHours(int32_t hours);
    void setTzOffsetSeconds(int32_t seconds) { tzOffsetFromUtcToLocalSeconds_ = seconds; }

    double asLocalSeconds() const;
    double asUtcSeconds() const;

    // Day of month, month (1..12) and year of the instant shifted by `offsetSeconds`.
    void getDate(int& day, int& month, int& year, int32_t offsetSeconds) const;
    void getLocalDate(int& day, int& month, int& year) const;
    // Hour, minute, second of the instant shifted by `offsetSeconds`; the stored microseconds.
    void getTime(int& hour, int& minute, int& second, int& microseconds,
                 int32_t offsetSeconds) const;
    void getLocalTime(int& hour, int& minute, int& second, int& microseconds) const;
    void getParts(uint32_t& localSeconds, uint32_t& microseconds, int32_t& offsetSeconds) const;

    uint32_t epochTimeSecondsInUtc() const { return epochTimeSecondsInUtc_; }
    uint32_t microseconds() const { return microseconds_; }
    int32_t tzOffsetFromUtcToLocalSeconds() const { return tzOffsetFromUtcToLocalSeconds_; }

    // True when a is before b; the offsets play no part.
    static bool isEarlier(const WallClockTime& a, const WallClockTime& b);
    // The machine's present UTC-to-local offset in whole seconds (need not be whole hours).
    static int32_t localOffsetFromUtcSeconds();
    // The machine's UTC-to-local offset in force at the instant `epochSecondsUtc` (summer time
    // or not, as the zone's rules say for that day), in whole seconds.
    static int32_t localOffsetFromUtcSecondsAt(uint32_t epochSecondsUtc);

    // Rounds non-negative seconds to the nearest microsecond, as printed with six decimals.
    static void splitSeconds(double seconds, uint32_t& wholeSeconds, uint32_t& microseconds);

    // The single-precision microsecond factor of the double forms (9.999999974752427e-07).
    static constexpr double kMicrosecondFactor = static_cast<double>(1e-6f);

private:
    struct CivilTime {
        int year, month, day, hour, minute, second;
    };
    static CivilTime civilFromSeconds(uint32_t seconds);

    uint32_t epochTimeSecondsInUtc_ = 0;
    uint32_t microseconds_ = 0;
    int32_t tzOffsetFromUtcToLocalSeconds_ = 0;
};
