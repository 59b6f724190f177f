#include "ExporterLauncher.h"

#include <stdlib.h>

#include <QProcess>
#include <QString>
#include <QStringList>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "ArchiveSessionSet.h"
#include "FileIo.h"
#include "GalewickPaths.h"
#include "XmlPacker.h"

namespace {

// PATH + "/" + NAME, without doubling a separator the first part ends with.
std::string joined(const std::string& path, const std::string& name) {
    if (path.empty()) {
        return name;
    }
    return path.back() == '/' ? path + name : path + "/" + name;
}

bool isDirectory(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_directory(path, error);
}

// Run directories of earlier exports are kept this long, for a look at what an export was given.
constexpr int kRunDirectoryDays = 14;

}  // namespace

int ExporterLauncher::pruneRunDirectories(const std::string& stateDirectory, int maximumAgeDays) {
    namespace fs = std::filesystem;
    std::error_code error;
    const auto oldest = fs::file_time_type::clock::now() - std::chrono::hours(24) * maximumAgeDays;
    int removed = 0;
    for (fs::directory_iterator it(stateDirectory, error), end; !error && it != end;
         it.increment(error)) {
        const fs::path directory = it->path();
        if (directory.filename().string().rfind("export-", 0) != 0 || !it->is_directory(error) ||
            fs::last_write_time(directory, error) > oldest || error) {
            error.clear();
            continue;
        }
        bool onlySettings = true;
        for (fs::directory_iterator inner(directory, error), innerEnd; !error && inner != innerEnd;
             inner.increment(error)) {
            onlySettings = onlySettings && inner->path().filename() == kSettingsFileName;
        }
        if (!error && onlySettings) {
            fs::remove_all(directory, error);
            removed += error ? 0 : 1;
        }
        error.clear();
    }
    return removed;
}

ExporterLauncher::Settings ExporterLauncher::settingsFor(const std::string& browseLocation,
                                                         const std::string& location, int year,
                                                         int month, int day) {
    Settings settings;
    settings.recorderName = location;
    settings.year = year;
    settings.month = month;
    settings.day = day;
    settings.mediaFolder = joined(joined(browseLocation, location), "Recordings");
    if (!isDirectory(settings.mediaFolder)) {
        ArchiveSessionSet archive(browseLocation);
        std::string root;
        if (archive.findRootForLocation(location, root)) {
            settings.mediaFolder = archive.recordingsPath(root);
        }
    }
    return settings;
}

std::string ExporterLauncher::settingsXml(const Settings& settings) {
    XmlPacker packer("ExporterSettings");
    packer.beginPacking();
    packer.pack("mediaFolder", settings.mediaFolder);
    packer.pack("recorderName", settings.recorderName);
    packer.pack("year", settings.year);
    packer.pack("month", settings.month);
    packer.pack("day", settings.day);
    packer.pack("includeVideo", settings.includeVideo);
    packer.pack("mixAudioChannels", settings.mixAudioChannels);
    packer.pack("outputPath", settings.outputPath);
    packer.pack("framesPerSecond", settings.framesPerSecond);
    return packer.packedText();
}

bool ExporterLauncher::writeSettings(const Settings& settings, const std::string& directory,
                                     std::string& path, std::string& error) {
    std::error_code code;
    std::filesystem::create_directories(directory, code);
    if (!isDirectory(directory)) {
        error = "the directory " + directory + " could not be made" +
                (code ? ": " + code.message() : std::string());
        return false;
    }
    path = joined(directory, kSettingsFileName);
    return FileIo::writeFileAtomically(path, settingsXml(settings), &error);
}

ExporterLauncher::ExporterLauncher(std::string program, std::string runDirectory)
    : program_(std::move(program)), runDirectory_(std::move(runDirectory)) {}

std::string ExporterLauncher::defaultProgram() {
    return GalewickPaths::siblingProgram(kProgramName);
}

ExporterLauncher::Result ExporterLauncher::launch(const Settings& settings, std::string& message) {
    if (program_.empty()) {
        message = "The export program ";
        message.append(kProgramName)
            .append(" is not installed: it was looked for in ")
            .append(GalewickPaths::programDirectory())
            .append(", beside this program. Install it there to export sessions.");
        return Result::kNotInstalled;
    }
    std::string directory = runDirectory_;
    if (directory.empty()) {
        // One directory per export, so that exports started one after another never read each
        // other's settings.
        pruneRunDirectories(GalewickPaths::stateDirectory(), kRunDirectoryDays);
        std::string pattern = joined(GalewickPaths::stateDirectory(), "export-XXXXXX");
        if (::mkdtemp(pattern.data()) == nullptr) {
            message =
                "The exporter's settings could not be written: no directory could be made "
                "below " +
                GalewickPaths::stateDirectory() + ".";
            return Result::kSettingsNotWritten;
        }
        directory = pattern;
    }
    lastRunDirectory_ = directory;
    std::string path;
    std::string error;
    if (!writeSettings(settings, directory, path, error)) {
        message =
            "The exporter's settings could not be written to " + directory + ": " + error + ".";
        return Result::kSettingsNotWritten;
    }
    if (!QProcess::startDetached(QString::fromStdString(program_),
                                 QStringList{QString::fromStdString(path)},
                                 QString::fromStdString(directory))) {
        message = "The export program " + program_ + " could not be started.";
        return Result::kStartFailed;
    }
    // Without an output path the exporter writes its file beside the settings: say where, the
    // directory is not one the user would look in.
    char day[16];
    std::snprintf(day, sizeof day, "%.2d/%.2d/%.4d", settings.month, settings.day, settings.year);
    message = "The export of " + settings.recorderName + " on " + day + " was started. " +
              (settings.outputPath.empty()
                   ? "The exporter writes the exported file into " + directory + "."
                   : "The exporter writes it to " + settings.outputPath + ".");
    return Result::kStarted;
}
