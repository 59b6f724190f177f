#pragma once

#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

// The process's debug log: levelled messages written to a file that rotates after a number of
// lines. Any thread may log; one lock serialises the writers, so lines are whole and appear in
// the order the lock was taken.
class AvDebugLogger {
public:
    enum Level {
        kLowest = 0,
        kDetailedTrace = 1,
        kMedTrace = 2,
        kCoarseTrace = 3,
        kInfo = 4,
        kWarning = 5,
        kSevere = 6,
        kHighest = 7,
    };

    // The single logger, created on first use and never destroyed. Its minimum level is read
    // from the environment variable KORVALIS_LOG_LEVEL (0..7) when it is created.
    static AvDebugLogger& instance();

    // Logs one message (printf format, cut to 1000 characters) when `level` is at least the
    // minimum level and a file is open; warnings and worse are flushed at once.
    void log(int level, const char* format, ...) __attribute__((format(printf, 3, 4)));

    // Writes from now on to baseName + ".txt" (maximumLines 0: never rotate) or to
    // baseName + "-accumulating.txt", which is renamed to baseName + "-prior.txt" once it holds
    // more than maximumLines lines. Truncates the file. False when it cannot be opened.
    bool enableLoggingToFile(const std::string& baseName, unsigned maximumLines);
    // Closes the file; later messages are dropped.
    void disableLoggingToFile();

    void setMinimumLevel(int level);
    int minimumLevel() const;

    // Flushes the file unless another thread holds the lock (used on the way to an abort).
    void flushIfIdle();

    // The 13-character padded name of a level ("Info         "); levels outside 0..7 are clamped.
    static const char* levelName(int level);

    // Test hook: replaces the wall clock (epoch seconds); null restores the system clock.
    void setWallClockForTesting(std::function<double()> wallClock);

private:
    AvDebugLogger();
    void rotate();
    std::string currentPath() const;

    mutable std::recursive_mutex lock_;
    std::string baseName_;
    unsigned maximumLines_ = 0;
    unsigned lineCount_ = 0;
    std::FILE* file_ = nullptr;
    double firstTime_ = -1.0;
    double previousProcessingTime_ = 0.0;
    double previousWallTime_ = 0.0;
    int minimumLevel_ = 0;
    std::function<double()> wallClock_;
};
