#include "SampleArchiveWriter.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <numbers>

#include "ArchiveSessionSet.h"
#include "CompressedImage.h"
#include "FileIo.h"
#include "JexAnnotation.h"
#include "JexSession.h"
#include "JpegImageCompressor.h"
#include "KovNavigatorAndFormatter.h"
#include "MediaFileName.h"
#include "Mp3FrameStamp.h"
#include "MpegAudioFrameHeader.h"
#include "RgbImage.h"
#include "SyntheticKovWriter.h"
#include "SystemError.h"
#include "TimedMp3Writer.h"
#include "VideoSegmentFrame.h"
#include "WallClockTime.h"

namespace {

constexpr double kFrameSeconds = TimedMp3Writer::kFrameDurationSeconds;
constexpr uint32_t kFrameBytes = TimedMp3Writer::kFrameBytes;
constexpr uint32_t kSampleRate = TimedMp3Writer::kSampleRate;
// Frames of one turn pattern (90 s is a whole number of 36 ms frames and of seconds, so both
// the frames and the tones' phases repeat), and of the pattern's context on either side when it
// is encoded (so that the frames at its ends are encoded as they sound in a repeat).
constexpr int64_t kPatternFrames = 2500;
constexpr int64_t kContextFrames = 250;
constexpr double kRampSeconds = 0.01;
constexpr double kStampIntervalSeconds = 1.0;
// Bytes gathered before they go to a file.
constexpr size_t kWriteBatchBytes = 4u << 20;
// Frames in an interval that has no end.
constexpr int64_t kEndless = std::numeric_limits<int64_t>::max() / 4;
constexpr double kEpsilon = 1e-9;
constexpr const char* kMediaKinds[] = {"mp3", "sealedaudio", "kov", "sealedvideo"};

// splitmix64: the same numbers on every platform for one seed.
uint64_t mix(uint64_t value) {
    value += 0x9E3779B97F4A7C15ull;
    value = (value ^ (value >> 30)) * 0xBF58476D1CE4E5B9ull;
    value = (value ^ (value >> 27)) * 0x94D049BB133111EBull;
    return value ^ (value >> 31);
}

class Random {
public:
    explicit Random(uint64_t seed) : state_(mix(seed)) {}
    uint64_t next() {
        state_ = mix(state_);
        return state_;
    }
    // Uniform in [0, 1).
    double unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
    double between(double low, double high) { return low + (high - low) * unit(); }

private:
    uint64_t state_;
};

uint64_t hashText(const std::string& text) {
    uint64_t hash = 1469598103934665603ull;
    for (const unsigned char c : text) {
        hash = (hash ^ c) * 1099511628211ull;
    }
    return hash;
}

struct Turn {
    double start;  // seconds into the pattern
    double end;
    double amplitude;
};

// The turns of one channel within a pattern: 1.5-6 s of speech, 0.4-2.5 s pauses, the pattern
// ending in a pause so that repeats join quietly.
std::vector<Turn> makeTurns(uint64_t seed, int channel) {
    Random random(seed * 1000003ull + static_cast<uint64_t>(channel) + 17);
    std::vector<Turn> turns;
    double time = random.between(0.0, 2.0);
    const double last = SampleArchiveWriter::kPatternSeconds - 0.4;
    while (time < last - 0.5) {
        const double end = std::min(last, time + random.between(1.5, 6.0));
        turns.push_back({time, end, random.between(0.3, 0.45)});
        time = end + random.between(0.4, 2.5);
    }
    return turns;
}

std::string asciiLower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

bool isCalendarDay(const SampleArchiveWriter::Date& date) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (date.year < 1970 || date.year > 2105 || date.month < 1 || date.month > 12 || date.day < 1) {
        return false;
    }
    const bool leap = (date.year % 4 == 0 && date.year % 100 != 0) || date.year % 400 == 0;
    return date.day <= kDays[date.month - 1] + (date.month == 2 && leap ? 1 : 0);
}

// Local midnight of `date` in epoch seconds.
double midnight(const SampleArchiveWriter::Date& date, int utcOffsetHours) {
    const WallClockTime local(static_cast<uint16_t>(date.year), static_cast<uint16_t>(date.month),
                              static_cast<uint16_t>(date.day), 0, 0, 0, 0, utcOffsetHours);
    return local.asUtcSeconds();
}

void fillRectangle(RgbImage& image, int64_t x0, int64_t y0, int64_t x1, int64_t y1, uint8_t blue,
                   uint8_t green, uint8_t red) {
    x0 = std::clamp<int64_t>(x0, 0, image.getWidth());
    x1 = std::clamp<int64_t>(x1, 0, image.getWidth());
    y0 = std::clamp<int64_t>(y0, 0, image.getHeight());
    y1 = std::clamp<int64_t>(y1, 0, image.getHeight());
    for (int64_t y = y0; y < y1; ++y) {
        uint8_t* pixel = image.row(static_cast<uint32_t>(y)) + x0 * RgbImage::kBytesPerPixel;
        for (int64_t x = x0; x < x1; ++x, pixel += RgbImage::kBytesPerPixel) {
            pixel[0] = blue;
            pixel[1] = green;
            pixel[2] = red;
        }
    }
}

