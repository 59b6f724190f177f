#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// What to export: one session of the archive, a range of it, and where the file goes.
struct MediaExportRequest {
    // The archive root's "Recordings" directory, and the session in it.
    std::string recordingsPath;
    std::string location;
    int year = 0;
    int month = 0;
    int day = 0;
    // Epoch seconds; without them the range starts with the session's first audio or video and
    // ends with its last.
    std::optional<double> from;
    std::optional<double> to;
    bool includeVideo = true;
    int framesPerSecond = 20;
    // The file to write; ".mp4" or ".m4a" make MP4, ".mkv" or ".mka" Matroska (".m4a" and
    // ".mka" audio alone). Empty: defaultOutputName() in `defaultOutputDirectory`.
    std::string outputPath;
    std::string defaultOutputDirectory = ".";
    // False: fail rather than replace a file that has the output's name.
    bool replaceExisting = true;
    // Motion JPEG video even where H.264 is available.
    bool preferMjpeg = false;
};

// Exports a session as one standard media file: every audio channel decoded and mixed as the
// player mixes them (all channels at unity gain, nothing muted) at the session's sample rate,
// encoded AAC; and the video as pictures at a constant frame rate, encoded H.264 or Motion JPEG.
//
// Time line: the file's time 0 is the range's start and its length is the range's. Audio is
// placed by each chunk's wall-clock time, so gaps in the recording are silence of their true
// length. Each output picture shows the session frame current at its time (the latest frame at
// or before it); before the first frame, and where no new frame came for kVideoGapSeconds
// (the camera stopped), the picture is black.
//
// The session is read as a stream, one mixed chunk and two frames at a time, so a 12-hour
// session needs no more memory than a minute. The file is written under a temporary name beside
// the output and given its name only when complete: a failed or interrupted export leaves
// nothing behind.
//
// Threads: run() holds the exporter's mutex; any thread may call it, one export at a time.
class SessionMediaExporter {
public:
    // A frame older than this is not shown any more; the picture goes black.
    static constexpr double kVideoGapSeconds = 5.0;
    // Longest range exported (two days).
    static constexpr double kLongestRangeSeconds = 48.0 * 3600.0;

    // Called after each second of output with the seconds exported and the range's length;
    // answering false stops the export (it then fails as interrupted).
    using Progress = std::function<bool(double exportedSeconds, double totalSeconds)>;

    explicit SessionMediaExporter(MediaExportRequest request);

    // Writes the file. False with errorText() when nothing could be exported or writing failed;
    // no file is left then.
    bool run(const Progress& progress = Progress());

    // "LOCATION_YYYY-MM-DD.mp4", or ".m4a" for audio alone.
    static std::string defaultOutputName(const std::string& location, int year, int month, int day,
                                         bool audioOnly);

    const std::string& errorText() const { return errorText_; }
    // The file written (or that was to be written).
    const std::string& outputPath() const { return outputPath_; }
    // Media files the session could not use or uses although damaged, as "PATH: REASON".
    const std::vector<std::string>& warnings() const { return warnings_; }
    // The range exported, in epoch seconds, and what the file holds.
    double rangeStart() const { return rangeStart_; }
    double rangeEnd() const { return rangeEnd_; }
    bool exportedAudio() const { return exportedAudio_; }
    bool exportedVideo() const { return exportedVideo_; }
    std::string videoCodecName() const { return videoCodecName_; }

private:
    class Run;
    bool fail(const std::string& text);

    std::mutex mutex_;
    MediaExportRequest request_;
    std::string errorText_;
    std::string outputPath_;
    std::vector<std::string> warnings_;
    double rangeStart_ = 0.0;
    double rangeEnd_ = 0.0;
    bool exportedAudio_ = false;
    bool exportedVideo_ = false;
    std::string videoCodecName_;
};
