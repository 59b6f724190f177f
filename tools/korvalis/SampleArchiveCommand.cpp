// korvalis sample-archive: an archive root of generated sessions with real media, written at once
// or recorded live.

#include <signal.h>
#include <time.h>

#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "KorvalisCommand.h"
#include "SampleArchiveWriter.h"
#include "WallClockTime.h"

namespace {

constexpr const char* kUsage =
    "Usage: korvalis sample-archive DIR [--location NAME]... [--date YYYYMMDD]...\n"
    "         [--channels N] [--start HH:MM] [--utc-offset H] [--hours H] [--file-minutes M]\n"
    "         [--gap MIN@HH:MM]... [--video WxH@FPS | --video none] [--annotations-per-hour N]\n"
    "         [--seed N] [--live [--live-minutes M]]\n\n"
    "Writes an archive root DIR (Databases and Recordings) of sessions with real media: for\n"
    "every location and date N channels of timed MP3 files, each channel its own tone\n"
    "(400 Hz + 150 Hz per channel) in turns like speech, KOV video whose frames show their\n"
    "time, and a session record of annotations. Prints DIR, then one line per session:\n"
    "'LOCATION YYYY-MM-DD channels=N files=N'.\n\n"
    "  --location NAME           a recording location (repeatable; default COURT1 and COURT2)\n"
    "  --date YYYYMMDD           a session day (repeatable; default 20100315)\n"
    "  --channels N              audio channels, 1 to 16 (default 4)\n"
    "  --start HH:MM             local start time (default 09:00)\n"
    "  --utc-offset H            local time = UTC + H hours, -12 to 14 (default 0; with --live\n"
    "                            the machine's)\n"
    "  --hours H                 session length, up to 24 (default 1; decimals allowed)\n"
    "  --file-minutes M          a new file every M minutes, at least 0.1 (default 5)\n"
    "  --gap MIN@HH:MM           a recess of MIN minutes from HH:MM without media (repeatable)\n"
    "  --video WxH@FPS | none    video frame size and rate (default 320x240@10)\n"
    "  --annotations-per-hour N  annotations besides the session markers, 0 to 3600 (default 60;\n"
    "                            0 writes none)\n"
    "  --seed N                  chooses the turns and the annotations (default 1)\n"
    "  --live                    after writing the past (--hours before now, or from --start\n"
    "                            today) keeps recording in real time: the current files grow, a\n"
    "                            new file starts every --file-minutes, annotations are added to\n"
    "                            the record; until SIGINT or SIGTERM, or --live-minutes M pass.\n"
    "                            The session is today's: --date is not taken.\n\n"
    "DIR may exist; a session whose record DIR already holds is refused.\n";

volatile std::sig_atomic_t stopRequested = 0;

void requestStop(int) {
    stopRequested = 1;
}

int usageError(const std::string& message) {
    std::fprintf(stderr, "korvalis sample-archive: %s\n%s", message.c_str(), kUsage);
    return kExitUsage;
}

int failure(const std::string& message) {
    std::fprintf(stderr, "korvalis sample-archive: %s\n", message.c_str());
    return kExitFailure;
}

bool parseDate(const std::string& text, SampleArchiveWriter::Date& date) {
    if (text.size() != 8 || text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    date.year = std::stoi(text.substr(0, 4));
    date.month = std::stoi(text.substr(4, 2));
    date.day = std::stoi(text.substr(6, 2));
    return true;
}

// HH:MM as minutes after midnight.
bool parseClock(const std::string& text, int& minuteOfDay) {
    if (text.size() != 5 || text[2] != ':' || text.find_first_not_of("0123456789", 0) != 2 ||
        text.find_first_not_of("0123456789", 3) != std::string::npos) {
        return false;
    }
    const int hour = std::stoi(text.substr(0, 2));
    const int minute = std::stoi(text.substr(3, 2));
    if (hour > 23 || minute > 59) {
        return false;
    }
    minuteOfDay = hour * 60 + minute;
    return true;
}

bool parseRecess(const std::string& text, SampleArchiveWriter::Recess& recess) {
    const size_t at = text.find('@');
    long minutes = 0;
    if (at == std::string::npos || !CommandLine::parseLong(text.substr(0, at), minutes) ||
        minutes < 1 || minutes > 1440) {
        return false;
    }
    recess.minutes = static_cast<int>(minutes);
    return parseClock(text.substr(at + 1), recess.startMinuteOfDay);
}

bool parseVideo(const std::string& text, SampleArchiveWriter::Settings& settings) {
    if (text == "none") {
        settings.video = false;
        return true;
    }
    const size_t x = text.find('x');
    const size_t at = text.find('@');
    long width = 0, height = 0, rate = 0;
    if (x == std::string::npos || at == std::string::npos || at < x ||
        !CommandLine::parseLong(text.substr(0, x), width) ||
        !CommandLine::parseLong(text.substr(x + 1, at - x - 1), height) ||
        !CommandLine::parseLong(text.substr(at + 1), rate) || width < 0 || height < 0 || rate < 0 ||
        width > 100000 || height > 100000 || rate > 100000) {
        return false;
    }
    settings.video = true;
    settings.videoWidth = static_cast<uint32_t>(width);
    settings.videoHeight = static_cast<uint32_t>(height);
    settings.videoFrameRate = static_cast<uint32_t>(rate);
    return true;
}

double nowSeconds() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<double>(now.tv_sec) + now.tv_nsec * 1e-9;
}

void sleepSeconds(double seconds) {
    if (seconds <= 0.0) {
        return;
    }
    timespec pause{};
    pause.tv_sec = static_cast<time_t>(seconds);
    pause.tv_nsec = static_cast<long>((seconds - static_cast<double>(pause.tv_sec)) * 1e9);
    // A signal ends the pause early (no SA_RESTART), so a stop is seen at once.
    nanosleep(&pause, nullptr);
}

void printSessions(const std::string& root, const SampleArchiveWriter& writer) {
    std::printf("%s\n", root.c_str());
    for (const SampleArchiveWriter::SessionSummary& session : writer.summaries()) {
        std::printf("%s %04d-%02d-%02d channels=%d files=%d\n", session.location.c_str(),
                    session.date.year, session.date.month, session.date.day, session.channels,
                    session.files);
    }
    std::fflush(stdout);
}

int recordLive(SampleArchiveWriter& writer, const std::string& root, double liveMinutes) {
    struct sigaction action {};
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    struct sigaction oldInterrupt {};
    struct sigaction oldTerminate {};
    sigaction(SIGINT, &action, &oldInterrupt);
    sigaction(SIGTERM, &action, &oldTerminate);

    const double begun = nowSeconds();
    const double until =
        liveMinutes > 0.0 ? begun + liveMinutes * 60.0 : std::numeric_limits<double>::infinity();
    bool ok = writer.begin(root) && writer.advanceTo(begun);
    if (ok) {
        printSessions(root, writer);
        std::fprintf(stderr, "korvalis sample-archive: recording live %s\n",
                     liveMinutes > 0.0 ? "for the minutes given" : "until interrupted");
    }
    while (ok && stopRequested == 0) {
        const double now = nowSeconds();
        if (now >= until) {
            break;
        }
        sleepSeconds(std::min(0.25, until - now));
        ok = writer.advanceTo(std::min(nowSeconds(), until));
    }
    std::string error = writer.errorText();
    // Whatever stopped the recording, the current files are closed whole.
    if (!writer.finish() && ok) {
        ok = false;
        error = writer.errorText();
    }
    sigaction(SIGINT, &oldInterrupt, nullptr);
    sigaction(SIGTERM, &oldTerminate, nullptr);
    if (!ok) {
        return failure(error);
    }
    std::fprintf(stderr, "korvalis sample-archive: live recording stopped\n");
    return kExitSuccess;
}

int run(const std::vector<std::string>& arguments) {
    CommandLine line(
        arguments,
        {"location", "date", "channels", "start", "utc-offset", "hours", "file-minutes", "gap",
         "video", "annotations-per-hour", "seed", "live-minutes"},
        {"live"});
    if (!line.isValid()) {
        return usageError(line.error());
    }
    if (line.positional().size() != 1) {
        return usageError("expected one directory DIR");
    }
    const bool live = line.hasFlag("live");
    SampleArchiveWriter::Settings settings;
    if (line.hasOption("location")) {
        settings.locations = line.values("location");
    }
    if (line.hasOption("date")) {
        if (live) {
            return usageError("--live records today's session: --date is not taken");
        }
        settings.dates.clear();
        for (const std::string& text : line.values("date")) {
            SampleArchiveWriter::Date date;
            if (!parseDate(text, date)) {
                return usageError("'" + text + "' is not a date written YYYYMMDD");
            }
            settings.dates.push_back(date);
        }
    }
    long number = 0;
    if (auto text = line.value("channels")) {
        if (!CommandLine::parseLong(*text, number) || number < 1 ||
            number > SampleArchiveWriter::kMaximumChannels) {
            return usageError("--channels takes a number from 1 to " +
                              std::to_string(SampleArchiveWriter::kMaximumChannels));
        }
        settings.channels = static_cast<int>(number);
    }
    int startMinute = 9 * 60;
    if (auto text = line.value("start")) {
        if (!parseClock(*text, startMinute)) {
            return usageError("--start takes a time of day written HH:MM, not '" + *text + "'");
        }
    }
    settings.startSecondOfDay = startMinute * 60.0;
    if (live) {
        settings.utcOffsetHours =
            static_cast<int>(std::lround(WallClockTime::localOffsetFromUtcSeconds() / 3600.0));
    }
    if (auto text = line.value("utc-offset")) {
        if (!CommandLine::parseLong(*text, number) || number < -12 || number > 14) {
            return usageError("--utc-offset takes whole hours from -12 to 14");
        }
        settings.utcOffsetHours = static_cast<int>(number);
    }
    double value = 0.0;
    if (auto text = line.value("hours")) {
        if (!CommandLine::parseDouble(*text, value) || !(value > 0.0 && value <= 24.0)) {
            if (!(live && CommandLine::parseDouble(*text, value) && value == 0.0)) {
                return usageError("--hours takes a number more than 0 and at most 24");
            }
        }
        settings.hours = value;
    }
    if (auto text = line.value("file-minutes")) {
        if (!CommandLine::parseDouble(*text, value) ||
            !(value >= SampleArchiveWriter::kMinimumFileMinutes && value <= 1440.0)) {
            return usageError("--file-minutes takes a number from 0.1 to 1440");
        }
        settings.fileMinutes = value;
    }
    for (const std::string& text : line.values("gap")) {
        SampleArchiveWriter::Recess recess;
        if (!parseRecess(text, recess)) {
            return usageError("--gap takes MIN@HH:MM (1 to 1440 minutes), not '" + text + "'");
        }
        settings.recesses.push_back(recess);
    }
    if (auto text = line.value("video")) {
        if (!parseVideo(*text, settings)) {
            return usageError("--video takes WxH@FPS (such as 320x240@10) or none, not '" + *text +
                              "'");
        }
    }
    if (auto text = line.value("annotations-per-hour")) {
        if (!CommandLine::parseLong(*text, number) || number < 0 ||
            number > SampleArchiveWriter::kMaximumAnnotationsPerHour) {
            return usageError("--annotations-per-hour takes a number from 0 to " +
                              std::to_string(SampleArchiveWriter::kMaximumAnnotationsPerHour));
        }
        settings.annotationsPerHour = static_cast<int>(number);
    }
    if (auto text = line.value("seed")) {
        if (!CommandLine::parseLong(*text, number) || number < 0) {
            return usageError("--seed takes a number from 0");
        }
        settings.seed = static_cast<uint64_t>(number);
    }
    double liveMinutes = 0.0;
    if (auto text = line.value("live-minutes")) {
        if (!live) {
            return usageError("--live-minutes needs --live");
        }
        if (!CommandLine::parseDouble(*text, liveMinutes) ||
            !(liveMinutes > 0.0 && liveMinutes <= 1440.0 * 365)) {
            return usageError("--live-minutes takes a number more than 0");
        }
    }

    if (live) {
        if (line.hasOption("start") && line.hasOption("hours")) {
            return usageError("--live takes --start or --hours, not both");
        }
        // The session started --hours ago, or at --start today, and goes on.
        const double now = std::floor(nowSeconds());
        const int offsetSeconds = settings.utcOffsetHours * 3600;
        WallClockTime today(now, 0);
        today.setTzOffsetSeconds(offsetSeconds);
        int day, month, year;
        today.getLocalDate(day, month, year);
        double start = now - std::floor(settings.hours * 3600.0);
        if (line.hasOption("start")) {
            const WallClockTime midnight(static_cast<uint16_t>(year), static_cast<uint16_t>(month),
                                         static_cast<uint16_t>(day), 0, 0, 0, 0,
                                         settings.utcOffsetHours);
            start = midnight.asUtcSeconds() + startMinute * 60.0;
            if (start > now) {
                return usageError("--start lies in the future");
            }
        }
        WallClockTime startTime(start, 0);
        startTime.setTzOffsetSeconds(offsetSeconds);
        startTime.getLocalDate(day, month, year);
        settings.dates = {SampleArchiveWriter::Date{year, month, day}};
        const WallClockTime midnight(static_cast<uint16_t>(year), static_cast<uint16_t>(month),
                                     static_cast<uint16_t>(day), 0, 0, 0, 0,
                                     settings.utcOffsetHours);
        settings.startSecondOfDay = start - midnight.asUtcSeconds();
        settings.openEnded = true;
    }
    const std::string problem = SampleArchiveWriter::checkSettings(settings);
    if (!problem.empty()) {
        return usageError(problem);
    }

    std::error_code error;
    std::string root =
        std::filesystem::absolute(line.positional()[0], error).lexically_normal().string();
    while (root.size() > 1 && root.back() == '/') {
        root.pop_back();
    }
    SampleArchiveWriter writer(settings);
    if (live) {
        return recordLive(writer, root, liveMinutes);
    }
    if (!writer.write(root)) {
        return failure(writer.errorText());
    }
    printSessions(root, writer);
    return kExitSuccess;
}

const KorvalisCommandRegistration registration({
    "sample-archive",
    "write an archive of generated sessions with real media, or record one live",
    kUsage,
    run,
});

}  // namespace