// Who speaks on a channel, and what the recorder's operator notes about them.
struct Role {
    const char* speaker;
    std::vector<const char*> events;  // "%d" takes an exhibit number
};

const std::vector<Role>& roles() {
    static const std::vector<Role> kRoles = {
        {nullptr,  // the judge: named per location
         {"Objection sustained", "Objection overruled", "Counsel will approach the bench",
          "The witness may step down", "Exhibit %d admitted", "The jury will disregard the answer",
          "Let the record show the witness pointed at exhibit %d"}},
        {"Counsel for the claimant",
         {"Direct examination", "Objection: hearsay", "Exhibit %d offered into evidence",
          "No further questions", "Redirect examination"}},
        {"Counsel for the defence",
         {"Cross-examination", "Objection: leading the witness", "Objection: speculation",
          "Motion to strike", "No further questions"}},
        {"Witness",
         {"Witness testimony", "Witness asks for the question to be repeated",
          "Witness reads from exhibit %d & the <draft> letter"}},
        {"Clerk", {"Exhibit %d marked for identification", "Witness sworn in", "Roll call"}},
        {"Interpreter", {"Interpretation begins", "Interpreter asks for clarification"}},
        {"Expert witness", {"Expert testimony", "Expert report entered as exhibit %d"}},
        {"Court reporter",
         {"Read-back of the last answer", "Reporter asks the speaker to slow down"}},
    };
    return kRoles;
}

constexpr const char* kJudges[] = {"Amsel",  "Brandt", "Corvin", "Dahl",
                                   "Eckert", "Falk",   "Grau",   "Hollis"};

}  // namespace

// ---- Channel patterns -------------------------------------------------------------------------

struct SampleArchiveWriter::ChannelPattern {
    std::vector<uint8_t> frames;  // kPatternFrames frames of kFrameBytes
};

const SampleArchiveWriter::ChannelPattern& SampleArchiveWriter::pattern(int channel) {
    return *patterns_.at(static_cast<size_t>(channel));
}

double SampleArchiveWriter::channelToneHz(int channel) {
    return 400.0 + 150.0 * channel;
}

bool SampleArchiveWriter::channelSpeaksAt(uint64_t seed, int channel, double secondsFromStart) {
    const double time =
        secondsFromStart - std::floor(secondsFromStart / kPatternSeconds) * kPatternSeconds;
    for (const Turn& turn : makeTurns(seed, channel)) {
        if (time >= turn.start && time < turn.end) {
            return true;
        }
    }
    return false;
}

// ---- Captions ---------------------------------------------------------------------------------

std::vector<SampleArchiveWriter::CaptionLine> SampleArchiveWriter::captionLines(
    uint32_t width, uint32_t height, double epochTime, int utcOffsetHours) {
    WallClockTime stamp(epochTime < 0 ? 0.0 : epochTime, 0);
    stamp.setTzOffsetHours(utcOffsetHours);
    int day, month, year, hour, minute, second, microseconds;
    stamp.getLocalDate(day, month, year);
    stamp.getLocalTime(hour, minute, second, microseconds);
    char date[32];
    char time[32];
    std::snprintf(date, sizeof date, "%04d-%02d-%02d", year, month, day);
    std::snprintf(time, sizeof time, "%02d:%02d:%02d", hour, minute, second);

    const auto units = [](size_t characters) {
        return static_cast<uint32_t>(characters * SyntheticKovWriter::kGlyphAdvance - 1);
    };
    const uint32_t glyphHeight = SyntheticKovWriter::kGlyphHeight;
    const uint32_t timeScale =
        std::max<uint32_t>(1, std::min(width / 2 / units(8), height / 4 / glyphHeight));
    const uint32_t dateScale =
        std::max<uint32_t>(1, std::min(width / 2 / units(10), timeScale / 2));
    const uint32_t gap = 2 * timeScale;
    const uint32_t total = glyphHeight * dateScale + gap + glyphHeight * timeScale;
    const uint32_t top = height > total ? (height - total) / 2 : 0;
    const auto centred = [width](uint32_t textWidth) {
        return width > textWidth ? (width - textWidth) / 2 : 0;
    };
    return {
        {date, centred(units(10) * dateScale), top, dateScale},
        {time, centred(units(8) * timeScale), top + glyphHeight * dateScale + gap, timeScale},
    };
}

