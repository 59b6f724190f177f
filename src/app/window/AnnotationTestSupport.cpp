#include "AnnotationTestSupport.h"

#include <QFile>
#include <filesystem>

#include "WallClockTime.h"

namespace AnnotationTestSupport {

JexAnnotation annotation(uint32_t utcSeconds, const std::string& speaker, const std::string& event,
                         const std::string& user, int offsetHours) {
    JexAnnotation note;
    if (utcSeconds != 0) {
        WallClockTime stamp(utcSeconds, 0u, 0);
        stamp.setTzOffsetHours(offsetHours);
        note.setDisplayTime(stamp);
    }
    note.setLabelData(speaker);
    note.setEvent(event);
    note.setUser(user);
    note.setLabelTitle("Speaker");
    return note;
}

std::unique_ptr<JexSession> writeRecord(const std::string& root, const std::string& location,
                                        int year, int month, int day,
                                        const std::vector<JexAnnotation>& annotations) {
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(root) / "Databases", error);
    std::filesystem::create_directories(std::filesystem::path(root) / "Recordings", error);
    const std::string databases = (std::filesystem::path(root) / "Databases").string();
    JexSession writer(location, year, month, day);
    writer.setDatabasesDirectory(databases);
    for (const JexAnnotation& note : annotations) {
        writer.addAnnotation(note);
    }
    if (!writer.save()) {
        return nullptr;
    }
    return readRecord(databases, location, year, month, day);
}

std::unique_ptr<JexSession> readRecord(const std::string& databasesDirectory,
                                       const std::string& location, int year, int month, int day) {
    auto record = std::make_unique<JexSession>(location, year, month, day);
    if (record->load(databasesDirectory) != JexSession::RecordState::kLoaded) {
        return nullptr;
    }
    return record;
}

std::string fileText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return file.readAll().toStdString();
}

}  // namespace AnnotationTestSupport
