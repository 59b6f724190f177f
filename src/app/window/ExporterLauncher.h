#pragma once

#include <string>

// Hands the open session to the export program "KOMediaExporter": writes the settings file
// "ExporterSettings.xml" (an XmlPacker document named "ExporterSettings") into a directory of
// its own below the program's state directory, then starts the program from the program's
// directory with that directory as its working directory and the settings file's path as its
// first argument, without waiting for it.
class ExporterLauncher {
public:
    static constexpr const char* kProgramName = "KOMediaExporter";
    static constexpr const char* kSettingsFileName = "ExporterSettings.xml";

    // The settings, packed in this order.
    struct Settings {
        std::string mediaFolder;
        std::string recorderName;
        int year = 0;
        int month = 0;
        int day = 0;
        bool includeVideo = true;
        bool mixAudioChannels = false;
        std::string outputPath;
        int framesPerSecond = 20;
    };

    enum class Result { kStarted, kNotInstalled, kSettingsNotWritten, kStartFailed };

    // The settings for a session: mediaFolder is BROWSE/LOCATION/Recordings when that is a
    // directory, else the Recordings directory of the archive root that holds the location's
    // record (the browse location may itself be a root, or hold several).
    static Settings settingsFor(const std::string& browseLocation, const std::string& location,
                                int year, int month, int day);
    // The settings document as written.
    static std::string settingsXml(const Settings& settings);
    // Writes the settings document into `directory` (made when missing); the file's path in
    // `path`. False with the reason in `error`.
    static bool writeSettings(const Settings& settings, const std::string& directory,
                              std::string& path, std::string& error);

    // `program`: the exporter's path (empty: not installed); `runDirectory`: where the settings
    // go (empty: a new directory below the state directory).
    ExporterLauncher(std::string program = defaultProgram(), std::string runDirectory = {});

    // Writes the settings and starts the exporter; `message` says what happened in words for
    // the user (also on success).
    Result launch(const Settings& settings, std::string& message);

    // Removes the "export-*" directories below `stateDirectory` that are older than
    // `maximumAgeDays` and hold nothing but their settings file (an export that wrote its file
    // beside the settings keeps its directory). The number removed.
    static int pruneRunDirectories(const std::string& stateDirectory, int maximumAgeDays);

    // GalewickPaths::siblingProgram("KOMediaExporter").
    static std::string defaultProgram();
    // The directory the last launch wrote its settings to.
    const std::string& lastRunDirectory() const { return lastRunDirectory_; }

private:
    std::string program_;
    std::string runDirectory_;
    std::string lastRunDirectory_;
};