namespace {

// The picture of every frame of one second: a tinted gradient and the caption lines, white on
// black.
std::unique_ptr<RgbImage> drawPicture(uint32_t width, uint32_t height, double epochTime,
                                      int utcOffsetHours, int tint) {
    auto image = std::make_unique<RgbImage>(width, height);
    if (!image->allocateBuffer()) {
        return nullptr;
    }
    const uint8_t tints[][3] = {{150, 90, 40}, {40, 120, 150}, {60, 140, 60}, {140, 60, 130}};
    const uint8_t* base = tints[static_cast<size_t>(tint) % std::size(tints)];
    // Flat areas keep the pictures small: a tinted backdrop and a lighter panel.
    fillRectangle(*image, 0, 0, width, height, base[0], base[1], base[2]);
    fillRectangle(*image, width / 8, height / 8, width - width / 8, height - height / 8,
                  static_cast<uint8_t>(base[0] / 2 + 100), static_cast<uint8_t>(base[1] / 2 + 100),
                  static_cast<uint8_t>(base[2] / 2 + 100));
    const std::vector<SampleArchiveWriter::CaptionLine> lines =
        SampleArchiveWriter::captionLines(width, height, epochTime, utcOffsetHours);
    for (const SampleArchiveWriter::CaptionLine& line : lines) {
        const int64_t scale = line.scale;
        const int64_t textWidth =
            static_cast<int64_t>(line.text.size() * SyntheticKovWriter::kGlyphAdvance - 1) * scale;
        fillRectangle(*image, static_cast<int64_t>(line.x) - scale,
                      static_cast<int64_t>(line.y) - scale, line.x + textWidth + scale,
                      line.y + (SyntheticKovWriter::kGlyphHeight + 1) * scale, 0, 0, 0);
        for (size_t k = 0; k < line.text.size(); ++k) {
            const uint8_t* rows = SyntheticKovWriter::glyph(line.text[k]);
            if (rows == nullptr) {
                continue;
            }
            for (uint32_t row = 0; row < SyntheticKovWriter::kGlyphHeight; ++row) {
                for (uint32_t column = 0; column < SyntheticKovWriter::kGlyphWidth; ++column) {
                    if (rows[row] & (0x10 >> column)) {
                        const int64_t x =
                            line.x + (k * SyntheticKovWriter::kGlyphAdvance + column) * scale;
                        const int64_t y = line.y + row * scale;
                        fillRectangle(*image, x, y, x + scale, y + scale, 255, 255, 255);
                    }
                }
            }
        }
    }
    return image;
}

// One media file being written: its descriptor and the bytes not yet written to it.
struct OutputFile {
    std::string path;
    int descriptor = -1;
    std::vector<uint8_t> pending;
    std::string error;  // of writes made through a callback

    bool isOpen() const { return descriptor >= 0; }

    bool open(const std::string& filePath, std::string& error) {
        path = filePath;
        std::error_code ignored;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
        descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (descriptor < 0) {
            error = "Cannot create \"" + path + "\": " + SystemError::last();
            return false;
        }
        return true;
    }
    bool flush(std::string& error) {
        if (pending.empty()) {
            return true;
        }
        if (!FileIo::writeAll(descriptor, pending.data(), pending.size())) {
            error = "Cannot write \"" + path + "\": " + SystemError::last();
            return false;
        }
        pending.clear();
        return true;
    }
    bool append(const uint8_t* bytes, size_t count, std::string& error) {
        pending.insert(pending.end(), bytes, bytes + count);
        return pending.size() < kWriteBatchBytes || flush(error);
    }
    bool close(std::string& error) {
        bool ok = flush(error);
        if (descriptor >= 0 && ::close(descriptor) != 0 && ok) {
            error = "Cannot write \"" + path + "\": " + SystemError::last();
            ok = false;
        }
        descriptor = -1;
        pending.clear();
        return ok;
    }
    ~OutputFile() {
        if (descriptor >= 0) {
            ::close(descriptor);
        }
    }
};

}  // namespace

// ---- Sessions ---------------------------------------------------------------------------------

struct SampleArchiveWriter::Session {
    struct Interval {
        double start;
        double end;             // infinity for an open end
        int64_t audioFrames;    // frames of 36 ms that fit, kEndless for an open end
        int64_t patternOffset;  // pattern frame of the interval's first frame
    };
    struct AudioTrack {
        int channel = 0;
        OutputFile file;
        int64_t nextFrame = 0;       // in the interval
        int64_t fileFirstFrame = 0;  // the current file's first frame, in the interval
        double nextStampOffset = 0.0;
        int sequence = 0;
    };
    struct VideoTrack {
        OutputFile file;
        KovNavigatorAndFormatter navigator;
        bool headerWritten = false;
        std::unique_ptr<VideoSegmentFrame> held;  // written once the next frame comes or at close
        int64_t nextFrame = 0;                    // in the interval
        int64_t framesInFile = 0;                 // taken into the current file, held one too
        int sequence = 0;
        // The picture of the second being written, kept at its data length so that the copy
        // each frame takes stays small.
        std::unique_ptr<CompressedImage> picture;
        int64_t pictureSecond = -1;
        JpegImageCompressor compressor{50, 2, JpegImageCompressor::kFlagBgr};
    };
    struct Marker {
        double time;
        std::string event;
    };

    std::string location;
    int locationIndex = 0;
    Date date;
    double start = 0.0;
    double end = 0.0;
    std::vector<Interval> intervals;
    size_t intervalIndex = 0;
    int64_t fileIndex = 0;  // in the interval
    bool filesOpen = false;
    std::vector<AudioTrack> audio;
    VideoTrack video;
    int files = 0;
    double reached = 0.0;

