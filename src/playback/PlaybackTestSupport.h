#pragma once

// Helpers shared by the playback engine's tests: a scratch archive root holding sessions of real
// timed MP3 and KOV files, written as the recorder names them, and a session record.

#include <cstdint>
#include <string>

#include "TemporaryDirectory.h"

class PlaybackTestSupport {
public:
    static constexpr const char* kLocation = "COURT1";
    // 2010-03-15 09:00:00 UTC.
    static constexpr double kSessionStart = 1268643600.0;
    static constexpr int kYear = 2010;
    static constexpr int kMonth = 3;
    static constexpr int kDay = 15;

    PlaybackTestSupport();
    PlaybackTestSupport(const PlaybackTestSupport&) = delete;
    PlaybackTestSupport& operator=(const PlaybackTestSupport&) = delete;

    const std::string& root() const { return scratch_.path(); }
    std::string recordingsPath() const { return root() + "/Recordings"; }
    std::string databasesPath() const { return root() + "/Databases"; }

    // A timed MP3 file of `seconds` of a `toneHz` tone at `startTime` in the channel's day
    // directory; the full path ("" when writing failed, with a test failure).
    std::string writeChannelMp3(int channel, double startTime, double seconds,
                                double toneHz = 440.0);
    // A KOV file in channel 000 with 64x48 frames at `frameRate` over [start, start + seconds).
    std::string writeKov(double startTime, double seconds, uint32_t frameRate = 5);
    // Writes the session record with `annotations` annotations one second apart from the
    // session start (replacing the record); false with a test failure when it cannot.
    bool writeRecord(int annotations);

private:
    std::string channelDirectory(int channel) const;
    std::string fileNameFor(double startTime, int channel, const std::string& extension) const;

    TemporaryDirectory scratch_;
};
