#include "GalewickStartup.h"

#include <sys/resource.h>

#include <filesystem>

#include "AvDebugLogger.h"
#include "GalewickPaths.h"

bool GalewickStartup::raiseOpenFileLimit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) {
        return false;
    }
    if (limit.rlim_cur == limit.rlim_max) {
        return true;
    }
    const rlim_t current = limit.rlim_cur;
    const rlim_t hard = limit.rlim_max;
    limit.rlim_cur = hard;
    if (::setrlimit(RLIMIT_NOFILE, &limit) == 0) {
        return true;
    }
    // An unlimited hard limit is more than the kernel grants (fs.nr_open): settle for what a busy
    // session needs.
    if (hard == RLIM_INFINITY && current < kWantedOpenFiles) {
        limit.rlim_cur = kWantedOpenFiles;
        return ::setrlimit(RLIMIT_NOFILE, &limit) == 0;
    }
    return false;
}

std::string GalewickStartup::debugLogBaseName() {
    return (std::filesystem::path(GalewickPaths::stateDirectory()) / kDebugLogName).string();
}

bool GalewickStartup::enableDebugLog() {
    return AvDebugLogger::instance().enableLoggingToFile(debugLogBaseName(), kDebugLogLines);
}

GalewickConfiguration::Position GalewickStartup::initialWindowPosition(int screenWidth,
                                                                       int screenHeight) {
    return initialWindowPosition(GalewickPaths::configurationFile(), screenWidth, screenHeight);
}

GalewickConfiguration::Position GalewickStartup::initialWindowPosition(
    const std::string& configurationPath, int screenWidth, int screenHeight) {
    const GalewickConfiguration::Position saved =
        GalewickConfiguration::readWindowPosition(configurationPath);
    return GalewickConfiguration::checkedPosition(saved.x, saved.y, screenWidth, screenHeight);
}
