#include "SessionLookup.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "ArchiveSessionSet.h"
#include "AudioDecoderGroup.h"
#include "CommandLine.h"
#include "KorvalisSession.h"
#include "TerminalText.h"
#include "VideoDecoder.h"

namespace {

std::string lowerCase(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

}  // namespace

bool SessionLookup::parseDay(const std::string& text, int& year, int& month, int& day) {
    if (text.size() != 8 || text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    year = std::stoi(text.substr(0, 4));
    month = std::stoi(text.substr(4, 2));
    day = std::stoi(text.substr(6, 2));
    return month >= 1 && month <= 12 && day >= 1 && day <= 31;
}

bool SessionLookup::parseChannel(const std::string& text, unsigned& channel) {
    long value = 0;
    if (!CommandLine::parseLong(text, value) || value < 0 || value > 999) {
        return false;
    }
    channel = static_cast<unsigned>(value);
    return true;
}

bool SessionLookup::parseGain(const std::string& text, float& gain) {
    double value = 0.0;
    if (!CommandLine::parseDouble(text, value) || !std::isfinite(value) || value < 0.0 ||
        value > 1000.0) {
        return false;
    }
    gain = static_cast<float>(value);
    return true;
}

std::string SessionLookup::noSessionText(const std::string& location, int year, int month, int day,
                                         const std::string& roots) {
    char date[32];
    std::snprintf(date, sizeof date, " %04d-%02d-%02d under ", year, month, day);
    return "no session " + TerminalText::escaped(location) + date + TerminalText::escaped(roots);
}

bool SessionLookup::findSession(const std::string& roots, std::string& location, int year,
                                int month, int day, std::string& recordingsPath) {
    const ArchiveSessionSet set(roots);
    std::string root;
    if (!set.findRootForLocation(location, root)) {
        return false;
    }
    std::vector<std::string> names;
    set.getAllLocationNames(names);
    if (std::find(names.begin(), names.end(), location) == names.end()) {
        for (const std::string& name : names) {
            if (lowerCase(name) == lowerCase(location)) {
                location = name;
                break;
            }
        }
    }
    std::vector<SessionDateEntry> dates;
    if (!set.getAllDatesForLocationName(dates, location)) {
        return false;
    }
    for (const SessionDateEntry& date : dates) {
        if (date.year == year && date.month == month && date.day == day) {
            recordingsPath = set.recordingsPath(root);
            return true;
        }
    }
    return false;
}

std::string SessionLookup::readSessionArguments(const CommandLine& line, std::string& roots,
                                                std::string& location, int& year, int& month,
                                                int& day) {
    if (line.positional().size() != 3) {
        return "expected ROOTS LOCATION YYYYMMDD";
    }
    roots = line.positional()[0];
    location = line.positional()[1];
    if (!parseDay(line.positional()[2], year, month, day)) {
        return "'" + line.positional()[2] + "' is not a day written YYYYMMDD";
    }
    return std::string();
}

std::string SessionLookup::readChannelOptions(const CommandLine& line,
                                              std::map<unsigned, float>& channelGains,
                                              std::set<unsigned>& mutedChannels) {
    for (const std::string& text : line.values("gain")) {
        const size_t equals = text.find('=');
        unsigned channel = 0;
        float gain = 0.0f;
        if (equals == std::string::npos || !parseChannel(text.substr(0, equals), channel) ||
            !parseGain(text.substr(equals + 1), gain)) {
            return "--gain '" + text + "' is not CHANNEL=GAIN (a gain from 0 to 1000)";
        }
        channelGains[channel] = gain;
    }
    for (const std::string& text : line.values("mute")) {
        unsigned channel = 0;
        if (!parseChannel(text, channel)) {
            return "--mute '" + text + "' is not a channel number";
        }
        mutedChannels.insert(channel);
    }
    return std::string();
}

std::string SessionLookup::checkChannelOptions(const std::map<unsigned, float>& channelGains,
                                               const std::set<unsigned>& mutedChannels,
                                               unsigned channels) {
    for (const auto& [channel, gain] : channelGains) {
        if (channel >= channels) {
            return "--gain names channel " + std::to_string(channel) + ", but the session has " +
                   std::to_string(channels);
        }
    }
    for (unsigned channel : mutedChannels) {
        if (channel >= channels) {
            return "--mute names channel " + std::to_string(channel) + ", but the session has " +
                   std::to_string(channels);
        }
    }
    return std::string();
}

void SessionLookup::buildMediaSet(KorvalisSession& session,
                                  std::unique_ptr<AudioDecoderGroup>& group,
                                  std::unique_ptr<VideoDecoder>& video,
                                  const std::string& command) {
    session.enumerateMediaFiles();
    session.createAudioDecoderGroupForSession(group, kChunkDurationSeconds);
    session.createVideDecoderForSession(video);
    for (const std::string& skipped : session.takeSkippedFiles()) {
        std::fprintf(stderr, "korvalis %s: warning: skipped %s\n", command.c_str(),
                     skipped.c_str());
    }
    for (const std::string& damaged : session.takeDamagedFiles()) {
        std::fprintf(stderr, "korvalis %s: warning: damaged %s\n", command.c_str(),
                     damaged.c_str());
    }
}
