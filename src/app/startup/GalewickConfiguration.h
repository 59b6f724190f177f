#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The program's settings that live from one run to the next, and the configuration file that
// carries them: an XML record "galewickconfiguration" whose child elements are, in this order,
//   "rootpath"          the configured root path (text)
//   "meterrefreshrate"  the meter timer stamp (decimal)
//   "rewindseconds"     the rewind step (decimal seconds)
//   "advanceseconds"    the advance step (decimal seconds)
//   "stayontop"         "1" or "0"
//   "autorefresh"       "1" or "0"
//   "xoffset"           the main window's left edge on the screen (decimal)
//   "yoffset"           the main window's top edge on the screen (decimal)
// A plain value: the main window holds one and copies it into the configuration dialog; no
// member touches shared state, so no lock is needed (each copy belongs to one thread).
class GalewickConfiguration {
public:
    static constexpr const char* kRootElementName = "galewickconfiguration";
    static constexpr uint32_t kDefaultMeterRefreshIntervalMilliseconds = 20;
    // The rewind and advance menus offer 1, 5, 15, 30, 60 and 300 seconds; until the file or a
    // menu sets a step, it is this.
    static constexpr int kDefaultStepSeconds = 5;
    // A window whose top-left corner leaves less than this many pixels of the screen to the right
    // or below is moved to (0, 0).
    static constexpr int kMinimumVisiblePixels = 100;

    struct Position {
        int x = 0;
        int y = 0;
        bool operator==(const Position&) const = default;
    };

    // The archive root paths as stored ("rootpath"); copied into the browse location on load.
    std::string configuredRootPath;
    // The archive root paths sessions are looked for under, several separated by ";".
    std::string browseLocation;
    // The time (milliseconds) of the last level-meter update, kept under "meterrefreshrate".
    long meterTimerStamp = 0;
    // Level meters are redrawn at most once per this many milliseconds (not stored; at least 1).
    uint32_t meterRefreshIntervalMilliseconds = kDefaultMeterRefreshIntervalMilliseconds;
    int rewindSeconds = kDefaultStepSeconds;
    int advanceSeconds = kDefaultStepSeconds;
    // Whether a configuration file (or a menu choice) set the step, rather than the default.
    bool rewindSecondsSet = false;
    bool advanceSecondsSet = false;
    bool stayOnTop = false;
    bool autoRefresh = false;
    // The main window's top-left corner on the screen, as last saved or to be saved.
    int windowX = 0;
    int windowY = 0;

    // Reads the file at GalewickPaths::configurationFile().
    bool loadConfiguration();
    // Reads the file at `path`. When it cannot be read, is empty or holds no XML record: browse
    // location = the user's home directory, stay on top and auto refresh false, nothing else
    // changes, and the result is false. Otherwise each key present replaces its setting (a
    // missing key leaves it as it was), the browse location becomes the configured root path
    // whether "rootpath" was present or not (the home directory when that is empty), and the
    // result is true. The flags are true only for the text "1"; a step of 0 or fewer seconds
    // leaves the step as it was. The window position is not read here (see
    // readWindowPosition).
    bool loadConfiguration(const std::string& path);

    // Writes all eight keys to GalewickPaths::configurationFile() / `path`, replacing the file so
    // that a crash leaves either the old or the whole new file. False when it cannot be written;
    // `error`, when given, then says why.
    bool saveConfiguration(std::string* error = nullptr) const;
    bool saveConfiguration(const std::string& path, std::string* error = nullptr) const;

    // The XML text saveConfiguration writes.
    std::string packedText() const;

    // The non-empty root paths of the browse location, split at ";", in order.
    std::vector<std::string> browseRoots() const;

    // The home directory ($HOME, else the password database's entry, else "/").
    static std::string homeDirectory();

    // "xoffset" and "yoffset" of the configuration file at `path`; each is 0 when missing or
    // when the file does not read.
    static Position readWindowPosition(const std::string& path);

    // (x, y) unless x + 100 > screenWidth or y + 100 > screenHeight or either is negative, then
    // (0, 0).
    static Position checkedPosition(int x, int y, int screenWidth, int screenHeight);
};
