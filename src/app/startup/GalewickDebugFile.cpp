#include "GalewickDebugFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>

#include "FileIo.h"
#include "GalewickPaths.h"

std::mutex& GalewickDebugFile::lock() {
    static std::mutex mutex;
    return mutex;
}

std::string GalewickDebugFile::defaultPath() {
    return (std::filesystem::path(GalewickPaths::stateDirectory()) / kFileName).string();
}

void GalewickDebugFile::append(const std::string& message) {
    append(defaultPath(), message);
}

void GalewickDebugFile::append(const std::string& path, const std::string& message) {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto sinceSecond = now - std::chrono::time_point_cast<std::chrono::seconds>(now);
    const int hundredths = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(sinceSecond).count() / 10);
    std::tm local{};
    ::localtime_r(&seconds, &local);
    const std::string line =
        formatLine(local.tm_hour, local.tm_min, local.tm_sec, hundredths, message);

    std::lock_guard<std::mutex> guard(lock());
    const int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (descriptor < 0) {
        return;
    }
    FileIo::writeAll(descriptor, line.data(), line.size());
    ::close(descriptor);
}

std::string GalewickDebugFile::formatLine(int hour, int minute, int second, int hundredths,
                                          const std::string& message) {
    char stamp[48];
    std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d.%02d\t|\t", hour, minute, second,
                  hundredths);
    return stamp + message + "\n";
}
