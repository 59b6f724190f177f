#include "GalewickPaths.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace {

std::string xdgDirectory(const char* variable, const char* fallbackUnderHome) {
    std::filesystem::path base;
    const char* value = std::getenv(variable);
    if (value != nullptr && value[0] == '/') {
        base = value;
    } else {
        const char* home = std::getenv("HOME");
        base = std::filesystem::path(home != nullptr && home[0] != '\0' ? home : "/tmp") /
               fallbackUnderHome;
    }
    const std::filesystem::path directory = base / "galewick";
    std::error_code error;
    std::filesystem::create_directories(directory, error);
    return directory.string();
}

}  // namespace

std::string GalewickPaths::configurationDirectory() {
    return xdgDirectory("XDG_CONFIG_HOME", ".config");
}

std::string GalewickPaths::stateDirectory() {
    return xdgDirectory("XDG_STATE_HOME", ".local/state");
}

std::string GalewickPaths::programDirectory() {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        return ".";
    }
    return self.parent_path().string();
}

std::string GalewickPaths::configurationFile() {
    return (std::filesystem::path(configurationDirectory()) / "galewickConfiguration.xml").string();
}

std::string GalewickPaths::siblingProgram(const std::string& name) {
    const std::filesystem::path candidate = std::filesystem::path(programDirectory()) / name;
    std::error_code error;
    if (std::filesystem::is_regular_file(candidate, error) &&
        ::access(candidate.c_str(), X_OK) == 0) {
        return candidate.string();
    }
    return {};
}
