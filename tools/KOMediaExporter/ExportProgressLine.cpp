#include "ExportProgressLine.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(250);

int percentOf(double exportedSeconds, double totalSeconds) {
    if (!(totalSeconds > 0.0)) {
        return 100;
    }
    const double share = std::clamp(exportedSeconds / totalSeconds, 0.0, 1.0);
    return static_cast<int>(std::floor(share * 100.0));
}

}  // namespace

ExportProgressLine::ExportProgressLine(std::FILE* stream, bool onTerminal)
    : stream_(stream), onTerminal_(onTerminal) {}

std::string ExportProgressLine::duration(double seconds) {
    const auto whole = static_cast<long long>(std::floor(std::max(0.0, seconds)));
    char text[48];
    if (whole >= 3600) {
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60,
                      whole % 60);
    } else {
        std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
    }
    return text;
}

std::string ExportProgressLine::text(double exportedSeconds, double totalSeconds) {
    return "exported " + duration(exportedSeconds) + " of " + duration(totalSeconds) + " (" +
           std::to_string(percentOf(exportedSeconds, totalSeconds)) + " %)";
}

void ExportProgressLine::show(const std::string& line) {
    if (onTerminal_) {
        // Blanks wipe what a longer earlier line left.
        const size_t pad = lastLength_ > line.size() ? lastLength_ - line.size() : 0;
        std::fprintf(stream_, "\r%s%s", line.c_str(), std::string(pad, ' ').c_str());
        lastLength_ = line.size();
    } else {
        std::fprintf(stream_, "%s\n", line.c_str());
    }
    std::fflush(stream_);
    lastLine_ = line;
    drawn_ = true;
}

void ExportProgressLine::update(double exportedSeconds, double totalSeconds) {
    std::lock_guard guard(mutex_);
    const std::string line = text(exportedSeconds, totalSeconds);
    if (onTerminal_) {
        const auto now = std::chrono::steady_clock::now();
        if (line != lastLine_ && (!drawn_ || now - lastDrawn_ >= kRedrawInterval)) {
            show(line);
            lastDrawn_ = now;
        }
        return;
    }
    const int tenth = percentOf(exportedSeconds, totalSeconds) / 10;
    if (tenth != lastTenth_) {
        lastTenth_ = tenth;
        show(line);
    }
}

void ExportProgressLine::finish(double exportedSeconds, double totalSeconds) {
    std::lock_guard guard(mutex_);
    const std::string line = text(exportedSeconds, totalSeconds);
    if (line != lastLine_) {
        show(line);
    }
    if (onTerminal_ && drawn_) {
        std::fprintf(stream_, "\n");
        std::fflush(stream_);
    }
}
