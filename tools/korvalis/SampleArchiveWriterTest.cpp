// Sample archives read back the way the product reads archives: discovery, the timed MP3 and KOV
// files with their names, stamps and frames, the sounds of the channels, the pictures, the
// records, recesses and live growth.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "ArchiveSessionSet.h"
#include "AudioCompressor.h"
#include "CompressedImage.h"
#include "DecodedAudioChunk.h"
#include "EncodedAudioChunk.h"
#include "FileIo.h"
#include "JexSession.h"
#include "JpegImageCompressor.h"
#include "KorvalisMp3CompressedAudioFile.h"
#include "KovCompressedVideoFile.h"
#include "MediaFileName.h"
#include "MpegAudioCompressor.h"
#include "RgbImage.h"
#include "SampleArchiveWriter.h"
#include "SyntheticKovWriter.h"
#include "TemporaryDirectory.h"
#include "TimedMp3Writer.h"

namespace {

using Settings = SampleArchiveWriter::Settings;
constexpr double kFrame = TimedMp3Writer::kFrameDurationSeconds;

// 2010-03-15 09:00 at UTC-5.
constexpr double kNine = 1268661600.0;

Settings smallSettings() {
    Settings settings;
    settings.locations = {"COURT1", "Hearing Room 3"};
    settings.dates = {{2010, 3, 15}, {2010, 3, 16}};
    settings.channels = 3;
    settings.utcOffsetHours = -5;
    settings.hours = 0.1;  // 6 minutes
    settings.fileMinutes = 2.0;
    settings.videoWidth = 160;
    settings.videoHeight = 120;
    settings.videoFrameRate = 5;
    return settings;
}

std::vector<std::string> sessionFiles(const std::string& root, const std::string& location, int day,
                                      const std::string& kind, int channel) {
    ArchiveSessionSet set(root);
    std::vector<std::string> files;
    set.listSessionFiles(files, root + "/Recordings", location, 2010, 3, day, kind, channel);
    std::sort(files.begin(), files.end(), [](const std::string& a, const std::string& b) {
        MediaFileName first, second;
        MediaFileName::parse(a, first);
        MediaFileName::parse(b, second);
        return first.startTime() < second.startTime();
    });
    return files;
}

// Every frame time of a KOV file, read frame by frame.
std::vector<double> frameTimes(KovCompressedVideoFile& file) {
    std::vector<double> times;
    float reached = 0.0f;
    file.setPositionByTimeOffsetFromStart(0.0f, 1.0f, reached);
    bool endOfFile = false;
    std::unique_ptr<VideoSegmentFrame> frame;
    while (!endOfFile && file.getNextFrame(frame, &endOfFile, true) && frame) {
        times.push_back(frame->getEpochTime());
    }
    return times;
}

// The whole file decoded as playback decodes it.
std::vector<int16_t> decode(const std::string& path) {
    KorvalisMp3CompressedAudioFile file(path, true);
    MpegAudioCompressor codec(16000, 16000, 32, 7);
    std::vector<int16_t> samples;
    std::unique_ptr<EncodedAudioChunk> encoded;
    std::unique_ptr<DecodedAudioChunk> decoded;
    bool endOfFile = false;
    const auto take = [&]() {
        for (uint32_t i = 0; i < decoded->numberOfSamplesIs(); ++i) {
            samples.push_back(decoded->sampleAt(i));
        }
    };
    while (!endOfFile && file.getNextEncodedChunk(encoded, endOfFile, 0.144f)) {
        const uint32_t count = encoded->numberOfSamplesIs();
        codec.feedEncodedChunk(encoded.get());
        while (codec.getDecodedChunk(count, decoded) == AudioCompressor::kChunkProduced) {
            take();
        }
    }
    while (codec.drainDecodedChunk(decoded) == AudioCompressor::kChunkProduced) {
        take();
    }
    return samples;
}

// Relative strength of `frequency` in samples [from, to) (Goertzel).
double strength(const std::vector<int16_t>& samples, size_t from, size_t to, double frequency) {
    const double coefficient = 2.0 * std::cos(2.0 * std::numbers::pi * frequency / 16000.0);
    double previous = 0.0, beforePrevious = 0.0;
    for (size_t k = from; k < to && k < samples.size(); ++k) {
        const double value = samples[k] / 32768.0 + coefficient * previous - beforePrevious;
        beforePrevious = previous;
        previous = value;
    }
    const double power = previous * previous + beforePrevious * beforePrevious -
                         coefficient * previous * beforePrevious;
    return std::sqrt(std::max(0.0, power)) / static_cast<double>(to - from);
}

// Reads a caption line back from the picture: each glyph cell's centre is lit or dark, and the
// character whose glyph matches best is taken.
std::string readLine(const RgbImage& image, const SampleArchiveWriter::CaptionLine& line) {
    std::string text;
    const std::string alphabet = "0123456789-:";
    for (size_t k = 0; k < line.text.size(); ++k) {
        char best = '?';
        int bestScore = -1;
        for (const char candidate : alphabet) {
            const uint8_t* rows = SyntheticKovWriter::glyph(candidate);
            int score = 0;
            for (uint32_t row = 0; row < SyntheticKovWriter::kGlyphHeight; ++row) {
                for (uint32_t column = 0; column < SyntheticKovWriter::kGlyphWidth; ++column) {
                    const uint32_t x =
                        line.x +
                        (static_cast<uint32_t>(k) * SyntheticKovWriter::kGlyphAdvance + column) *
                            line.scale +
                        line.scale / 2;
                    const uint32_t y = line.y + row * line.scale + line.scale / 2;
                    const uint8_t* pixel = image.row(y) + x * RgbImage::kBytesPerPixel;
                    const bool lit = (pixel[0] + pixel[1] + pixel[2]) / 3 > 128;
                    score += lit == ((rows[row] & (0x10 >> column)) != 0) ? 1 : 0;
                }
            }
            if (score > bestScore) {
                bestScore = score;
                best = candidate;
            }
        }
        text += best;
    }
    return text;
}

class SampleArchiveWriterTest : public ::testing::Test {
protected:
    TemporaryDirectory scratch_{"sample-archive-"};
};

TEST_F(SampleArchiveWriterTest, SessionsAreDiscoveredWithTheirChannelsAndFiles) {
    const std::string root = scratch_.file("archive");
    SampleArchiveWriter writer(smallSettings());
    ASSERT_TRUE(writer.write(root)) << writer.errorText();

    ArchiveSessionSet set(scratch_.path());
    ASSERT_EQ(set.archiveRoots(), std::vector<std::string>{root});
    std::vector<std::string> locations;
    set.getAllLocationNames(locations);
    EXPECT_EQ(locations, (std::vector<std::string>{"COURT1", "Hearing Room 3"}));
    for (const std::string& location : locations) {
        std::vector<SessionDateEntry> dates;
        ASSERT_TRUE(set.getAllDatesForLocationName(dates, location));
        ASSERT_EQ(dates.size(), 2u);
        for (const SessionDateEntry& date : dates) {
            EXPECT_EQ(set.countNumberedDirectories(root + "/Recordings", date.year, date.month,
                                                   date.day, location),
                      3);
        }
    }
    // 6 minutes in files of 2: three per channel and three video files, each named as the
    // recorder names them.
    for (int channel = 0; channel < 3; ++channel) {
        const std::vector<std::string> files =
            sessionFiles(root, "Hearing Room 3", 16, "mp3", channel);
        ASSERT_EQ(files.size(), 3u) << channel;
        for (size_t k = 0; k < files.size(); ++k) {
            MediaFileName name;
            ASSERT_TRUE(MediaFileName::parse(files[k], name)) << files[k];
            EXPECT_EQ(name.prefix(), "Hearing Room 3");
            EXPECT_EQ(name.n1(), channel);
            EXPECT_EQ(name.n2(), static_cast<int>(k));
            EXPECT_EQ(name.extension(), "mp3");
        }
    }
    EXPECT_EQ(sessionFiles(root, "COURT1", 15, "kov", 0).size(), 3u);
    const std::vector<SampleArchiveWriter::SessionSummary> summaries = writer.summaries();
    ASSERT_EQ(summaries.size(), 4u);
    EXPECT_EQ(summaries[1].location, "COURT1");
    EXPECT_EQ(summaries[1].date.day, 16);
    EXPECT_EQ(summaries[1].channels, 3);
    EXPECT_EQ(summaries[1].files, 12);
}

TEST_F(SampleArchiveWriterTest, AudioFilesAreStampedAndFollowEachOtherWithoutGaps) {
    const std::string root = scratch_.file("archive");
    Settings settings = smallSettings();
    settings.locations = {"COURT1"};
    settings.dates = {{2010, 3, 15}};
    SampleArchiveWriter writer(settings);
    ASSERT_TRUE(writer.write(root)) << writer.errorText();
    EXPECT_DOUBLE_EQ(writer.sessionStart({2010, 3, 15}), kNine);

    for (int channel = 0; channel < 3; ++channel) {
        double expectedStart = kNine;
        double total = 0.0;
        for (const std::string& path : sessionFiles(root, "COURT1", 15, "mp3", channel)) {
            KorvalisMp3CompressedAudioFile file(path, true);
            ASSERT_TRUE(file.isValid()) << path;
            // Names carry milliseconds; the files join within one.
            EXPECT_NEAR(file.getStartTime(), expectedStart, 0.0011) << path;
            EXPECT_LE(file.getStartTime(), expectedStart + 1e-6) << path;
            const double frames =
                static_cast<double>(std::filesystem::file_size(path)) / TimedMp3Writer::kFrameBytes;
            EXPECT_EQ(frames, std::floor(frames)) << path;
            expectedStart += frames * kFrame;
            total += frames * kFrame;
            // A stamp after every whole second, each saying its frame's time.
            EXPECT_EQ(file.countStampedFrames(),
                      static_cast<uint64_t>(std::floor((frames - 1) * kFrame + 1e-9)) + 1)
                << path;
            std::ostringstream timing;
            file.dumpTimingDataAsCsv(timing);
            std::istringstream lines(timing.str());
            std::string line;
            int stamps = 0;
            while (std::getline(lines, line)) {
                const double difference = std::stod(line.substr(line.rfind(',') + 1));
                EXPECT_LT(difference, 0.0011) << line;
                ++stamps;
            }
            EXPECT_GT(stamps, 100);
        }
        EXPECT_NEAR(total, 360.0, kFrame);
    }
}

TEST_F(SampleArchiveWriterTest, EveryChannelSoundsItsOwnToneInTurns) {
    const std::string root = scratch_.file("archive");
    Settings settings = smallSettings();
    settings.locations = {"COURT1"};
    settings.dates = {{2010, 3, 15}};
    settings.video = false;
    settings.seed = 7;
    SampleArchiveWriter writer(settings);
    ASSERT_TRUE(writer.write(root)) << writer.errorText();

    for (int channel = 0; channel < 3; ++channel) {
        // The second file: its decoded samples continue the session's time line.
        const std::string path = sessionFiles(root, "COURT1", 15, "mp3", channel)[1];
        KorvalisMp3CompressedAudioFile file(path, true);
        const double offset = file.getStartTime() - kNine;
        const std::vector<int16_t> samples = decode(path);
        ASSERT_GT(samples.size(), 100000u);
        int spoken = 0, silent = 0;
        for (size_t from = 1600; from + 1600 <= samples.size(); from += 1600) {
            const double middle = offset + (from + 800) / 16000.0;
            // Only stretches well inside a turn or a pause count.
            const bool speaks = SampleArchiveWriter::channelSpeaksAt(7, channel, middle);
            if (speaks != SampleArchiveWriter::channelSpeaksAt(7, channel, middle - 0.06) ||
                speaks != SampleArchiveWriter::channelSpeaksAt(7, channel, middle + 0.06)) {
                continue;
            }
            const double own =
                strength(samples, from, from + 1600, SampleArchiveWriter::channelToneHz(channel));
            if (speaks) {
                ++spoken;
                EXPECT_GT(own, 0.05) << channel << " at " << middle;
                for (int other = 0; other < 3; ++other) {
                    if (other != channel) {
                        EXPECT_LT(strength(samples, from, from + 1600,
                                           SampleArchiveWriter::channelToneHz(other)),
                                  own / 20)
                            << channel << " " << other << " at " << middle;
                    }
                }
            } else {
                ++silent;
                EXPECT_LT(own, 0.005) << channel << " at " << middle;
            }
        }
        EXPECT_GT(spoken, 200) << channel;
        EXPECT_GT(silent, 50) << channel;
    }
}

TEST_F(SampleArchiveWriterTest, VideoFramesCarryAndShowTheirTime) {
    const std::string root = scratch_.file("archive");
    Settings settings = smallSettings();
    settings.locations = {"COURT1"};
    settings.dates = {{2010, 3, 15}};
    settings.channels = 1;
    settings.videoWidth = 320;
    settings.videoHeight = 240;
    SampleArchiveWriter writer(settings);
    ASSERT_TRUE(writer.write(root)) << writer.errorText();

    const std::vector<std::string> paths = sessionFiles(root, "COURT1", 15, "kov", 0);
    ASSERT_EQ(paths.size(), 3u);
    size_t frames = 0;
    for (const std::string& path : paths) {
        KovCompressedVideoFile file(path);
        ASSERT_TRUE(file.isValid()) << path;
        MediaFileName name;
        ASSERT_TRUE(MediaFileName::parse(path, name));
        EXPECT_NEAR(name.startTime(), file.getStartTime(), 0.0011) << path;
        // Frames every 1/5 s, on from the last file's.
        for (const double time : frameTimes(file)) {
            EXPECT_NEAR(time, kNine + static_cast<double>(frames) / 5.0, 1e-6) << path;
            ++frames;
        }
    }
    EXPECT_EQ(frames, 6u * 60 * 5);

    // The picture of a frame shows its local date and time.
    KovCompressedVideoFile file(paths[1]);
    double reached = 0.0;
    ASSERT_TRUE(file.setPositionByEpochTime(kNine + 150.4, 0.5f, reached));
    std::unique_ptr<VideoSegmentFrame> frame;
    bool endOfFile = false;
    ASSERT_TRUE(file.getNextFrame(frame, &endOfFile, false));
    ASSERT_TRUE(frame);
    const auto* picture = dynamic_cast<const RgbImage*>(frame->getImage());
    ASSERT_NE(picture, nullptr);
    const std::vector<SampleArchiveWriter::CaptionLine> lines =
        SampleArchiveWriter::captionLines(320, 240, frame->getEpochTime(), -5);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].text, "2010-03-15");
    EXPECT_EQ(lines[1].text, "09:02:30");
    EXPECT_EQ(readLine(*picture, lines[1]), "09:02:30");
}

