#include "ArchiveSessionSet.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>

#include "AvDebugLogger.h"
#include "DirectoryLister.h"
#include "JexSession.h"

namespace {

constexpr std::string_view kRecordExtension = ".xml";
// Channel directories are tried up to this number.
constexpr int kMaximumChannels = 10000;

std::string asciiLowerCase(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

bool isDirectory(const std::string& path) {
    std::error_code code;
    return std::filesystem::is_directory(path, code);
}

// Without trailing "/" (except for "/" itself), so that "A" and "A/" name the same roots.
std::string withoutTrailingSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

// Every file below `dayDirectory` whose lower-cased name holds the lower-cased location and one
// of the lower-cased kinds; stops at the first when `firstOnly`.
std::vector<std::string> filesOfSession(const std::string& dayDirectory,
                                        const std::string& locationName,
                                        const std::vector<std::string>& kinds, bool firstOnly) {
    const std::string location = asciiLowerCase(locationName);
    std::vector<std::string> lowerKinds;
    for (const std::string& kind : kinds) {
        lowerKinds.push_back(asciiLowerCase(kind));
    }
    std::vector<std::string> files;
    for (const DirectoryEntry& entry : DirectoryLister::listRecursively(dayDirectory)) {
        if (entry.name.size() <= 4) {
            continue;
        }
        const std::string name = asciiLowerCase(entry.name);
        if (name.find(location) == std::string::npos) {
            continue;
        }
        for (const std::string& kind : lowerKinds) {
            if (name.find(kind) != std::string::npos) {
                files.push_back(entry.path);
                break;
            }
        }
        if (firstOnly && !files.empty()) {
            break;
        }
    }
    return files;
}

}  // namespace

// One session record file of a Databases directory, split into location and day.
struct ArchiveSessionSet::RecordName {
    std::string fileName;
    std::string locationName;
    bool hasTilde = false;
    std::string datePart;  // after the first "~", ".xml" included
};

// The record names of each root's Databases directory, each listed at most once per call.
class ArchiveSessionSet::RecordListings {
public:
    explicit RecordListings(const ArchiveSessionSet& set)
        : set_(set), listings_(set.archiveRoots_.size()) {}

    const std::vector<RecordName>& forRoot(size_t index) {
        if (!listings_[index]) {
            listings_[index] = list(set_.databasesPath(set_.archiveRoots_[index]));
        }
        return *listings_[index];
    }

    // The index of the first root holding the location (ASCII case ignored), or -1.
    int rootIndexFor(const std::string& locationName) {
        const std::string wanted = asciiLowerCase(locationName);
        for (size_t i = 0; i < listings_.size(); ++i) {
            for (const RecordName& record : forRoot(i)) {
                if (asciiLowerCase(record.locationName) == wanted) {
                    return static_cast<int>(i);
                }
            }
        }
        return -1;
    }

    size_t rootCount() const { return listings_.size(); }

private:
    static std::vector<RecordName> list(const std::string& databases) {
        std::vector<RecordName> records;
        for (const DirectoryEntry& entry : DirectoryLister::list(databases)) {
            const std::string& name = entry.name;
            if (!entry.isRegularFile || name.size() <= kRecordExtension.size() ||
                !name.ends_with(kRecordExtension)) {
                continue;
            }
            RecordName record;
            record.fileName = name;
            const size_t tilde = name.find('~');
            record.hasTilde = tilde != std::string::npos;
            if (record.hasTilde) {
                record.locationName = name.substr(0, tilde);
                record.datePart = name.substr(tilde + 1);
            } else {
                record.locationName = name.substr(0, name.size() - kRecordExtension.size());
            }
            records.push_back(std::move(record));
        }
        return records;
    }

