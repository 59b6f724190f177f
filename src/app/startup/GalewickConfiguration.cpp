#include "GalewickConfiguration.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "FileIo.h"
#include "GalewickPaths.h"
#include "XmlPacker.h"

namespace {

// Reads the file into `packer`; false when it cannot be read, is empty or holds no XML record.
bool readRecord(XmlPacker& packer, const std::string& path) {
    return packer.readFromFile(path) && !packer.packedText().empty();
}

// A flag is set only by the text "1": "2", "true" or "01" leave it false.
bool unpackFlag(XmlPacker& packer, const char* name, bool& value) {
    std::string text;
    if (!packer.unpack(name, text)) {
        return false;
    }
    value = text == "1";
    return true;
}

// A step of no or negative length would turn rewind into standing still or advancing: such a
// value leaves the step as it was.
void unpackStep(XmlPacker& packer, const char* name, int& seconds, bool& set) {
    int value = 0;
    if (packer.unpack(name, value) && value > 0) {
        seconds = value;
        set = true;
    }
}

}  // namespace

bool GalewickConfiguration::loadConfiguration() {
    return loadConfiguration(GalewickPaths::configurationFile());
}

bool GalewickConfiguration::loadConfiguration(const std::string& path) {
    XmlPacker packer(kRootElementName);
    if (!readRecord(packer, path)) {
        browseLocation = homeDirectory();
        stayOnTop = false;
        autoRefresh = false;
        return false;
    }
    std::string rootPath;
    if (packer.unpack("rootpath", rootPath)) {
        configuredRootPath = rootPath;
    }
    // With no root path stored there is nothing to browse: start at home as without a file.
    browseLocation = configuredRootPath.empty() ? homeDirectory() : configuredRootPath;
    packer.unpack("meterrefreshrate", meterTimerStamp);
    unpackStep(packer, "rewindseconds", rewindSeconds, rewindSecondsSet);
    unpackStep(packer, "advanceseconds", advanceSeconds, advanceSecondsSet);
    unpackFlag(packer, "stayontop", stayOnTop);
    unpackFlag(packer, "autorefresh", autoRefresh);
    return true;
}

std::string GalewickConfiguration::packedText() const {
    XmlPacker packer(kRootElementName);
    packer.beginPacking();
    packer.pack("rootpath", configuredRootPath);
    packer.pack("meterrefreshrate", meterTimerStamp);
    packer.pack("rewindseconds", rewindSeconds);
    packer.pack("advanceseconds", advanceSeconds);
    packer.pack("stayontop", stayOnTop);
    packer.pack("autorefresh", autoRefresh);
    packer.pack("xoffset", windowX);
    packer.pack("yoffset", windowY);
    return packer.packedText();
}

bool GalewickConfiguration::saveConfiguration(std::string* error) const {
    return saveConfiguration(GalewickPaths::configurationFile(), error);
}

bool GalewickConfiguration::saveConfiguration(const std::string& path, std::string* error) const {
    return FileIo::writeFileAtomically(path, packedText(), error);
}

std::vector<std::string> GalewickConfiguration::browseRoots() const {
    std::vector<std::string> roots;
    size_t start = 0;
    while (start <= browseLocation.size()) {
        size_t end = browseLocation.find(';', start);
        if (end == std::string::npos) {
            end = browseLocation.size();
        }
        if (end > start) {
            roots.push_back(browseLocation.substr(start, end - start));
        }
        start = end + 1;
    }
    return roots;
}

std::string GalewickConfiguration::homeDirectory() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] != '\0') {
        return home;
    }
    if (const passwd* entry = ::getpwuid(::getuid());
        entry != nullptr && entry->pw_dir != nullptr && entry->pw_dir[0] != '\0') {
        return entry->pw_dir;
    }
    return "/";
}

GalewickConfiguration::Position GalewickConfiguration::readWindowPosition(const std::string& path) {
    Position position;
    XmlPacker packer(kRootElementName);
    if (readRecord(packer, path)) {
        packer.unpack("xoffset", position.x);
        packer.unpack("yoffset", position.y);
    }
    return position;
}

GalewickConfiguration::Position GalewickConfiguration::checkedPosition(int x, int y,
                                                                       int screenWidth,
                                                                       int screenHeight) {
    // Compared in 64 bits: a stored position near INT_MAX must not wrap into the screen.
    const long long right = static_cast<long long>(x) + kMinimumVisiblePixels;
    const long long bottom = static_cast<long long>(y) + kMinimumVisiblePixels;
    // A corner left of or above the screen would hide the window as surely as one past its far
    // edges.
    if (right > screenWidth || bottom > screenHeight || x < 0 || y < 0) {
        return {};
    }
    return {x, y};
}
