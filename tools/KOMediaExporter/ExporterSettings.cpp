#include "ExporterSettings.h"

#include <tinyxml.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>

#include "ArchiveSessionSet.h"
#include "FileIo.h"
#include "TerminalText.h"
#include "XmlPacker.h"

namespace {

// The packer, with the name of the root element it read.
class SettingsPacker : public XmlPacker {
public:
    SettingsPacker() : XmlPacker(ExporterSettings::kRootName) {}
    std::string rootName() const {
        return currentElement() != nullptr ? currentElement()->ValueStr() : std::string();
    }
};

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    });
    return text;
}

std::string trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

bool parseInteger(const std::string& text, int& value) {
    const std::string digits = trimmed(text);
    if (digits.empty()) {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    const long parsed = std::strtol(digits.c_str(), &end, 10);
    if (errno != 0 || end == nullptr || *end != '\0' || parsed < INT_MIN || parsed > INT_MAX) {
        return false;
    }
    value = static_cast<int>(parsed);
    return true;
}

bool parseBoolean(const std::string& text, bool& value) {
    const std::string word = lowerCase(trimmed(text));
    if (word == "1" || word == "true") {
        value = true;
        return true;
    }
    if (word == "0" || word == "false") {
        value = false;
        return true;
    }
    return false;
}

std::string withoutTrailingSeparators(std::string path) {
    while (path.size() > 1 && (path.back() == '/' || path.back() == '\\')) {
        path.pop_back();
    }
    return path;
}

std::string shownPath(const std::string& text) {
    return "\"" + TerminalText::escaped(text) + "\"";
}

}  // namespace

bool ExporterSettings::fail(const std::string& text) {
    errorText_ = text;
    return false;
}

bool ExporterSettings::readFromFile(const std::string& path) {
    *this = ExporterSettings();  // nothing of an earlier file survives
    const std::filesystem::path settingsPath(path);
    settingsDirectory_ = settingsPath.has_parent_path() ? settingsPath.parent_path().string() : ".";
    std::string bytes;
    if (!FileIo::readWholeFile(path, bytes, 1024 * 1024)) {
        return fail("cannot read the settings file " + shownPath(path));
    }
    SettingsPacker packer;
    packer.beginUnpacking(RawMessage(bytes.data(), static_cast<uint32_t>(bytes.size())));
    if (packer.rootName() != kRootName) {
        return fail("the settings file " + shownPath(path) + " is not an " + kRootName +
                    " file (its first element must be <" + kRootName + ">)");
    }
    // Every key as text; which are missing is said all at once.
    const char* const keys[] = {
        "mediaFolder",  "recorderName",     "year",       "month",          "day",
        "includeVideo", "mixAudioChannels", "outputPath", "framesPerSecond"};
    std::string values[9];
    bool present[9] = {};
    for (size_t i = 0; i < 9; ++i) {
        present[i] = packer.unpack(keys[i], values[i]);
    }
    std::string missing;
    for (size_t i = 0; i < 5; ++i) {
        if (!present[i]) {
            missing += std::string(missing.empty() ? "" : ", ") + "\"" + keys[i] + "\"";
        }
    }
    if (!missing.empty()) {
        return fail("the settings file " + shownPath(path) + " lacks " + missing +
                    ", which name the session to export");
    }
    mediaFolder_ = values[0];
    recorderName_ = values[1];
    if (trimmed(mediaFolder_).empty() || trimmed(recorderName_).empty()) {
        return fail("the settings file " + shownPath(path) + " leaves \"" +
                    (trimmed(mediaFolder_).empty() ? "mediaFolder" : "recorderName") + "\" empty");
    }
    if (!parseInteger(values[2], year_) || year_ < 1970 || year_ > 9999 ||
        !parseInteger(values[3], month_) || month_ < 1 || month_ > 12 ||
        !parseInteger(values[4], day_) || day_ < 1 || day_ > 31) {
        return fail("the settings file " + shownPath(path) + " names no day: year \"" +
                    TerminalText::escaped(values[2]) + "\", month \"" +
                    TerminalText::escaped(values[3]) + "\", day \"" +
                    TerminalText::escaped(values[4]) + "\"");
    }
    if (present[5] && !parseBoolean(values[5], includeVideo_)) {
        return fail("\"includeVideo\" in " + shownPath(path) + " is not 1, 0, true or false");
    }
    if (present[6] && !parseBoolean(values[6], mixAudioChannels_)) {
        return fail("\"mixAudioChannels\" in " + shownPath(path) + " is not 1, 0, true or false");
    }
    outputPath_ = present[7] ? trimmed(values[7]) : std::string();
    if (present[8] && (!parseInteger(values[8], framesPerSecond_) || framesPerSecond_ < 1 ||
                       framesPerSecond_ > 120)) {
        return fail("\"framesPerSecond\" in " + shownPath(path) + " is \"" +
                    TerminalText::escaped(values[8]) + "\"; give a number from 1 to 120");
    }
    return true;
}

