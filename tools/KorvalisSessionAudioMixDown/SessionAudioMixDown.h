#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Mixes every audio channel of one session into a single channel of timed MP3 files, written as
// the recorder writes them (16000 Hz mono, 32 kbit/s, stamped once a second) into channel 000 of
// another archive root, so that the result plays as a session of one channel. The channels are
// summed sample by sample on their common wall-clock time line (saturating at full scale); each
// stretch of time that some channel covers becomes one file. Only one stretch is held in memory
// at a time, so segments hours apart cost no more than their own length.
class SessionAudioMixDown {
public:
    // Stretches of audio closer than this are written as one file (the gap as silence).
    static constexpr double kJoinGapSeconds = 0.5;

    // The session LOCATION of YEAR-MONTH-DAY below `sourceRoot` (an archive root).
    SessionAudioMixDown(std::string sourceRoot, std::string location, int year, int month, int day);

    // Writes the mix below `targetRoot`/Recordings/000/YYYYMMDD. False, with errorText(), when
    // the session has no audio, a file cannot be decoded or written.
    bool mixInto(const std::string& targetRoot);

    // The files written by the last mixInto.
    const std::vector<std::string>& writtenFiles() const { return writtenFiles_; }
    const std::string& errorText() const { return errorText_; }

private:
    struct Span {
        double start = 0.0;
        double end = 0.0;
    };

    bool fail(const std::string& text);

    std::string sourceRoot_;
    std::string location_;
    int year_;
    int month_;
    int day_;
    std::vector<std::string> writtenFiles_;
    std::string errorText_;
};