    std::unique_ptr<JexSession> record;
    std::vector<Marker> markers;  // in time order
    size_t nextMarker = 0;
    int64_t nextSlot = 0;
    int nextIndex = 0;
    uint64_t annotationSeed = 0;
};

namespace {

// The bytes of a KOV file go to its OutputFile (the context).
KovWriteCallback videoBytesCallback() {
    return
        [](void* context, double, const uint8_t* bytes, uint32_t count, const std::string*, bool) {
            auto* file = static_cast<OutputFile*>(context);
            return count == 0 || file->append(bytes, count, file->error);
        };
}

}  // namespace

SampleArchiveWriter::SampleArchiveWriter(Settings settings) : settings_(std::move(settings)) {}

SampleArchiveWriter::~SampleArchiveWriter() = default;

std::string SampleArchiveWriter::checkSettings(const Settings& settings) {
    if (settings.locations.empty()) {
        return "at least one location is needed";
    }
    for (size_t i = 0; i < settings.locations.size(); ++i) {
        const std::string& name = settings.locations[i];
        if (name.empty() || name.size() > 100) {
            return "a location name must have 1 to 100 characters";
        }
        for (const unsigned char c : name) {
            if (c < 0x20 || c == 0x7F || std::strchr("~/\\.:*?\"<>|", c) != nullptr) {
                return "the location name '" + name +
                       "' holds a character that media file names cannot carry";
            }
        }
        const std::string lower = asciiLower(name);
        for (const char* kind : kMediaKinds) {
            if (lower.find(kind) != std::string::npos) {
                return "the location name '" + name + "' holds the media kind '" + kind + "'";
            }
        }
        for (size_t j = 0; j < i; ++j) {
            const std::string other = asciiLower(settings.locations[j]);
            if (other.find(lower) != std::string::npos || lower.find(other) != std::string::npos) {
                return "the location names '" + settings.locations[j] + "' and '" + name +
                       "' cannot be told apart in file names";
            }
        }
    }
    if (settings.dates.empty()) {
        return "at least one date is needed";
    }
    for (size_t i = 0; i < settings.dates.size(); ++i) {
        if (!isCalendarDay(settings.dates[i])) {
            return "a date is not a calendar day between 1970 and 2105";
        }
        for (size_t j = 0; j < i; ++j) {
            if (settings.dates[j] == settings.dates[i]) {
                return "a date is given twice";
            }
        }
    }
    if (settings.channels < 1 || settings.channels > kMaximumChannels) {
        return "the channel count must be 1 to " + std::to_string(kMaximumChannels);
    }
    if (!(settings.startSecondOfDay >= 0.0 && settings.startSecondOfDay < 86400.0)) {
        return "the start must be a time of day";
    }
    if (settings.utcOffsetHours < -12 || settings.utcOffsetHours > 14) {
        return "the UTC offset must be -12 to 14 hours";
    }
    if (!settings.openEnded && !(settings.hours > 0.0 && settings.hours <= 24.0)) {
        return "the hours must be more than 0 and at most 24";
    }
    if (!(settings.fileMinutes >= kMinimumFileMinutes && settings.fileMinutes <= 1440.0)) {
        return "the file minutes must be 0.1 to 1440";
    }
    for (const Recess& recess : settings.recesses) {
        if (recess.startMinuteOfDay < 0 || recess.startMinuteOfDay >= 1440 || recess.minutes < 1 ||
            recess.minutes > 1440) {
            return "a recess must start at a time of day and last 1 to 1440 minutes";
        }
    }
    if (settings.video &&
        (settings.videoWidth < kMinimumVideoSide || settings.videoWidth > kMaximumVideoSide ||
         settings.videoHeight < kMinimumVideoSide || settings.videoHeight > kMaximumVideoSide)) {
        return "video sides must be " + std::to_string(kMinimumVideoSide) + " to " +
               std::to_string(kMaximumVideoSide) + " pixels";
    }
    if (settings.video &&
        (settings.videoFrameRate < 1 || settings.videoFrameRate > kMaximumFrameRate)) {
        return "the video frame rate must be 1 to " + std::to_string(kMaximumFrameRate);
    }
    if (settings.annotationsPerHour < 0 ||
        settings.annotationsPerHour > kMaximumAnnotationsPerHour) {
        return "the annotations per hour must be 0 to " +
               std::to_string(kMaximumAnnotationsPerHour);
    }
    return "";
}

double SampleArchiveWriter::sessionStart(const Date& date) const {
    return midnight(date, settings_.utcOffsetHours) + settings_.startSecondOfDay;
}

double SampleArchiveWriter::sessionEnd(const Date& date) const {
    return settings_.openEnded ? std::numeric_limits<double>::infinity()
                               : sessionStart(date) + settings_.hours * 3600.0;
}