TEST_F(SampleArchiveWriterTest, LargePicturesShowTheDateToo) {
    const std::string root = scratch_.file("archive");
    Settings settings = smallSettings();
    settings.locations = {"COURT1"};
    settings.dates = {{2011, 12, 31}};
    settings.channels = 1;
    settings.startSecondOfDay = 23 * 3600 + 59 * 60 + 50;
    settings.hours = 0.01;
    settings.videoWidth = 640;
    settings.videoHeight = 480;
    SampleArchiveWriter writer(settings);
    ASSERT_TRUE(writer.write(root)) << writer.errorText();
    ArchiveSessionSet set(root);
    std::vector<std::string> paths;
    set.listSessionFiles(paths, root + "/Recordings", "COURT1", 2011, 12, 31, "kov", 0);
    ASSERT_EQ(paths.size(), 1u);
    KovCompressedVideoFile file(paths[0]);
    // The session runs past midnight (local); the last frames show the new day.
    double reached = 0.0;
    ASSERT_TRUE(file.setPositionByEpochTime(file.getStartTime() + 15.0, 0.5f, reached));
    std::unique_ptr<VideoSegmentFrame> frame;
    bool endOfFile = false;
    ASSERT_TRUE(file.getNextFrame(frame, &endOfFile, false));
    const auto* picture = dynamic_cast<const RgbImage*>(frame->getImage());
    ASSERT_NE(picture, nullptr);
    const auto lines = SampleArchiveWriter::captionLines(640, 480, frame->getEpochTime(), -5);
    EXPECT_EQ(readLine(*picture, lines[0]), "2012-01-01");
    EXPECT_EQ(readLine(*picture, lines[1]), "00:00:05");
}

