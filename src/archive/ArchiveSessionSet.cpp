#include "ArchiveSessionSet.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <unordered_map>

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

// True when the lower-cased `name` is one of a session's files: longer than four characters,
// holding the lower-cased location and one of the lower-cased kinds.
bool isSessionFile(const std::string& name, const std::string& lowerLocation,
                   const std::vector<std::string>& lowerKinds) {
    if (name.size() <= 4 || name.find(lowerLocation) == std::string::npos) {
        return false;
    }
    return std::any_of(lowerKinds.begin(), lowerKinds.end(), [&](const std::string& kind) {
        return name.find(kind) != std::string::npos;
    });
}

std::vector<std::string> lowerCased(const std::vector<std::string>& texts) {
    std::vector<std::string> lower;
    for (const std::string& text : texts) {
        lower.push_back(asciiLowerCase(text));
    }
    return lower;
}

// Every file below `dayDirectory` that is a session file of the location and one of the kinds;
// the listing stops at the first when `firstOnly`.
std::vector<std::string> filesOfSession(const std::string& dayDirectory,
                                        const std::string& locationName,
                                        const std::vector<std::string>& kinds, bool firstOnly) {
    const std::string location = asciiLowerCase(locationName);
    const std::vector<std::string> lowerKinds = lowerCased(kinds);
    std::vector<std::string> files;
    DirectoryLister::visitFilesRecursively(dayDirectory, [&](const DirectoryEntry& entry) {
        if (isSessionFile(asciiLowerCase(entry.name), location, lowerKinds)) {
            files.push_back(entry.path);
        }
        return !(firstOnly && !files.empty());
    });
    return files;
}

const std::vector<std::string> kAudioKinds = {"mp3", "sealedAudio"};

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
        if (!rootsByLocation_) {
            // Every root listed once; the first root of each location wins.
            rootsByLocation_.emplace();
            for (size_t i = 0; i < listings_.size(); ++i) {
                for (const RecordName& record : forRoot(i)) {
                    rootsByLocation_->emplace(asciiLowerCase(record.locationName),
                                              static_cast<int>(i));
                }
            }
        }
        const auto found = rootsByLocation_->find(asciiLowerCase(locationName));
        return found == rootsByLocation_->end() ? -1 : found->second;
    }

    size_t rootCount() const { return listings_.size(); }

    // The Databases directories that could not be listed so far, with the reason.
    const std::vector<std::string>& errors() const { return errors_; }

private:
    std::vector<RecordName> list(const std::string& databases) {
        std::vector<RecordName> records;
        std::string error;
        const std::vector<DirectoryEntry> entries = DirectoryLister::list(databases, &error);
        if (!error.empty()) {
            const std::string problem = databases + " could not be read: " + error;
            AvDebugLogger::instance().log(AvDebugLogger::kWarning, "ArchiveSessionSet: %s",
                                          problem.c_str());
            errors_.push_back(problem);
        }
        for (const DirectoryEntry& entry : entries) {
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
    std::optional<std::unordered_map<std::string, int>> rootsByLocation_;
    std::vector<std::string> errors_;
};

// The audio files of day directories, each directory listed at most once per call.
class ArchiveSessionSet::DayListings {
public:
    // The channel count of the session, as countNumberedDirectories gives it.
    int channelCount(const std::string& recordingsPath, int year, int month, int day,
                     const std::string& locationName) {
        const std::string location = asciiLowerCase(locationName);
        for (int channel = 0; channel < kMaximumChannels; ++channel) {
            const std::vector<std::string>& names =
                audioFiles(dayDirectory(recordingsPath, channel, year, month, day));
            if (std::none_of(names.begin(), names.end(), [&](const std::string& name) {
                    return name.find(location) != std::string::npos;
                })) {
                return channel;
            }
        }
        return 0;
    }

private:
    // The lower-cased names of the audio files below `directory`.
    const std::vector<std::string>& audioFiles(const std::string& directory) {
        auto found = listings_.find(directory);
        if (found != listings_.end()) {
            return found->second;
        }
        static const std::vector<std::string> kLowerKinds = lowerCased(kAudioKinds);
        std::vector<std::string> names;
        DirectoryLister::visitFilesRecursively(directory, [&](const DirectoryEntry& entry) {
            std::string name = asciiLowerCase(entry.name);
            // The location is checked by the caller; "" is in every name.
            if (isSessionFile(name, "", kLowerKinds)) {
                names.push_back(std::move(name));
            }
            return true;
        });
        return listings_.emplace(directory, std::move(names)).first->second;
    }

    std::map<std::string, std::vector<std::string>> listings_;
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
                           kAudioKinds, true)
                .empty()) {
            return channel;
        }
    }
    return 0;
}

bool ArchiveSessionSet::listAllSessions(std::vector<SessionListEntry>& sessions,
                                        std::vector<std::string>* problems) const {
    sessions.clear();
    RecordListings listings(*this);
    DayListings days;
    std::vector<std::string> locations;
    collectLocationNames(listings, locations);
    for (const std::string& location : locations) {
        const int index = listings.rootIndexFor(location);
        if (index < 0) {
            continue;
        }
        const std::string& root = archiveRoots_[static_cast<size_t>(index)];
        std::vector<SessionDateEntry> dates;
        datesOfLocation(listings.forRoot(static_cast<size_t>(index)), location, dates, problems);
        for (SessionDateEntry& date : dates) {
            const int channels =
                days.channelCount(recordingsPath(root), date.year, date.month, date.day, location);
            sessions.push_back({location, std::move(date), root, channels});
        }
    }
    if (problems != nullptr) {
        problems->insert(problems->end(), listings.errors().begin(), listings.errors().end());
    }
    return listings.errors().empty();
}

bool ArchiveSessionSet::searchAllSessions(const std::string& text,
                                          std::vector<SessionSearchHit>& hits,
                                          std::vector<std::string>* problems) const {
    hits.clear();
    RecordListings listings(*this);
    std::vector<std::string> locations;
    collectLocationNames(listings, locations);
    bool allRead = listings.errors().empty();
    if (problems != nullptr) {
        problems->insert(problems->end(), listings.errors().begin(), listings.errors().end());
    }
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
