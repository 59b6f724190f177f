#pragma once

#include <string>

// Where the program's files live on this system. Each directory is made on first use.
//   configuration: $XDG_CONFIG_HOME/galewick (default ~/.config/galewick)
//   state (debug logs): $XDG_STATE_HOME/galewick (default ~/.local/state/galewick)
//   program: the directory of the running program's own file (/proc/self/exe)
class GalewickPaths {
public:
    static std::string configurationDirectory();
    static std::string stateDirectory();
    static std::string programDirectory();
    // "galewickConfiguration.xml" in the configuration directory.
    static std::string configurationFile();
    // PROGRAM_DIRECTORY/NAME when that file exists and may be executed, else empty.
    static std::string siblingProgram(const std::string& name);
};