TEST_F(SampleArchiveWriterTest, RecessesHoldNoMediaAndAreMarkedInTheRecord) {
    const std::string root = scratch_.file("archive");
    Settings settings = smallSettings();
    settings.locations = {"COURT1"};
    settings.dates = {{2010, 3, 15}};
    settings.hours = 0.5;
    settings.fileMinutes = 5.0;
    settings.recesses = {{9 * 60 + 12, 10}};  // 09:12 to 09:22
    settings.annotationsPerHour = 60;
    SampleArchiveWriter writer(settings);
    ASSERT_TRUE(writer.write(root)) << writer.errorText();

    const double recessStart = kNine + 12 * 60;
    const double recessEnd = kNine + 22 * 60;
    for (int channel = 0; channel < 3; ++channel) {
        std::vector<std::pair<double, double>> spans;
        for (const std::string& path : sessionFiles(root, "COURT1", 15, "mp3", channel)) {
            KorvalisMp3CompressedAudioFile file(path, true);
            const double frames = static_cast<double>(std::filesystem::file_size(path)) / 144.0;
            spans.emplace_back(file.getStartTime(), file.getStartTime() + frames * kFrame);
        }
        // 09:00-09:05-09:10-09:12, 09:22-09:27-09:30.
        ASSERT_EQ(spans.size(), 5u) << channel;
        EXPECT_NEAR(spans[2].second, recessStart, kFrame);
        EXPECT_LE(spans[2].second, recessStart);
        EXPECT_DOUBLE_EQ(spans[3].first, recessEnd);
        EXPECT_NEAR(spans[4].second, kNine + 1800, kFrame);
    }
    for (const std::string& path : sessionFiles(root, "COURT1", 15, "kov", 0)) {
        KovCompressedVideoFile file(path);
        ASSERT_TRUE(file.isValid());
        EXPECT_FALSE(file.getStartTime() < recessEnd && file.getEndTime() > recessStart) << path;
    }

    JexSession record("COURT1", 2010, 3, 15);
    ASSERT_EQ(record.load(root + "/Databases"), JexSession::RecordState::kLoaded);
    const std::vector<JexAnnotation> annotations = record.annotations();
    std::vector<std::string> markers;
    double previous = 0.0;
    for (size_t k = 0; k < annotations.size(); ++k) {
        const JexAnnotation& annotation = annotations[k];
        ASSERT_NE(annotation.timeStamp(), nullptr);
        const double time = annotation.timeStamp()->asUtcSeconds();
        EXPECT_GE(time, previous);
        previous = time;
        EXPECT_FALSE(time > recessStart && time < recessEnd) << annotation.event();
        EXPECT_GE(time, kNine);
        EXPECT_LE(time, kNine + 1800);
        EXPECT_EQ(annotation.index(), static_cast<int>(k));
        EXPECT_EQ(annotation.location(), "COURT1");
        EXPECT_EQ(annotation.labelTitle(), "Speaker");
        EXPECT_FALSE(annotation.labelData().empty());
        EXPECT_FALSE(annotation.event().empty());
        if (annotation.event() == "Court in session" || annotation.event() == "Recess" ||
            annotation.event() == "Court resumes" || annotation.event() == "Court adjourned") {
            markers.push_back(annotation.event() + " " + annotation.displayTimeMilitary());
        }
    }
    EXPECT_EQ(markers,
              (std::vector<std::string>{"Court in session 09:00:00", "Recess 09:12:00",
                                        "Court resumes 09:22:00", "Court adjourned 09:30:00"}));
    // One a minute over the 20 recorded minutes, and the markers.
    EXPECT_GE(annotations.size(), 4u + 19);
    EXPECT_LE(annotations.size(), 4u + 21);
}

