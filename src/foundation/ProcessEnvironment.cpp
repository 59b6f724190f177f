#include "ProcessEnvironment.h"

#include <pwd.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <limits>

namespace fs = std::filesystem;

namespace {

std::string xdgDirectory(const char* variable, const char* fallbackUnderHome) {
    std::string base;
    const char* value = std::getenv(variable);
    // Relative values are invalid by the XDG rules and ignored.
    if (value != nullptr && value[0] == '/') {
        base = value;
    } else {
        base = ProcessEnvironment::homeDirectory() + "/" + fallbackUnderHome;
    }
    std::string directory = base + "/galewick";
    std::error_code ignored;
    fs::create_directories(directory, ignored);
    return directory;
}

}  // namespace

std::string ProcessEnvironment::executablePath() {
    std::error_code code;
    fs::path path = fs::read_symlink("/proc/self/exe", code);
    return code ? std::string() : path.string();
}

std::string ProcessEnvironment::executableDirectory() {
    return fs::path(executablePath()).parent_path().string();
}

long ProcessEnvironment::raiseOpenFileLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) {
        return -1;
    }
    if (limit.rlim_cur < limit.rlim_max) {
        rlimit raised = limit;
        raised.rlim_cur = limit.rlim_max;
        if (setrlimit(RLIMIT_NOFILE, &raised) == 0) {
            limit = raised;
        }
    }
    return limit.rlim_cur == RLIM_INFINITY ? std::numeric_limits<long>::max()
                                           : static_cast<long>(limit.rlim_cur);
}

std::string ProcessEnvironment::homeDirectory() {
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') {
        return home;
    }
    passwd entry{};
    passwd* found = nullptr;
    char buffer[4096];
    if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr) {
        return found->pw_dir;
    }
    return "/tmp";
}

std::string ProcessEnvironment::stateDirectory() {
    return xdgDirectory("XDG_STATE_HOME", ".local/state");
}

std::string ProcessEnvironment::configDirectory() {
    return xdgDirectory("XDG_CONFIG_HOME", ".config");
}