    const ArchiveSessionSet& set_;
    std::vector<std::optional<std::vector<RecordName>>> listings_;
};

ArchiveSessionSet::ArchiveSessionSet(const std::string& rootPaths, std::string databasesName,
                                     std::string recordingsName)
    : rootPaths_(rootPaths),
      databasesName_(std::move(databasesName)),
      recordingsName_(std::move(recordingsName)) {
    size_t start = 0;
    while (start <= rootPaths_.size()) {
        size_t end = rootPaths_.find(';', start);
        if (end == std::string::npos) {
            end = rootPaths_.size();
        }
        if (end > start) {
            findAllArchiveRoots(archiveRoots_, rootPaths_.substr(start, end - start));
        }
        start = end + 1;
    }
    AvDebugLogger::instance().log(AvDebugLogger::kInfo,
                                  "ArchiveSessionSet: %zu archive roots under \"%s\"",
                                  archiveRoots_.size(), rootPaths_.c_str());
}

std::string ArchiveSessionSet::databasesPath(const std::string& root) const {
    return DirectoryLister::join(root, databasesName_);
}

std::string ArchiveSessionSet::recordingsPath(const std::string& root) const {
    return DirectoryLister::join(root, recordingsName_);
}

std::string ArchiveSessionSet::dayDirectory(const std::string& recordingsPath, int channelNumber,
                                            int year, int month, int day) {
    char relative[64];
    std::snprintf(relative, sizeof relative, "%.3d/%.4d%.2d%.2d", channelNumber, year, month, day);
    return DirectoryLister::join(recordingsPath, relative);
}

bool ArchiveSessionSet::isArchiveRoot(const std::string& directory) const {
    return isDirectory(databasesPath(directory)) && isDirectory(recordingsPath(directory));
}

void ArchiveSessionSet::findAllArchiveRoots(std::vector<std::string>& roots,
                                            const std::string& path) const {
    const std::string directory = withoutTrailingSlash(path);
    if (isArchiveRoot(directory)) {
        roots.push_back(directory);
    }
    for (const DirectoryEntry& entry : DirectoryLister::list(directory)) {
        if (entry.isDirectory && isArchiveRoot(entry.path)) {
            roots.push_back(entry.path);
        }
    }
}

void ArchiveSessionSet::getAllLocationNames(std::vector<std::string>& names) const {
    RecordListings listings(*this);
    collectLocationNames(listings, names);
}

void ArchiveSessionSet::collectLocationNames(RecordListings& listings,
                                             std::vector<std::string>& names) {
    names.clear();
    for (size_t i = 0; i < listings.rootCount(); ++i) {
        for (const RecordName& record : listings.forRoot(i)) {
            if (std::find(names.begin(), names.end(), record.locationName) == names.end()) {
                names.push_back(record.locationName);
            }
        }
    }
}

bool ArchiveSessionSet::findRootForLocation(const std::string& locationName,
                                            std::string& root) const {
    RecordListings listings(*this);
    const int index = listings.rootIndexFor(locationName);
    if (index < 0) {
        return false;
    }
    root = archiveRoots_[static_cast<size_t>(index)];
    return true;
}

bool ArchiveSessionSet::parseDate(const RecordName& record, SessionDateEntry& date,
                                  std::vector<std::string>* problems) {
    const auto report = [&](const char* why) {
        const std::string problem = record.fileName + ": " + why;
        AvDebugLogger::instance().log(AvDebugLogger::kWarning, "ArchiveSessionSet: skipped %s",
                                      problem.c_str());
        if (problems != nullptr) {
            problems->push_back(problem);
        }
        return false;
    };
    if (!record.hasTilde) {
        return report("the name has no \"~\" between the location and the day");
    }
    const std::string& digits = record.datePart;
    if (digits.size() < 8 || !std::all_of(digits.begin(), digits.begin() + 8,
                                          [](char c) { return c >= '0' && c <= '9'; })) {
        return report("the day after the \"~\" is not eight digits YYYYMMDD");
    }
    date.year = std::stoi(digits.substr(0, 4));
    date.month = std::stoi(digits.substr(4, 2));
    date.day = std::stoi(digits.substr(6, 2));
    if (date.month < 1 || date.month > 12 || date.day < 1 || date.day > 31) {
        return report("the day after the \"~\" is not a calendar day");
    }
    date.text = digits.substr(4, 2) + "/" + digits.substr(6, 2) + "/" + digits.substr(0, 4);
    return true;
}

void ArchiveSessionSet::datesOfLocation(const std::vector<RecordName>& records,
                                        const std::string& locationName,
                                        std::vector<SessionDateEntry>& dates,
                                        std::vector<std::string>* problems) {
    for (const RecordName& record : records) {
        SessionDateEntry date;
        if (record.locationName == locationName && parseDate(record, date, problems)) {
            dates.push_back(std::move(date));
        }
    }
}

bool ArchiveSessionSet::getAllDatesForLocationName(std::vector<SessionDateEntry>& dates,
                                                   const std::string& locationName,
                                                   std::vector<std::string>* problems) const {
    RecordListings listings(*this);
    const int index = listings.rootIndexFor(locationName);
    if (index < 0) {
        return false;
    }
    dates.clear();
    datesOfLocation(listings.forRoot(static_cast<size_t>(index)), locationName, dates, problems);
    return true;
}

bool ArchiveSessionSet::listSessionFiles(std::vector<std::string>& files,
                                         const std::string& recordingsPath,
                                         const std::string& locationName, int year, int month,
                                         int day, const std::string& kind,
                                         int channelNumber) const {
    if (recordingsPath.empty()) {
        return false;
    }
    files = filesOfSession(dayDirectory(recordingsPath, channelNumber, year, month, day),
                           locationName, {kind}, false);
    return true;
}

int ArchiveSessionSet::countNumberedDirectories(const std::string& recordingsPath, int year,
                                                int month, int day,
                                                const std::string& locationName) const {
    if (recordingsPath.empty()) {
        return 0;
    }
    for (int channel = 0; channel < kMaximumChannels; ++channel) {
        if (filesOfSession(dayDirectory(recordingsPath, channel, year, month, day), locationName,
                           {"mp3", "sealedAudio"}, true)
                .empty()) {
            return channel;
        }
    }
    return 0;
}

bool ArchiveSessionSet::searchAllSessions(const std::string& text,
                                          std::vector<SessionSearchHit>& hits,
                                          std::vector<std::string>* problems) const {
    hits.clear();
    RecordListings listings(*this);
    std::vector<std::string> locations;
    collectLocationNames(listings, locations);
    bool allRead = true;
    for (const std::string& location : locations) {
        const int index = listings.rootIndexFor(location);
        if (index < 0) {
            continue;  // The record went away since the names were listed.
        }
        const std::string& root = archiveRoots_[static_cast<size_t>(index)];
        std::vector<SessionDateEntry> dates;
        datesOfLocation(listings.forRoot(static_cast<size_t>(index)), location, dates, problems);
        for (const SessionDateEntry& date : dates) {
            const JexSessionLabel label(location, date.year, date.month, date.day);
            std::vector<JexAnnotation> found;
            std::string error;
            const JexSession::RecordState state =
                JexSession::findInRecord(label.recordPath(databasesPath(root)), text, found, error);
            if (state == JexSession::RecordState::kUnreadable ||
                state == JexSession::RecordState::kMalformed) {
                allRead = false;
                AvDebugLogger::instance().log(AvDebugLogger::kWarning, "ArchiveSessionSet: %s",
                                              error.c_str());
                if (problems != nullptr) {
                    problems->push_back(error);
                }
                continue;
            }
            if (!found.empty()) {
                hits.push_back({location, date, std::move(found)});
            }
        }
    }
    return allRead;
}
