#pragma once

#include <string>

// Facts about the running program and the user's standard places.
class ProcessEnvironment {
public:
    // Absolute path of the running executable ("" when it cannot be found).
    static std::string executablePath();
    // Directory of the running executable.
    static std::string executableDirectory();
    // Raises the soft open-file limit to the hard limit; returns the soft limit in force
    // (LONG_MAX when unlimited, -1 when it cannot be read).
    static long raiseOpenFileLimit();
    // The user's home directory.
    static std::string homeDirectory();
    // $XDG_STATE_HOME/galewick (default ~/.local/state/galewick), created when missing.
    static std::string stateDirectory();
    // $XDG_CONFIG_HOME/galewick (default ~/.config/galewick), created when missing.
    static std::string configDirectory();
};
