#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Writes archive roots of realistic sessions: for every location and day a session record and
// the media a recorder leaves (ROOT/Databases, ROOT/Recordings/NNN/YYYYMMDD).
//
// Audio: every channel is a series of timed MP3 files (16000 Hz mono, 32 kbit/s, a stamp in the
// first frame with room after every whole second of a file) named
// LOCATION~SECONDS~MILLISECONDS~CHANNEL~SEQUENCE~0.mp3. Each channel carries its own tone
// (channelToneHz) in turns of 1.5 to 6 seconds separated by pauses of 0.4 to 2.5 seconds, the
// way speakers take turns, so that a mix tells which channels are in it. The turns repeat every
// kPatternSeconds; the pattern of a channel is encoded once and its frames are copied into the
// files, each stamped with its own time.
// Video: KOV files in channel 000 with the same boundaries as the audio files, their frames at
// the frame rate, each carrying its own time; the picture shows the date and the local time to
// the second (frames of one second share their picture).
// Records: annotations with speakers and events spread over the session (markers at its start,
// around each recess and at its end, plus annotationsPerHour others).
//
// The media are written as time goes: begin() prepares the root, advanceTo() writes everything
// recorded before a time (growing the current files, starting new ones, appending annotations
// with the record's crash-safe save), finish() closes the current files. write() does all three
// for a past session; a live recording calls advanceTo() with the clock until it stops.
// Not thread-safe: one thread drives a writer.
class SampleArchiveWriter {
public:
    struct Date {
        int year = 2010;
        int month = 3;
        int day = 15;
        bool operator==(const Date&) const = default;
    };
    // A recess without media: `minutes` long from `startMinuteOfDay` (local time).
    struct Recess {
        int startMinuteOfDay = 0;
        int minutes = 0;
    };
    struct Settings {
        std::vector<std::string> locations{"COURT1", "COURT2"};
        std::vector<Date> dates{Date{}};
        int channels = 4;
        double startSecondOfDay = 9 * 3600.0;  // local time
        int utcOffsetHours = 0;                // local time = UTC + offset
        double hours = 1.0;
        // No end: the sessions go on until finish() (a live recording); `hours` is not used.
        bool openEnded = false;
        double fileMinutes = 5.0;
        std::vector<Recess> recesses;
        bool video = true;
        uint32_t videoWidth = 320;
        uint32_t videoHeight = 240;
        uint32_t videoFrameRate = 10;
        int annotationsPerHour = 60;
        uint64_t seed = 1;
    };
    struct SessionSummary {
        std::string location;
        Date date;
        int channels = 0;
        int files = 0;  // media files, audio and video
    };

    static constexpr int kMaximumChannels = 16;
    static constexpr double kPatternSeconds = 90.0;
    static constexpr double kMinimumFileMinutes = 0.1;
    static constexpr uint32_t kMinimumVideoSide = 16;
    static constexpr uint32_t kMaximumVideoSide = 4096;
    static constexpr uint32_t kMaximumFrameRate = 60;
    static constexpr int kMaximumAnnotationsPerHour = 3600;
    // Ticks per second of the frames' counter values.
    static constexpr int64_t kCounterFrequency = 10000000;

    explicit SampleArchiveWriter(Settings settings);
    ~SampleArchiveWriter();
    SampleArchiveWriter(const SampleArchiveWriter&) = delete;
    SampleArchiveWriter& operator=(const SampleArchiveWriter&) = delete;

    // Why `settings` cannot be written ("" when they can): counts and sizes out of range, a
    // date that is no calendar day, a location name that is empty, holds a path character or
    // "~", names a media kind, or holds (or is held by) another location name regardless of
    // case (the archive tells the files of two such locations apart by their names only).
    static std::string checkSettings(const Settings& settings);

    // Makes `root` (an archive root) and prepares every session. False, with errorText(), when
    // the settings are unusable, a directory cannot be made or the root already holds a
    // record of one of the sessions (nothing of it is then touched).
    bool begin(const std::string& root);
    // Writes every frame recorded before `epochTime` and every annotation made by then, and
    // flushes the files, so that readers see them. False, with errorText(), when a write
    // failed; the files stay whole.
    bool advanceTo(double epochTime);
    // Closes the current files: the last video frame of each is marked as the last. The end
    // marker annotation is written when the session's end was reached.
    bool finish();
    // begin(), advanceTo(the end of the last session), finish().
    bool write(const std::string& root);

    // The sessions in the order written (locations, then dates), with what they hold so far.
    std::vector<SessionSummary> summaries() const;
    const std::string& errorText() const { return errorText_; }

    // Epoch seconds of a session's start and end (end only for sessions that have one).
    double sessionStart(const Date& date) const;
    double sessionEnd(const Date& date) const;

    // The tone of channel `channel`: 400 Hz + 150 Hz per channel number.
    static double channelToneHz(int channel);
    // Whether channel `channel` speaks at `secondsFromStart` seconds after the session start
    // (and outside a recess) in the turns made from `seed`.
    static bool channelSpeaksAt(uint64_t seed, int channel, double secondsFromStart);

    // What a video frame at `epochTime` shows: "YYYY-MM-DD" above "HH:MM:SS" (local time).
    struct CaptionLine {
        std::string text;
        uint32_t x = 0;      // left pixel of the first glyph cell
        uint32_t y = 0;      // top pixel
        uint32_t scale = 1;  // pixels per font cell (SyntheticKovWriter's 5x7 font)
    };
    static std::vector<CaptionLine> captionLines(uint32_t width, uint32_t height, double epochTime,
                                                 int utcOffsetHours);

private:
    struct ChannelPattern;
    struct Session;

    bool prepareSessions();
    bool advanceSession(Session& session, double epochTime);
    bool closeFiles(Session& session);
    bool addDueAnnotations(Session& session, double epochTime);
    const ChannelPattern& pattern(int channel);

    Settings settings_;
    std::string root_;
    std::vector<std::unique_ptr<ChannelPattern>> patterns_;
    std::vector<std::unique_ptr<Session>> sessions_;
    bool begun_ = false;
    bool finished_ = false;
    std::string errorText_;
};
