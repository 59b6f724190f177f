#pragma once

#include <string>
#include <vector>

#include "SessionDateEntry.h"
#include "SessionListEntry.h"
#include "SessionSearchHit.h"

// The archives under the configured root paths and the sessions they hold.
//
// An archive root is a directory holding both a "Databases" and a "Recordings" directory. The
// session record of LOCATION on a day is ROOT/Databases/LOCATION~YYYYMMDD.xml; the media of
// channel NNN (three digits from 000) on that day lie below ROOT/Recordings/NNN/YYYYMMDD/, their
// names holding the location name and their kind ("mp3", "sealedAudio", "kov", "sealedVideo").
//
// The roots are found once, when the object is made; everything else is read from the disk on
// each call, in the sorted order of DirectoryLister. The object does not change after it is
// made, so any thread may call any operation.
class ArchiveSessionSet {
public:
    // `rootPaths` holds one or more paths separated by ";": each non-empty one is searched for
    // archive roots (findAllArchiveRoots), in order.
    explicit ArchiveSessionSet(const std::string& rootPaths,
                               std::string databasesName = "Databases",
                               std::string recordingsName = "Recordings");

    // Appends `path` when it is an archive root, then each immediate subdirectory of it that is
    // one, in listing order. A trailing "/" of `path` makes no difference; nothing deeper is
    // searched and a missing path adds nothing.
    void findAllArchiveRoots(std::vector<std::string>& roots, const std::string& path) const;

    // Replaces `names` with every location that has a record in some root's Databases
    // directory, each exact name once, roots in order and records in listing order. A record
    // name without "~" gives its whole name without ".xml".
    void getAllLocationNames(std::vector<std::string>& names) const;

    // The first root whose Databases directory holds a record of the location, compared
    // without regard to ASCII letter case. False when none does.
    bool findRootForLocation(const std::string& locationName, std::string& root) const;

    // Replaces `dates` with one entry per record of exactly this location in the root that
    // findRootForLocation finds, in listing order. Records whose name carries no valid day
    // (YYYYMMDD after the "~") are skipped and described in `problems`, when given. False, with
    // `dates` untouched, when no root holds the location.
    bool getAllDatesForLocationName(std::vector<SessionDateEntry>& dates,
                                    const std::string& locationName,
                                    std::vector<std::string>* problems = nullptr) const;

    // The number of consecutive channel directories 000, 001, ... below `recordingsPath` whose
    // day directory holds an "mp3" or "sealedAudio" file of the location; 0 when 000 holds none.
    int countNumberedDirectories(const std::string& recordingsPath, int year, int month, int day,
                                 const std::string& locationName) const;

    // Replaces `files` with the full path of every file below the day directory of the channel
    // (subdirectories included, depth first) whose name, in lower case, is longer than four
    // characters and contains both the kind and the location name in lower case. False when
    // `recordingsPath` is empty.
    bool listSessionFiles(std::vector<std::string>& files, const std::string& recordingsPath,
                          const std::string& locationName, int year, int month, int day,
                          const std::string& kind, int channelNumber) const;

    // Replaces `sessions` with every session of every location, with its channel count,
    // locations and days in the order of getAllLocationNames and getAllDatesForLocationName.
    // Each Databases directory and each day directory is listed once, however many locations
    // share it. Records whose name carries no valid day are skipped and described in
    // `problems`, when given. False when some Databases directory could not be read (also
    // described): the sessions of the other roots are there all the same.
    bool listAllSessions(std::vector<SessionListEntry>& sessions,
                         std::vector<std::string>* problems = nullptr) const;

    // Reads the record of every session of every location and replaces `hits` with one hit per
    // session holding annotations whose event contains `text` (case-sensitive), locations and
    // days in the order of getAllLocationNames and getAllDatesForLocationName. Records that
    // might hold a match but cannot be read are skipped and described in `problems`, when given
    // (see JexSession::findInRecord), as are Databases directories that cannot be read. False
    // when some record was skipped, so that the hits may be incomplete; the hits of the other
    // records are there all the same.
    bool searchAllSessions(const std::string& text, std::vector<SessionSearchHit>& hits,
                           std::vector<std::string>* problems = nullptr) const;

    // Every archive root found, in the order found.
    const std::vector<std::string>& archiveRoots() const { return archiveRoots_; }
    // ROOT/Databases and ROOT/Recordings.
    std::string databasesPath(const std::string& root) const;
    std::string recordingsPath(const std::string& root) const;

    // A channel's day directory: RECORDINGS/NNN/YYYYMMDD.
    static std::string dayDirectory(const std::string& recordingsPath, int channelNumber, int year,
                                    int month, int day);

private:
    class RecordListings;
    class DayListings;
    struct RecordName;

    bool isArchiveRoot(const std::string& directory) const;
    static void collectLocationNames(RecordListings& listings, std::vector<std::string>& names);
    static bool parseDate(const RecordName& record, SessionDateEntry& date,
                          std::vector<std::string>* problems);
    static void datesOfLocation(const std::vector<RecordName>& records,
                                const std::string& locationName,
                                std::vector<SessionDateEntry>& dates,
                                std::vector<std::string>* problems);

    std::string rootPaths_;
    std::string databasesName_;
    std::string recordingsName_;
    std::vector<std::string> archiveRoots_;
};
