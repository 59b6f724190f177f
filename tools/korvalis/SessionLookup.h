#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>

class AudioDecoderGroup;
class CommandLine;
class KorvalisSession;
class VideoDecoder;

// What the commands that play or show one session share: reading ROOTS LOCATION YYYYMMDD and the
// channel options, finding the session's archive root, and building its media set as playback
// does.
class SessionLookup {
public:
    // The chunk duration the player's window asks for.
    static constexpr float kChunkDurationSeconds = 0.144f;

    // YYYYMMDD of a real calendar month and day.
    static bool parseDay(const std::string& text, int& year, int& month, int& day);
    // A channel number from 0 to 999.
    static bool parseChannel(const std::string& text, unsigned& channel);
    // A gain from 0 to 1000 (1.0 unchanged).
    static bool parseGain(const std::string& text, float& gain);

    // The Recordings path of the root holding a record of the session; false when none does. The
    // location is found regardless of case (as the archive finds its root); `location` becomes
    // the name its records carry.
    static bool findSession(const std::string& roots, std::string& location, int year, int month,
                            int day, std::string& recordingsPath);
    // "no session LOCATION YYYY-MM-DD under ROOTS", what every command says when findSession
    // finds nothing; the location and roots are shown as a terminal may show them.
    static std::string noSessionText(const std::string& location, int year, int month, int day,
                                     const std::string& roots);

    // The three positional arguments ROOTS LOCATION YYYYMMDD of `line`. An empty answer means
    // they were read; otherwise it says what is wrong.
    static std::string readSessionArguments(const CommandLine& line, std::string& roots,
                                            std::string& location, int& year, int& month, int& day);
    // Every "--gain C=G" and "--mute C" of `line`; the answer as above.
    static std::string readChannelOptions(const CommandLine& line,
                                          std::map<unsigned, float>& channelGains,
                                          std::set<unsigned>& mutedChannels);
    // Why the channel options name a channel the session does not have ("" when they do not).
    static std::string checkChannelOptions(const std::map<unsigned, float>& channelGains,
                                           const std::set<unsigned>& mutedChannels,
                                           unsigned channels);

    // The media set as the window builds it: files enumerated, an audio decoder group of
    // 0.144 s chunks and a video decoder. Files left out are written to stderr as
    // "korvalis COMMAND: warning: skipped PATH: REASON".
    static void buildMediaSet(KorvalisSession& session, std::unique_ptr<AudioDecoderGroup>& group,
                              std::unique_ptr<VideoDecoder>& video, const std::string& command);
};