bool SampleArchiveWriter::prepareSessions() {
    // The channels' patterns: each encoded once, with context on both sides.
    for (int channel = 0; channel < settings_.channels; ++channel) {
        std::vector<int16_t> samples(static_cast<size_t>(kPatternSeconds * kSampleRate), 0);
        const double tone = channelToneHz(channel);
        for (const Turn& turn : makeTurns(settings_.seed, channel)) {
            const auto first = static_cast<size_t>(std::ceil(turn.start * kSampleRate));
            const auto last =
                std::min(samples.size(), static_cast<size_t>(std::ceil(turn.end * kSampleRate)));
            for (size_t k = first; k < last; ++k) {
                const double t = static_cast<double>(k) / kSampleRate;
                const double ramp =
                    std::min({1.0, (t - turn.start) / kRampSeconds, (turn.end - t) / kRampSeconds});
                const double second = static_cast<double>(k % kSampleRate) / kSampleRate;
                const double cycles = tone * second;
                const double phase = 2.0 * std::numbers::pi * (cycles - std::floor(cycles));
                samples[k] = static_cast<int16_t>(
                    std::lround(32767.0 * turn.amplitude * std::max(0.0, ramp) * std::sin(phase)));
            }
        }
        const auto patternSamples = static_cast<uint64_t>(samples.size());
        constexpr uint64_t kContextSamples = kContextFrames * TimedMp3Writer::kSamplesPerFrame;
        TimedMp3Writer encoder(0.0, (kPatternFrames + 2 * kContextFrames) * kFrameSeconds);
        encoder.setStampIntervalSeconds(0.0);
        encoder.setSignal([&samples, patternSamples](uint64_t index) {
            return samples[(index + patternSamples - kContextSamples) % patternSamples];
        });
        std::vector<uint8_t> encoded;
        if (!encoder.writeToMemory(encoded)) {
            errorText_ = "Cannot encode the tone of channel " + std::to_string(channel) + ": " +
                         encoder.errorText();
            return false;
        }
        if (encoded.size() != (kPatternFrames + 2 * kContextFrames) * kFrameBytes) {
            errorText_ = "The MP3 encoder made frames of an unexpected size.";
            return false;
        }
        auto pattern = std::make_unique<ChannelPattern>();
        pattern->frames.assign(encoded.begin() + kContextFrames * kFrameBytes,
                               encoded.begin() + (kContextFrames + kPatternFrames) * kFrameBytes);
        patterns_.push_back(std::move(pattern));
    }

    int locationIndex = 0;
    for (const std::string& location : settings_.locations) {
        for (const Date& date : settings_.dates) {
            auto session = std::make_unique<Session>();
            session->location = location;
            session->locationIndex = locationIndex;
            session->date = date;
            session->start = sessionStart(date);
            session->end = sessionEnd(date);
            session->reached = session->start;
            session->annotationSeed =
                mix(settings_.seed ^ hashText(location) ^
                    (static_cast<uint64_t>(date.year * 10000 + date.month * 100 + date.day) << 20));

            // Recording intervals: the session less its recesses.
            const double dayStart = midnight(date, settings_.utcOffsetHours);
            std::vector<std::pair<double, double>> recesses;
            for (const Recess& recess : settings_.recesses) {
                const double from = dayStart + recess.startMinuteOfDay * 60.0;
                recesses.emplace_back(from, from + recess.minutes * 60.0);
            }
            std::sort(recesses.begin(), recesses.end());
            double from = session->start;
            for (const auto& [recessStart, recessEnd] : recesses) {
                if (recessEnd <= from || recessStart >= session->end) {
                    continue;
                }
                if (recessStart > from) {
                    session->intervals.push_back({from, recessStart, 0, 0});
                    session->markers.push_back({std::floor(recessStart), "Recess"});
                    session->markers.push_back({std::ceil(recessEnd), "Court resumes"});
                }
                from = std::max(from, recessEnd);
            }
            if (from < session->end) {
                session->intervals.push_back({from, session->end, 0, 0});
            }
            for (Session::Interval& interval : session->intervals) {
                interval.audioFrames =
                    std::isinf(interval.end)
                        ? kEndless
                        : static_cast<int64_t>(std::floor(
                              (interval.end - interval.start) / kFrameSeconds + kEpsilon));
                interval.patternOffset =
                    std::llround((interval.start - session->start) / kFrameSeconds) %
                    kPatternFrames;
            }
            // Markers inside a recess that swallowed the next one are dropped.
            std::erase_if(session->markers, [&](const Session::Marker& marker) {
                return marker.time >= session->end;
            });
            if (!session->intervals.empty()) {
                session->markers.insert(
                    session->markers.begin(),
                    {std::ceil(session->intervals.front().start), "Court in session"});
            }
            for (int channel = 0; channel < settings_.channels; ++channel) {
                Session::AudioTrack track;
                track.channel = channel;
                session->audio.push_back(std::move(track));
            }

            session->record =
                std::make_unique<JexSession>(location, date.year, date.month, date.day);
            const std::string databases = root_ + "/Databases";
            // Locations are told apart regardless of case, and media files by the location
            // names they hold.
            const std::string label = asciiLower(session->record->label().labelText() + ".xml");
            const std::string lower = asciiLower(location);
            std::error_code listError;
            for (const auto& entry : std::filesystem::directory_iterator(databases, listError)) {
                const std::string name = entry.path().filename().string();
                const std::string other = asciiLower(name.substr(0, name.find('~')));
                if (asciiLower(name) == label) {
                    errorText_ = "The archive already holds the session record \"" +
                                 entry.path().string() + "\".";
                    return false;
                }
                if (other != lower && (other.find(lower) != std::string::npos ||
                                       lower.find(other) != std::string::npos)) {
                    errorText_ = "The location name '" + location +
                                 "' cannot be told apart from the archive's location '" +
                                 name.substr(0, name.find('~')) + "' in file names.";
                    return false;
                }
            }
            session->record->setDatabasesDirectory(databases);
            sessions_.push_back(std::move(session));
        }
        ++locationIndex;
    }
    // Every session gets its record now, so that it is found even before its first annotation.
    for (const std::unique_ptr<Session>& session : sessions_) {
        std::string error;
        if (!session->record->save(&error)) {
            errorText_ = error;
            return false;
        }
    }
    return true;
}