std::vector<std::string> ExporterSettings::candidateRootPaths() const {
    std::vector<std::string> candidates;
    const auto add = [&candidates](std::string roots) {
        roots = withoutTrailingSeparators(roots);
        if (!roots.empty() &&
            std::find(candidates.begin(), candidates.end(), roots) == candidates.end()) {
            candidates.push_back(roots);
        }
    };
    std::string slashed = mediaFolder_;
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    for (const std::string& folder : {mediaFolder_, slashed}) {
        const std::string plain = withoutTrailingSeparators(trimmed(folder));
        add(plain);
        const std::string recordings = "recordings";
        const std::string lower = lowerCase(plain);
        if (lower.size() > recordings.size() &&
            lower.compare(lower.size() - recordings.size(), recordings.size(), recordings) == 0) {
            const std::string before = plain.substr(0, plain.size() - recordings.size());
            if (!before.empty() && (before.back() == '/' || before.back() == '\\')) {
                add(before);  // reading 2
            }
            // Reading 3: the location before "Recordings", with or without a separator.
            std::string head = before;
            if (!head.empty() && (head.back() == '/' || head.back() == '\\')) {
                head.pop_back();
            }
            const std::string location = lowerCase(recorderName_);
            if (head.size() > location.size() &&
                lowerCase(head.substr(head.size() - location.size())) == location) {
                add(head.substr(0, head.size() - location.size()));
            }
        }
    }
    return candidates;
}

bool ExporterSettings::findSession(std::string& recordingsPath, std::string& location) {
    errorText_.clear();
    const std::vector<std::string> candidates = candidateRootPaths();
    for (const std::string& roots : candidates) {
        const ArchiveSessionSet set(roots);
        std::string root;
        if (!set.findRootForLocation(recorderName_, root)) {
            continue;
        }
        // The location as its records name it.
        std::string name = recorderName_;
        std::vector<std::string> names;
        set.getAllLocationNames(names);
        for (const std::string& known : names) {
            if (lowerCase(known) == lowerCase(recorderName_)) {
                name = known;
                if (known == recorderName_) {
                    break;
                }
            }
        }
        std::vector<SessionDateEntry> dates;
        set.getAllDatesForLocationName(dates, name);
        const bool found = std::any_of(dates.begin(), dates.end(), [this](const auto& date) {
            return date.year == year_ && date.month == month_ && date.day == day_;
        });
        if (found) {
            recordingsPath = set.recordingsPath(root);
            location = name;
            return true;
        }
    }
    char date[16];
    std::snprintf(date, sizeof date, "%04d-%02d-%02d", year_, month_, day_);
    std::string tried;
    for (const std::string& roots : candidates) {
        tried += (tried.empty() ? "" : ", ") + shownPath(roots);
    }
    return fail("no session " + TerminalText::escaped(recorderName_) + " " + date +
                " under the media folder " + shownPath(mediaFolder_) + " (looked in " + tried +
                ")");
}
