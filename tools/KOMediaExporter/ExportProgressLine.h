#pragma once

#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>

// The progress of an export on a stream (stderr): "exported 12:30 of 45:00 (27 %)", times as
// M:SS, or H:MM:SS from an hour on. On a terminal the line is redrawn in place at most four
// times a second; elsewhere (a log, a pipe) a line is written at each tenth of the way, so a
// 12-hour export writes eleven lines, not 43,200. finish() ends the line. Each operation holds
// the object's mutex.
class ExportProgressLine {
public:
    // `onTerminal`: redraw in place; normally isatty(fileno(stream)).
    ExportProgressLine(std::FILE* stream, bool onTerminal);
    ExportProgressLine(const ExportProgressLine&) = delete;
    ExportProgressLine& operator=(const ExportProgressLine&) = delete;

    // Shows the progress when it is due.
    void update(double exportedSeconds, double totalSeconds);
    // Shows the final state (whatever was shown before) and ends the line on a terminal.
    void finish(double exportedSeconds, double totalSeconds);

    // "exported 12:30 of 45:00 (27 %)".
    static std::string text(double exportedSeconds, double totalSeconds);
    // "45:00", "1:02:03".
    static std::string duration(double seconds);

private:
    void show(const std::string& line);

    std::mutex mutex_;
    std::FILE* stream_;
    const bool onTerminal_;
    std::chrono::steady_clock::time_point lastDrawn_{};
    bool drawn_ = false;
    int lastTenth_ = -1;
    size_t lastLength_ = 0;
    std::string lastLine_;
};