bool SampleArchiveWriter::begin(const std::string& root) {
    errorText_.clear();
    if (begun_) {
        errorText_ = "The sample archive writer has already begun.";
        return false;
    }
    const std::string problem = checkSettings(settings_);
    if (!problem.empty()) {
        errorText_ = problem;
        return false;
    }
    root_ = root;
    while (root_.size() > 1 && root_.back() == '/') {
        root_.pop_back();
    }
    std::error_code error;
    for (const char* directory : {"/Databases", "/Recordings"}) {
        std::filesystem::create_directories(root_ + directory, error);
        if (error) {
            errorText_ = "Cannot make \"" + root_ + directory + "\": " + error.message();
            return false;
        }
    }
    begun_ = true;
    return prepareSessions();
}

bool SampleArchiveWriter::addDueAnnotations(Session& session, double epochTime) {
    const int perHour = settings_.annotationsPerHour;
    if (perHour == 0) {
        return true;
    }
    const double slotSeconds = 3600.0 / perHour;
    const auto recorded = [&session](double time) {
        for (const Session::Interval& interval : session.intervals) {
            if (time >= interval.start && time < interval.end) {
                return true;
            }
        }
        return false;
    };
    const auto slotTime = [&](int64_t slot) {
        Random random(session.annotationSeed + static_cast<uint64_t>(slot));
        return std::floor(session.start + (slot + random.between(0.1, 0.9)) * slotSeconds);
    };
    const std::string judge =
        std::string("Judge ") +
        kJudges[static_cast<size_t>(session.locationIndex) % std::size(kJudges)];
    bool added = false;
    for (;;) {
        // The next slot that falls into a recording interval.
        double slot = slotTime(session.nextSlot);
        while (slot < session.end && !recorded(slot)) {
            slot = slotTime(++session.nextSlot);
        }
        const bool markerDue = session.nextMarker < session.markers.size() &&
                               session.markers[session.nextMarker].time < epochTime;
        const bool slotDue = slot < session.end && slot < epochTime;
        if (!markerDue && !slotDue) {
            break;
        }
        JexAnnotation annotation;
        double time = 0.0;
        if (markerDue && (!slotDue || session.markers[session.nextMarker].time <= slot)) {
            const Session::Marker& marker = session.markers[session.nextMarker++];
            time = marker.time;
            annotation.setLabelData(judge);
            annotation.setEvent(marker.event);
        } else {
            time = slot;
            Random random(session.annotationSeed ^ mix(static_cast<uint64_t>(session.nextSlot)));
            ++session.nextSlot;
            // The speaker is one of the channels speaking then, when one is.
            std::vector<int> speaking;
            for (int channel = 0; channel < settings_.channels; ++channel) {
                if (channelSpeaksAt(settings_.seed, channel, time - session.start)) {
                    speaking.push_back(channel);
                }
            }
            const int channel =
                speaking.empty()
                    ? static_cast<int>(random.next() % static_cast<uint64_t>(settings_.channels))
                    : speaking[random.next() % speaking.size()];
            const std::vector<Role>& all = roles();
            if (channel < static_cast<int>(all.size())) {
                const Role& role = all[static_cast<size_t>(channel)];
                annotation.setLabelData(role.speaker ? role.speaker : judge);
                char event[160];
                std::snprintf(event, sizeof event, role.events[random.next() % role.events.size()],
                              static_cast<int>(1 + random.next() % 40));
                annotation.setEvent(event);
            } else {
                annotation.setLabelData("Microphone " + std::to_string(channel + 1));
                annotation.setEvent("Speaking");
            }
        }
        WallClockTime stamp(time, 0);
        stamp.setTzOffsetHours(settings_.utcOffsetHours);
        annotation.setDisplayTime(stamp);
        annotation.setUser("Recorder");
        annotation.setLabelTitle("Speaker");
        annotation.setLocation(session.location);
        annotation.setIndex(session.nextIndex++);
        session.record->addAnnotation(annotation);
        added = true;
    }
    if (added) {
        std::string error;
        if (!session.record->save(&error)) {
            errorText_ = error;
            return false;
        }
    }
    return true;
}

