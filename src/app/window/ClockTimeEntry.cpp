#include "ClockTimeEntry.h"

#include <cctype>

#include "WallClockTime.h"

namespace {

void skipBlanks(const std::string& text, size_t& at) {
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) {
        ++at;
    }
}

// One or two digits.
bool readNumber(const std::string& text, size_t& at, int& value) {
    skipBlanks(text, at);
    const size_t begin = at;
    value = 0;
    while (at < text.size() && at - begin < 2 &&
           std::isdigit(static_cast<unsigned char>(text[at]))) {
        value = value * 10 + (text[at] - '0');
        ++at;
    }
    return at > begin && (at >= text.size() || !std::isdigit(static_cast<unsigned char>(text[at])));
}

bool readColon(const std::string& text, size_t& at) {
    skipBlanks(text, at);
    if (at < text.size() && text[at] == ':') {
        ++at;
        return true;
    }
    return false;
}

}  // namespace

bool ClockTimeEntry::parseTimeOfDay(const std::string& text, int& secondsOfDay) {
    size_t at = 0;
    int hour = 0, minute = 0, second = 0;
    if (!readNumber(text, at, hour) || !readColon(text, at) || !readNumber(text, at, minute)) {
        return false;
    }
    size_t afterMinutes = at;
    if (readColon(text, at)) {
        if (!readNumber(text, at, second)) {
            return false;
        }
    } else {
        at = afterMinutes;
    }
    skipBlanks(text, at);
    int half = -1;  // -1: 24-hour form, 0: AM, 1: PM
    if (at + 2 <= text.size()) {
        const char first = static_cast<char>(std::toupper(static_cast<unsigned char>(text[at])));
        const char next = static_cast<char>(std::toupper(static_cast<unsigned char>(text[at + 1])));
        if ((first == 'A' || first == 'P') && next == 'M') {
            half = first == 'P' ? 1 : 0;
            at += 2;
        }
    }
    skipBlanks(text, at);
    if (at != text.size() || minute > 59 || second > 59) {
        return false;
    }
    if (half < 0) {
        if (hour > 23) {
            return false;
        }
    } else {
        if (hour < 1 || hour > 12) {
            return false;
        }
        hour = hour % 12 + 12 * half;
    }
    secondsOfDay = hour * 3600 + minute * 60 + second;
    return true;
}

double ClockTimeEntry::epochTimeOf(int year, int month, int day, int offsetSeconds,
                                   int secondsOfDay) {
    const WallClockTime midnight(static_cast<uint16_t>(year), static_cast<uint16_t>(month),
                                 static_cast<uint16_t>(day), 0, 0, 0, 0, 0);
    return static_cast<double>(midnight.epochTimeSecondsInUtc()) - offsetSeconds + secondsOfDay;
}

bool ClockTimeEntry::epochTimeFromText(const std::string& text, int year, int month, int day,
                                       int offsetSeconds, double& epochTime) {
    int secondsOfDay = 0;
    if (!parseTimeOfDay(text, secondsOfDay)) {
        return false;
    }
    epochTime = epochTimeOf(year, month, day, offsetSeconds, secondsOfDay);
    return true;
}
