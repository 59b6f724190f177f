#pragma once

#include <string>
#include <vector>

#include "JexAnnotation.h"

// Builds archive trees for tests, benchmarks and the demo: session records written with the
// record text the product writes, and media placeholder files that carry the recorder's name
// scheme (a few bytes each: they serve discovery, not playback).
class TestArchiveBuilder {
public:
    // Makes `root` with its Databases and Recordings directories.
    explicit TestArchiveBuilder(std::string root);

    const std::string& root() const { return root_; }
    std::string databasesPath() const { return root_ + "/Databases"; }
    std::string recordingsPath() const { return root_ + "/Recordings"; }

    // An annotation at `utcSeconds`, shown in the zone `offsetHours`, by the recorder's operator.
    static JexAnnotation annotation(double utcSeconds, const std::string& speaker,
                                    const std::string& event, int index = 0, int offsetHours = 0);

    // Writes the session record LOCATION~YYYYMMDD.xml holding `annotations`; returns its path.
    std::string addSessionRecord(const std::string& location, int year, int month, int day,
                                 const std::vector<JexAnnotation>& annotations);
    // Writes `bytes` as Databases/`fileName`; returns its path.
    std::string addRawRecord(const std::string& fileName, const std::string& bytes);

    // A placeholder LOCATION~SECONDS~MS~CHANNEL~0~0.KIND in the channel's day directory (or in
    // `subdirectory` below it); returns its path.
    std::string addMediaFile(const std::string& location, int year, int month, int day, int channel,
                             const std::string& kind, double startSeconds,
                             const std::string& subdirectory = "");
    // `channels` channels of `filesPerChannel` consecutive one-minute "mp3" files from
    // `startSeconds`, and with `video` one "kov" file in channel 000.
    void addSessionMedia(const std::string& location, int year, int month, int day, int channels,
                         double startSeconds, int filesPerChannel = 1, bool video = true);

private:
    std::string root_;
};