bool SampleArchiveWriter::closeFiles(Session& session) {
    bool ok = true;
    // A file that got no frame (the recording stopped the moment it began) is not left behind.
    const auto closeOrRemove = [&](OutputFile& file, bool empty) {
        if (!file.isOpen()) {
            return;
        }
        ok = file.close(errorText_) && ok;
        if (empty) {
            ::unlink(file.path.c_str());
            --session.files;
        }
    };
    for (Session::AudioTrack& track : session.audio) {
        closeOrRemove(track.file, track.nextFrame == track.fileFirstFrame);
    }
    Session::VideoTrack& video = session.video;
    if (video.held &&
        !video.navigator.appendFrame(*video.held, true, videoBytesCallback(), &video.file)) {
        errorText_ = video.file.error;
        ok = false;
    }
    video.held.reset();
    closeOrRemove(video.file, video.framesInFile == 0);
    session.filesOpen = false;
    return ok;
}

bool SampleArchiveWriter::advanceSession(Session& session, double epochTime) {
    const double fileFrames = settings_.fileMinutes * 60.0 / kFrameSeconds;
    const double rate = settings_.videoFrameRate;
    const auto boundary = [&](const Session::Interval& interval, int64_t file) {
        return std::min(interval.audioFrames,
                        static_cast<int64_t>(std::llround(static_cast<double>(file) * fileFrames)));
    };
    const auto videoFrameAt = [&](int64_t audioFrame) {
        return static_cast<int64_t>(
            std::ceil(static_cast<double>(audioFrame) * kFrameSeconds * rate - kEpsilon));
    };
    Session::VideoTrack& video = session.video;
    const KovWriteCallback callback = videoBytesCallback();

    while (session.intervalIndex < session.intervals.size()) {
        const Session::Interval& interval = session.intervals[session.intervalIndex];
        if (epochTime <= interval.start) {
            break;
        }
        const int64_t first = boundary(interval, session.fileIndex);
        const int64_t last = boundary(interval, session.fileIndex + 1);
        if (first >= last) {
            ++session.intervalIndex;
            session.fileIndex = 0;
            continue;
        }
        const int64_t videoFirst = videoFrameAt(first);
        const int64_t videoLast = videoFrameAt(last);
        const bool hasVideo = settings_.video && videoFirst < videoLast;
        if (!session.filesOpen) {
            const double start = interval.start + static_cast<double>(first) * kFrameSeconds;
            for (Session::AudioTrack& track : session.audio) {
                const std::string directory = ArchiveSessionSet::dayDirectory(
                    root_ + "/Recordings", track.channel, session.date.year, session.date.month,
                    session.date.day);
                const MediaFileName name(session.location, start, track.channel, track.sequence++,
                                         0);
                if (!track.file.open(name.pathIn(directory, "mp3"), errorText_)) {
                    return false;
                }
                track.nextFrame = first;
                track.fileFirstFrame = first;
                track.nextStampOffset = 0.0;
                ++session.files;
            }
            if (hasVideo) {
                const double videoStart = interval.start + static_cast<double>(videoFirst) / rate;
                const std::string directory =
                    ArchiveSessionSet::dayDirectory(root_ + "/Recordings", 0, session.date.year,
                                                    session.date.month, session.date.day);
                const MediaFileName name(session.location, videoStart, 0, video.sequence++, 0);
                if (!video.file.open(name.pathIn(directory, "kov"), errorText_)) {
                    return false;
                }
                video.navigator.setFileName(video.file.path, false);
                if (!video.navigator.writeFileHeader(
                        videoStart, kCounterFrequency, settings_.videoWidth, settings_.videoHeight,
                        settings_.videoFrameRate, "JPEG", callback, &video.file)) {
                    errorText_ = video.file.error;
                    return false;
                }
                video.nextFrame = videoFirst;
                video.framesInFile = 0;
                ++session.files;
            }
            session.filesOpen = true;
        }

        // Audio frames complete by the time asked for.
        const double elapsed = epochTime - interval.start;
        const int64_t audioDue = std::min(
            last, static_cast<int64_t>(std::min(static_cast<double>(kEndless),
                                                std::floor(elapsed / kFrameSeconds + kEpsilon))));
        for (Session::AudioTrack& track : session.audio) {
            const ChannelPattern& channelPattern = pattern(track.channel);
            uint8_t frame[kFrameBytes];
            for (; track.nextFrame < audioDue; ++track.nextFrame) {
                const int64_t index = (interval.patternOffset + track.nextFrame) % kPatternFrames;
                std::memcpy(frame, channelPattern.frames.data() + index * kFrameBytes, kFrameBytes);
                const double offset =
                    static_cast<double>(track.nextFrame - track.fileFirstFrame) * kFrameSeconds;
                if (offset + kEpsilon >= track.nextStampOffset &&
                    Mp3FrameStamp::place(
                        frame, kFrameBytes,
                        interval.start + static_cast<double>(track.nextFrame) * kFrameSeconds)) {
                    track.nextStampOffset =
                        (std::floor(offset / kStampIntervalSeconds + kEpsilon) + 1.0) *
                        kStampIntervalSeconds;
                }
                if (!track.file.append(frame, kFrameBytes, errorText_)) {
                    return false;
                }
            }
        }

        // Video frames taken by then.
        if (hasVideo) {
            const int64_t videoDue = std::min(
                videoLast, static_cast<int64_t>(std::min(static_cast<double>(kEndless),
                                                         std::ceil(elapsed * rate - kEpsilon))));
            for (; video.nextFrame < videoDue; ++video.nextFrame) {
                const double time = interval.start + static_cast<double>(video.nextFrame) / rate;
                const auto second = static_cast<int64_t>(std::floor(time));
                if (second != video.pictureSecond) {
                    std::unique_ptr<RgbImage> pixels =
                        drawPicture(settings_.videoWidth, settings_.videoHeight, time,
                                    settings_.utcOffsetHours, session.locationIndex);
                    std::unique_ptr<CompressedImage> jpeg;
                    std::string error;
                    if (!pixels || !video.compressor.compress(*pixels, jpeg, error)) {
                        errorText_ = "Cannot make a video frame: " + error;
                        return false;
                    }
                    auto picture = std::make_unique<CompressedImage>(
                        settings_.videoWidth, settings_.videoHeight, jpeg->getDataLength(), "JPEG");
                    if (!picture->allocateBuffer()) {
                        errorText_ = "Not enough memory for a video frame.";
                        return false;
                    }
                    std::memcpy(picture->getData(), jpeg->getData(), jpeg->getDataLength());
                    picture->setDataLength(jpeg->getDataLength());
                    video.picture = std::move(picture);
                    video.pictureSecond = second;
                }
                const auto ticks = static_cast<uint64_t>(
                    std::llround((time - session.start) * static_cast<double>(kCounterFrequency)));
                if (video.held &&
                    !video.navigator.appendFrame(*video.held, false, callback, &video.file)) {
                    errorText_ = video.file.error;
                    return false;
                }
                video.held =
                    std::make_unique<VideoSegmentFrame>(video.picture->clone(), time, ticks);
                ++video.framesInFile;
            }
        }

        const bool audioDone = std::all_of(
            session.audio.begin(), session.audio.end(),
            [last](const Session::AudioTrack& track) { return track.nextFrame >= last; });
        if (!audioDone) {
            break;
        }
        if (!closeFiles(session)) {
            return false;
        }
        ++session.fileIndex;
    }
    // What was written becomes visible.
    for (Session::AudioTrack& track : session.audio) {
        if (track.file.isOpen() && !track.file.flush(errorText_)) {
            return false;
        }
    }
    if (video.file.isOpen() && !video.file.flush(errorText_)) {
        return false;
    }
    session.reached = std::max(session.reached, std::min(epochTime, session.end));
    return addDueAnnotations(session, std::min(epochTime, session.end));
}

