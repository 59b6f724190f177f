#include "AvDebugLogger.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstdlib>
#include <filesystem>

#include "StopWatch.h"

namespace {

constexpr const char* kLevelNames[] = {"Lowest       ", "DetailedTrace", "MedTrace     ",
                                       "CoarseTrace  ", "Info         ", "Warning      ",
                                       "Severe       ", "Highest      "};

double systemWallSeconds() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace

AvDebugLogger& AvDebugLogger::instance() {
    // Never destroyed: threads may still log while static objects are torn down.
    static AvDebugLogger* logger = new AvDebugLogger();
    return *logger;
}

AvDebugLogger::AvDebugLogger() {
    if (const char* level = std::getenv("KORVALIS_LOG_LEVEL"); level != nullptr && *level != '\0') {
        char* end = nullptr;
        long value = std::strtol(level, &end, 10);
        if (end != level && *end == '\0') {
            minimumLevel_ = static_cast<int>(std::clamp(value, 0L, 8L));
        }
    }
}

const char* AvDebugLogger::levelName(int level) {
    return kLevelNames[std::clamp(level, 0, 7)];
}

void AvDebugLogger::setMinimumLevel(int level) {
    std::lock_guard guard(lock_);
    minimumLevel_ = level;
}

int AvDebugLogger::minimumLevel() const {
    std::lock_guard guard(lock_);
    return minimumLevel_;
}

void AvDebugLogger::setWallClockForTesting(std::function<double()> wallClock) {
    std::lock_guard guard(lock_);
    wallClock_ = std::move(wallClock);
}

std::string AvDebugLogger::currentPath() const {
    return baseName_ + (maximumLines_ == 0 ? ".txt" : "-accumulating.txt");
}

bool AvDebugLogger::enableLoggingToFile(const std::string& baseName, unsigned maximumLines) {
    std::lock_guard guard(lock_);
    disableLoggingToFile();
    baseName_ = baseName;
    maximumLines_ = maximumLines;
    lineCount_ = 0;
    file_ = std::fopen(currentPath().c_str(), "w");
    return file_ != nullptr;
}

void AvDebugLogger::disableLoggingToFile() {
    std::lock_guard guard(lock_);
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
}

void AvDebugLogger::flushIfIdle() {
    std::unique_lock guard(lock_, std::try_to_lock);
    if (guard.owns_lock() && file_ != nullptr) {
        std::fflush(file_);
    }
}

void AvDebugLogger::rotate() {
    std::fclose(file_);
    const std::string prior = baseName_ + "-prior.txt";
    std::error_code ignored;
    std::filesystem::remove(prior, ignored);
    std::filesystem::rename(currentPath(), prior, ignored);
    file_ = std::fopen(currentPath().c_str(), "w");
    lineCount_ = 0;
}

void AvDebugLogger::log(int level, const char* format, ...) {
    StopWatch watch;
    watch.start();
    std::lock_guard guard(lock_);
    if (level >= minimumLevel_) {
        const double t = StopWatch::monotonicSeconds();
        const double w = wallClock_ ? wallClock_() : systemWallSeconds();
        if (w < previousWallTime_ && file_ != nullptr) {
            std::fputs("**************************** TIME JUMP ERROR!!!!!!!!!!!\n", file_);
        }
        previousWallTime_ = w;
        if (firstTime_ < 0.0) {
            firstTime_ = t;
        }
        const double relative = t - firstTime_;

        char message[1000];
        va_list arguments;
        va_start(arguments, format);
        std::vsnprintf(message, sizeof message, format, arguments);
        va_end(arguments);

        if (file_ != nullptr) {
            std::fprintf(file_, "[%.5f, %.5f, PO=%.5f]%s %s\n", relative, w,
                         previousProcessingTime_, levelName(level), message);
            if (level >= kWarning) {
                std::fflush(file_);
            }
            ++lineCount_;
            if (maximumLines_ != 0 && lineCount_ > maximumLines_) {
                rotate();
            }
        }
    }
    watch.stop();
    previousProcessingTime_ = watch.elapsedSeconds();
}
