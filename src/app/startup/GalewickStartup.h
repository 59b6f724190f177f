#pragma once

#include <string>

#include "GalewickConfiguration.h"

// The steps the program takes before its main window exists, as plain functions main() calls in
// this order: raiseOpenFileLimit, enableDebugLog, initialWindowPosition.
class GalewickStartup {
public:
    static constexpr const char* kDebugLogName = "Korvalis_Brindlemark_DEBUG";
    // The debug log rotates after this many lines.
    static constexpr unsigned kDebugLogLines = 409600;
    static constexpr const char* kCreateFailedText = "Failed to create galewick/brindlemark!";
    static constexpr const char* kCreateFailedCaption = "Galewick/Brindlemark ERROR";
    static constexpr unsigned long kWantedOpenFiles = 2048;

    // Raises the soft limit of open files to the hard limit (many media files are open at once);
    // an unlimited hard limit gets kWantedOpenFiles. False when the limits cannot be read or set;
    // the program goes on either way.
    static bool raiseOpenFileLimit();

    // STATE_DIRECTORY/Korvalis_Brindlemark_DEBUG: the debug log's base name.
    static std::string debugLogBaseName();
    // Sends the debug log (AvDebugLogger) to files under debugLogBaseName(). False when the file
    // cannot be opened; logging is then dropped and the program goes on.
    static bool enableDebugLog();

    // The saved window position of the configuration file at `configurationPath` (by default
    // GalewickPaths::configurationFile()), moved to (0, 0) when it does not fit the screen.
    static GalewickConfiguration::Position initialWindowPosition(int screenWidth, int screenHeight);
    static GalewickConfiguration::Position initialWindowPosition(
        const std::string& configurationPath, int screenWidth, int screenHeight);
};
