#pragma once

#include <string>
#include <vector>

// The settings file "ExporterSettings.xml" that the player's "Export Session" command writes for
// the exporter: root element "ExporterSettings" with, in order, "mediaFolder", "recorderName",
// "year", "month", "day", "includeVideo", "mixAudioChannels", "outputPath" and
// "framesPerSecond".
//
// "mediaFolder", "recorderName", "year", "month" and "day" name the session and must be present;
// the others may be missing: "includeVideo" true, "mixAudioChannels" false, "outputPath" empty
// and "framesPerSecond" 20. Booleans are "1"/"0" (as the packer writes them) or "true"/"false".
//
// The player builds "mediaFolder" from its archive root paths, the location name and
// "Recordings" without separators between them ("/archive" + "COURT1" + "/Recordings"), so it
// is read in every sensible way: each reading gives root paths (one or more, separated by ";")
// that are searched for the session's record in turn, and the first that holds it wins:
//   1. the folder as it stands (an archive root, or a directory whose subdirectories are roots);
//   2. the folder without a last part "Recordings" (the folder is a root's Recordings directory);
//   3. the folder without "LOCATION/Recordings", "LOCATION\Recordings" or "LOCATIONRecordings"
//      at its end, the location compared without regard to case;
// each also with every "\" read as "/". A relative folder is taken from the working directory,
// where the player starts the exporter.
class ExporterSettings {
public:
    static constexpr const char* kFileName = "ExporterSettings.xml";
    static constexpr const char* kRootName = "ExporterSettings";
    static constexpr int kDefaultFramesPerSecond = 20;

    // Reads and checks the file. False with errorText() when it cannot be read, is not a
    // settings file, lacks a key that names the session or holds a value that cannot be used.
    bool readFromFile(const std::string& path);

    // The archive root paths the readings of "mediaFolder" give, most likely first, each once.
    std::vector<std::string> candidateRootPaths() const;
    // Finds the session: its archive root's Recordings directory and the location name as its
    // records carry it. False with errorText() naming the folders tried when none holds it.
    bool findSession(std::string& recordingsPath, std::string& location);

    const std::string& mediaFolder() const { return mediaFolder_; }
    const std::string& recorderName() const { return recorderName_; }
    int year() const { return year_; }
    int month() const { return month_; }
    int day() const { return day_; }
    bool includeVideo() const { return includeVideo_; }
    bool mixAudioChannels() const { return mixAudioChannels_; }
    const std::string& outputPath() const { return outputPath_; }
    int framesPerSecond() const { return framesPerSecond_; }
    // The directory of the settings file read (where the default output goes).
    const std::string& settingsDirectory() const { return settingsDirectory_; }
    const std::string& errorText() const { return errorText_; }

private:
    bool fail(const std::string& text);

    std::string mediaFolder_;
    std::string recorderName_;
    int year_ = 0;
    int month_ = 0;
    int day_ = 0;
    bool includeVideo_ = true;
    bool mixAudioChannels_ = false;
    std::string outputPath_;
    int framesPerSecond_ = kDefaultFramesPerSecond;
    std::string settingsDirectory_ = ".";
    std::string errorText_;
};