TEST_F(SampleArchiveWriterTest, TheSameSeedWritesTheSameArchive) {
    Settings settings = smallSettings();
    settings.locations = {"COURT1"};
    settings.dates = {{2010, 3, 15}};
    settings.video = false;
    const auto record = [&](uint64_t seed, const std::string& name) {
        settings.seed = seed;
        SampleArchiveWriter writer(settings);
        EXPECT_TRUE(writer.write(scratch_.file(name))) << writer.errorText();
        std::string text, audio;
        FileIo::readWholeFile(scratch_.file(name + "/Databases/COURT1~20100315.xml"), text);
        FileIo::readWholeFile(sessionFiles(scratch_.file(name), "COURT1", 15, "mp3", 1)[0], audio);
        return text + audio;
    };
    const std::string first = record(3, "a");
    EXPECT_EQ(record(3, "b"), first);
    EXPECT_NE(record(4, "c"), first);
}

TEST_F(SampleArchiveWriterTest, LiveRecordingGrowsTheCurrentFilesAndStartsNewOnes) {
    const std::string root = scratch_.file("archive");
    Settings settings = smallSettings();
    settings.locations = {"COURT1"};
    settings.dates = {{2010, 3, 15}};
    settings.openEnded = true;
    settings.fileMinutes = 1.0;
    settings.annotationsPerHour = 120;
    SampleArchiveWriter writer(settings);
    ASSERT_TRUE(writer.begin(root)) << writer.errorText();
    const std::string record = root + "/Databases/COURT1~20100315.xml";
    ASSERT_TRUE(std::filesystem::exists(record));

    ASSERT_TRUE(writer.advanceTo(kNine + 30.0)) << writer.errorText();
    std::vector<std::string> audio = sessionFiles(root, "COURT1", 15, "mp3", 2);
    ASSERT_EQ(audio.size(), 1u);
    EXPECT_EQ(std::filesystem::file_size(audio[0]), static_cast<uintmax_t>(833 * 144));
    std::vector<std::string> video = sessionFiles(root, "COURT1", 15, "kov", 0);
    ASSERT_EQ(video.size(), 1u);
    {
        // The growing file reads as far as it goes (the frame held back is not written yet).
        KovCompressedVideoFile growing(video[0]);
        EXPECT_EQ(frameTimes(growing).size(), 149u);
    }
    JexSession early("COURT1", 2010, 3, 15);
    ASSERT_EQ(early.load(root + "/Databases"), JexSession::RecordState::kLoaded);
    const size_t earlyCount = early.annotationCount();
    EXPECT_GE(earlyCount, 1u);

    ASSERT_TRUE(writer.advanceTo(kNine + 150.0)) << writer.errorText();
    audio = sessionFiles(root, "COURT1", 15, "mp3", 2);
    ASSERT_EQ(audio.size(), 3u);
    EXPECT_EQ(std::filesystem::file_size(audio[0]), static_cast<uintmax_t>(1667 * 144));
    video = sessionFiles(root, "COURT1", 15, "kov", 0);
    ASSERT_EQ(video.size(), 3u);
    EXPECT_EQ(writer.summaries()[0].files, 12);
    JexSession later("COURT1", 2010, 3, 15);
    ASSERT_EQ(later.load(root + "/Databases"), JexSession::RecordState::kLoaded);
    EXPECT_GT(later.annotationCount(), earlyCount + 2);

    ASSERT_TRUE(writer.finish()) << writer.errorText();
    double end = 0.0;
    for (const std::string& path : video) {
        KovCompressedVideoFile file(path);
        EXPECT_TRUE(file.isValid()) << path;
        end = file.getEndTime();
    }
    EXPECT_NEAR(end, kNine + 149.8, 1e-6);
    EXPECT_FALSE(writer.advanceTo(kNine + 200.0));
    // No end marker: the session did not end, it stopped being recorded.
    JexSession last("COURT1", 2010, 3, 15);
    ASSERT_EQ(last.load(root + "/Databases"), JexSession::RecordState::kLoaded);
    EXPECT_TRUE(last.findAnnotations("Court adjourned").empty());
}

