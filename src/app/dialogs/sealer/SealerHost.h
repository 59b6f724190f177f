#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "TimeRange.h"

// What the seal, unseal, recovery and copy commands need of the main window. The window
// implements it; every operation is called on the user-interface thread only, never from a
// worker.
//
// The transactions do not run on the engine's session: each run builds its own media set for
// the open session from the recordings path, location and date given here (as `korvalis seal`
// does), after stopPlayback, and the window reloads its session afterwards through
// reloadSession.
class SealerHost {
public:
    // The calendar day of a session.
    struct Date {
        int year = 0;
        int month = 0;
        int day = 0;
    };

    virtual ~SealerHost() = default;

    // The browse location: the archive root paths, several separated by ";" (may be empty).
    virtual std::string browseLocation() const = 0;

    // Whether a session is open. The four operations below are asked only while one is.
    virtual bool hasOpenSession() const = 0;
    // The location name as the session's records carry it.
    virtual std::string sessionLocationName() const = 0;
    virtual Date sessionDate() const = 0;
    // The archive root the open session was found in (holding Databases and Recordings).
    virtual std::string sessionArchiveRoot() const = 0;
    // ROOT/Recordings of the open session.
    virtual std::string sessionRecordingsPath() const = 0;

    // The offset from UTC to the location's clock, in seconds, in force at `epochSeconds`:
    // the times the dialogs show and take are in that clock, as the time slider's labels.
    // By default the machine's own zone.
    virtual int32_t locationOffsetSecondsAt(double epochSeconds) const;

    // The selection on the time slider (epoch seconds); false when there is none.
    virtual bool selectedRange(double& start, double& end) const = 0;
    // Moves the slider's selection markers to [start, end].
    virtual void setSelectedRange(double start, double end) = 0;
    // The sealed stretches of the open session's time line (sealed flag set), in time order;
    // empty without a session.
    virtual std::vector<TimeRange> sealedRanges() const = 0;

    // Stops playback (every command does so first).
    virtual void stopPlayback() = 0;
    // Opens the open session again from disk: media set, decoders and record. False when it
    // could not be opened.
    virtual bool reloadSession() = 0;
    // Opens LOCATION on the day from the archive root `archiveRoot` (auto-load of a copy).
    virtual bool openSession(const std::string& archiveRoot, const std::string& locationName,
                             const Date& date) = 0;

    // The directory of the running program, where the mix-down tool is looked for
    // (GalewickPaths::programDirectory()).
    virtual std::string programDirectory() const = 0;
};
