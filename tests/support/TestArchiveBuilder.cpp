#include "TestArchiveBuilder.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "ArchiveSessionSet.h"
#include "JexSession.h"
#include "MediaFileName.h"
#include "WallClockTime.h"

namespace {

void writeFile(const std::string& path, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
}

}  // namespace

TestArchiveBuilder::TestArchiveBuilder(std::string root) : root_(std::move(root)) {
    std::filesystem::create_directories(databasesPath());
    std::filesystem::create_directories(recordingsPath());
}

JexAnnotation TestArchiveBuilder::annotation(double utcSeconds, const std::string& speaker,
                                             const std::string& event, int index, int offsetHours) {
    WallClockTime stamp(utcSeconds, 0);
    stamp.setTzOffsetHours(offsetHours);
    JexAnnotation annotation;
    annotation.setDisplayTime(stamp);
    annotation.setUser("Recorder");
    annotation.setLabelTitle("Speaker");
    annotation.setLabelData(speaker);
    annotation.setEvent(event);
    annotation.setIndex(index);
    return annotation;
}

std::string TestArchiveBuilder::addSessionRecord(const std::string& location, int year, int month,
                                                 int day,
                                                 const std::vector<JexAnnotation>& annotations) {
    JexSession session(location, year, month, day);
    for (const JexAnnotation& annotation : annotations) {
        JexAnnotation placed = annotation;
        placed.setLocation(location);
        session.addAnnotation(placed);
    }
    const std::string path = session.label().recordPath(databasesPath());
    writeFile(path, session.recordText());
    return path;
}

std::string TestArchiveBuilder::addRawRecord(const std::string& fileName,
                                             const std::string& bytes) {
    const std::string path = databasesPath() + "/" + fileName;
    writeFile(path, bytes);
    return path;
}

std::string TestArchiveBuilder::addMediaFile(const std::string& location, int year, int month,
                                             int day, int channel, const std::string& kind,
                                             double startSeconds, const std::string& subdirectory) {
    std::string directory =
        ArchiveSessionSet::dayDirectory(recordingsPath(), channel, year, month, day);
    if (!subdirectory.empty()) {
        directory += "/" + subdirectory;
    }
    const std::string path =
        MediaFileName(location, startSeconds, channel, 0, 0).pathIn(directory, kind);
    writeFile(path, "placeholder");
    return path;
}

void TestArchiveBuilder::addSessionMedia(const std::string& location, int year, int month, int day,
                                         int channels, double startSeconds, int filesPerChannel,
                                         bool video) {
    for (int channel = 0; channel < channels; ++channel) {
        for (int file = 0; file < filesPerChannel; ++file) {
            addMediaFile(location, year, month, day, channel, "mp3", startSeconds + 60.0 * file);
        }
    }
    if (video) {
        addMediaFile(location, year, month, day, 0, "kov", startSeconds);
    }
}
