// korvalis time: shows an instant the way the archive stores and displays it.

#include <cstdio>

#include "CommandLine.h"
#include "KorvalisCommand.h"
#include "WallClockTime.h"

namespace {

constexpr const char* kUsage =
    "Usage: korvalis time [SECONDS] [--offset-hours H]\n\n"
    "Shows an instant as the archive stores it: UTC and local epoch seconds, calendar fields and\n"
    "the eight hexadecimal digits that media file names carry. SECONDS are epoch seconds\n"
    "(decimals allowed) or hexadecimal with 0x; without them, the current time. The local zone\n"
    "is the machine's, with the offset in force at that instant, unless --offset-hours gives\n"
    "one.\n";

void printStamp(const WallClockTime& stamp) {
    int day, month, year, hour, minute, second, microseconds;
    std::printf("utc_seconds: %.6f\n", stamp.asUtcSeconds());
    std::printf("local_seconds: %.6f\n", stamp.asLocalSeconds());
    std::printf("offset_seconds: %d\n", stamp.tzOffsetFromUtcToLocalSeconds());
    std::printf("file_name_seconds: %08x\n", stamp.epochTimeSecondsInUtc());
    stamp.getDate(day, month, year, 0);
    stamp.getTime(hour, minute, second, microseconds, 0);
    std::printf("utc: %04d-%02d-%02d %02d:%02d:%02d.%06d\n", year, month, day, hour, minute, second,
                microseconds);
    stamp.getLocalDate(day, month, year);
    stamp.getLocalTime(hour, minute, second, microseconds);
    std::printf("local: %04d-%02d-%02d %02d:%02d:%02d.%06d\n", year, month, day, hour, minute,
                second, microseconds);
}

int runTime(const std::vector<std::string>& arguments) {
    CommandLine line(arguments, {"offset-hours"});
    if (!line.isValid() || line.positional().size() > 1) {
        std::fprintf(stderr, "korvalis time: %s\n%s",
                     line.isValid() ? "too many arguments" : line.error().c_str(), kUsage);
        return kExitUsage;
    }
    WallClockTime stamp;
    if (!line.positional().empty()) {
        double seconds = 0;
        if (!CommandLine::parseEpochSeconds(line.positional()[0], seconds)) {
            std::fprintf(stderr, "korvalis time: '%s' is not a time in epoch seconds\n",
                         line.positional()[0].c_str());
            return kExitUsage;
        }
        stamp = WallClockTime(seconds, 0);
        // The offset of that instant, not today's: summer time comes and goes.
        stamp.setTzOffsetSeconds(
            WallClockTime::localOffsetFromUtcSecondsAt(stamp.epochTimeSecondsInUtc()));
    }
    if (auto hours = line.value("offset-hours")) {
        long value = 0;
        if (!CommandLine::parseLong(*hours, value) || value < -24 || value > 24) {
            std::fprintf(stderr,
                         "korvalis time: --offset-hours must be a whole number of hours "
                         "between -24 and 24\n");
            return kExitUsage;
        }
        stamp.setTzOffsetHours(static_cast<int32_t>(value));
    }
    printStamp(stamp);
    return kExitSuccess;
}

const KorvalisCommandRegistration registration({
    "time",
    "show an instant as UTC, local time and file-name seconds",
    kUsage,
    runTime,
});

}  // namespace