bool SampleArchiveWriter::advanceTo(double epochTime) {
    errorText_.clear();
    if (!begun_ || finished_) {
        errorText_ = "The sample archive writer is not recording.";
        return false;
    }
    for (const std::unique_ptr<Session>& session : sessions_) {
        if (!advanceSession(*session, epochTime)) {
            return false;
        }
    }
    return true;
}

bool SampleArchiveWriter::finish() {
    if (!begun_ || finished_) {
        return true;
    }
    bool ok = true;
    for (const std::unique_ptr<Session>& session : sessions_) {
        ok = closeFiles(*session) && ok;
        if (!settings_.openEnded && session->reached >= session->end &&
            settings_.annotationsPerHour > 0 && !session->intervals.empty()) {
            session->markers.push_back(
                {std::floor(session->intervals.back().end), "Court adjourned"});
            ok = addDueAnnotations(*session, session->end + 1.0) && ok;
        }
    }
    finished_ = true;
    return ok;
}

bool SampleArchiveWriter::write(const std::string& root) {
    if (!begin(root)) {
        return false;
    }
    double end = 0.0;
    for (const Date& date : settings_.dates) {
        end = std::max(end, sessionEnd(date));
    }
    const bool advanced = advanceTo(end);
    const std::string error = errorText_;
    const bool finished = finish();
    if (!advanced) {
        errorText_ = error;
    }
    return advanced && finished;
}

std::vector<SampleArchiveWriter::SessionSummary> SampleArchiveWriter::summaries() const {
    std::vector<SessionSummary> result;
    for (const std::unique_ptr<Session>& session : sessions_) {
        result.push_back({session->location, session->date,
                          session->files > 0 ? settings_.channels : 0, session->files});
    }
    return result;
}