TEST_F(SampleArchiveWriterTest, AnExistingSessionIsNotTouched) {
    const std::string root = scratch_.file("archive");
    Settings settings = smallSettings();
    settings.video = false;
    settings.hours = 0.02;
    ASSERT_TRUE(SampleArchiveWriter(settings).write(root));
    const std::string record = root + "/Databases/COURT1~20100316.xml";
    std::string before;
    ASSERT_TRUE(FileIo::readWholeFile(record, before));
    settings.locations = {"COURT7", "court1"};
    SampleArchiveWriter again(settings);
    EXPECT_FALSE(again.write(root));
    EXPECT_NE(again.errorText().find("already holds"), std::string::npos) << again.errorText();
    std::string after;
    ASSERT_TRUE(FileIo::readWholeFile(record, after));
    EXPECT_EQ(after, before);
    EXPECT_EQ(sessionFiles(root, "COURT7", 15, "mp3", 0).size(), 0u);
}

TEST_F(SampleArchiveWriterTest, UnusableSettingsAreRefusedWithAReason) {
    EXPECT_EQ(SampleArchiveWriter::checkSettings(Settings{}), "");
    const std::vector<std::pair<std::string, void (*)(Settings&)>> cases = {
        {"no location", [](Settings& s) { s.locations.clear(); }},
        {"tilde", [](Settings& s) { s.locations = {"A~B"}; }},
        {"slash", [](Settings& s) { s.locations = {"A/B"}; }},
        {"kind", [](Settings& s) { s.locations = {"Room KOV"}; }},
        {"contained",
         [](Settings& s) {
             s.locations = {"COURT1", "court10"};
         }},
        {"no date", [](Settings& s) { s.dates.clear(); }},
        {"february",
         [](Settings& s) {
             s.dates = {{2011, 2, 29}};
         }},
        {"twice",
         [](Settings& s) {
             s.dates = {{2010, 3, 15}, {2010, 3, 15}};
         }},
        {"channels", [](Settings& s) { s.channels = 17; }},
        {"no channels", [](Settings& s) { s.channels = 0; }},
        {"offset", [](Settings& s) { s.utcOffsetHours = 15; }},
        {"hours", [](Settings& s) { s.hours = 0.0; }},
        {"long", [](Settings& s) { s.hours = 25.0; }},
        {"files", [](Settings& s) { s.fileMinutes = 0.05; }},
        {"recess",
         [](Settings& s) {
             s.recesses = {{1440, 5}};
         }},
        {"side", [](Settings& s) { s.videoWidth = 8; }},
        {"rate", [](Settings& s) { s.videoFrameRate = 0; }},
        {"annotations", [](Settings& s) { s.annotationsPerHour = -1; }},
    };
    for (const auto& [name, change] : cases) {
        Settings settings;
        change(settings);
        EXPECT_NE(SampleArchiveWriter::checkSettings(settings), "") << name;
    }
    Settings leap;
    leap.dates = {{2012, 2, 29}};
    leap.video = false;
    leap.videoWidth = 1;  // not looked at without video
    EXPECT_EQ(SampleArchiveWriter::checkSettings(leap), "");
    Settings none;
    none.channels = 0;
    SampleArchiveWriter refused(none);
    EXPECT_FALSE(refused.write(scratch_.file("refused")));
    EXPECT_FALSE(std::filesystem::exists(scratch_.file("refused")));
}

}  // namespace
