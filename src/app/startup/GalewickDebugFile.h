#pragma once

#include <mutex>
#include <string>

// The main window's own diagnostics file, "Galewick_DEBUG.txt" in the state directory
// (GalewickPaths::stateDirectory()). Each message becomes one line:
//   HH:MM:SS.CC<TAB>|<TAB>MESSAGE<LF>
// with the local time to the hundredth of a second. A file that cannot be opened is skipped
// silently. Any thread may append; one process-wide lock keeps lines whole.
class GalewickDebugFile {
public:
    static constexpr const char* kFileName = "Galewick_DEBUG.txt";

    // STATE_DIRECTORY/Galewick_DEBUG.txt.
    static std::string defaultPath();

    // Appends a line with the current local time to the default file / the file at `path`.
    static void append(const std::string& message);
    static void append(const std::string& path, const std::string& message);

    // The line for `message` at that time of day (hundredths 0..99).
    static std::string formatLine(int hour, int minute, int second, int hundredths,
                                  const std::string& message);

private:
    static std::mutex& lock();
};
