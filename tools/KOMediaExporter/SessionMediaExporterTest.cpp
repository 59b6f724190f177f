// The exporter on a generated session: what the files hold as ffprobe and ffmpeg see them, the
// mix and the time line, and failures that leave nothing behind.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "ExportTestSupport.h"
#include "FileIo.h"
#include "SampleArchiveWriter.h"
#include "SessionMediaExporter.h"
#include "TemporaryDirectory.h"

namespace {

using Support = ExportTestSupport;

constexpr int kChannels = 3;
constexpr double kSessionSeconds = 240.0;  // 09:00 to 09:04, a recess from 09:02 to 09:03
constexpr double kRecessStart = 120.0;
constexpr double kRecessEnd = 180.0;

class SessionMediaExporterTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        archive_ = new TemporaryDirectory("export-test-");
        SampleArchiveWriter::Settings settings;
        settings.locations = {"COURT1"};
        settings.channels = kChannels;
        settings.hours = kSessionSeconds / 3600.0;
        settings.fileMinutes = 1.0;
        settings.recesses = {SampleArchiveWriter::Recess{9 * 60 + 2, 1}};
        settings.videoWidth = 160;
        settings.videoHeight = 120;
        settings.videoFrameRate = 10;
        settings.annotationsPerHour = 0;
        SampleArchiveWriter writer(settings);
        ASSERT_TRUE(writer.write(archive_->path())) << writer.errorText();
        sessionStart_ = writer.sessionStart(SampleArchiveWriter::Date{});
    }
    static void TearDownTestSuite() {
        delete archive_;
        archive_ = nullptr;
    }

    MediaExportRequest request(const std::string& output) const {
        MediaExportRequest request;
        request.recordingsPath = archive_->path() + "/Recordings";
        request.location = "COURT1";
        request.year = 2010;
        request.month = 3;
        request.day = 15;
        request.outputPath = output.empty() ? std::string() : scratch_.file(output);
        request.defaultOutputDirectory = scratch_.path();
        return request;
    }

    static TemporaryDirectory* archive_;
    static double sessionStart_;
    TemporaryDirectory scratch_{"export-out-"};
};

TemporaryDirectory* SessionMediaExporterTest::archive_ = nullptr;
double SessionMediaExporterTest::sessionStart_ = 0.0;

TEST_F(SessionMediaExporterTest, WholeSessionPlaysInBothContainersAtTheRateAsked) {
    struct Case {
        std::string name;
        int fps;
        bool mjpeg;
        std::string codec;
        std::string format;
    };
    for (const Case& c : {Case{"whole.mp4", 20, false, "h264", "mov,mp4"},
                          Case{"whole.mkv", 12, true, "mjpeg", "matroska"}}) {
        SCOPED_TRACE(c.name);
        MediaExportRequest asked = request(c.name);
        asked.framesPerSecond = c.fps;
        asked.preferMjpeg = c.mjpeg;
        SessionMediaExporter exporter(asked);
        double lastReported = 0.0;
        int reports = 0;
        ASSERT_TRUE(exporter.run([&](double done, double total) {
            EXPECT_GE(done, lastReported);
            EXPECT_NEAR(total, kSessionSeconds, 0.5);
            lastReported = done;
            ++reports;
            return true;
        })) << exporter.errorText();
        EXPECT_NEAR(lastReported, kSessionSeconds, 0.5);
        EXPECT_GE(reports, 200);
        EXPECT_NEAR(exporter.rangeStart(), sessionStart_, 0.05);
        EXPECT_TRUE(exporter.exportedAudio());
        EXPECT_TRUE(exporter.exportedVideo());

        const Support::Probe probe = Support::probe(asked.outputPath, scratch_.path());
        ASSERT_TRUE(probe.readable);
        EXPECT_EQ(probe.formatName.rfind(c.format, 0), 0u) << probe.formatName;
        ASSERT_EQ(probe.countOf("video"), 1);
        ASSERT_EQ(probe.countOf("audio"), 1);
        ASSERT_EQ(probe.streams.size(), 2u);
        const Support::Stream* video = probe.first("video");
        EXPECT_EQ(video->codec, c.codec);
        EXPECT_DOUBLE_EQ(video->framesPerSecond, c.fps);
        EXPECT_EQ(video->width, 160);
        EXPECT_EQ(video->height, 120);
        const Support::Stream* audio = probe.first("audio");
        EXPECT_EQ(audio->codec, "aac");
        EXPECT_EQ(audio->sampleRate, 16000);
        const double range = exporter.rangeEnd() - exporter.rangeStart();
        EXPECT_NEAR(range, kSessionSeconds, 0.5);
        EXPECT_NEAR(probe.duration, range, range * 0.01);
    }
}

TEST_F(SessionMediaExporterTest, RangesAndAudioAloneHoldWhatWasAsked) {
    // A range cut inside files on both sides.
    MediaExportRequest asked = request("range.mkv");
    asked.from = sessionStart_ + 30.5;
    asked.to = sessionStart_ + 75.25;
    SessionMediaExporter ranged(asked);
    ASSERT_TRUE(ranged.run()) << ranged.errorText();
    Support::Probe probe = Support::probe(asked.outputPath, scratch_.path());
    ASSERT_TRUE(probe.readable);
    EXPECT_EQ(probe.countOf("video"), 1);
    EXPECT_EQ(probe.countOf("audio"), 1);
    EXPECT_NEAR(probe.duration, 44.75, 44.75 * 0.01);

    // Without video and without a name: LOCATION_YYYY-MM-DD.m4a in the default directory.
    asked = request("");
    asked.includeVideo = false;
    asked.to = sessionStart_ + 20.0;
    SessionMediaExporter audioAlone(asked);
    ASSERT_TRUE(audioAlone.run()) << audioAlone.errorText();
    EXPECT_EQ(audioAlone.outputPath(), scratch_.file("COURT1_2010-03-15.m4a"));
    EXPECT_FALSE(audioAlone.exportedVideo());
    probe = Support::probe(audioAlone.outputPath(), scratch_.path());
    ASSERT_TRUE(probe.readable);
    EXPECT_EQ(probe.countOf("video"), 0);
    EXPECT_EQ(probe.countOf("audio"), 1);
    EXPECT_NEAR(probe.duration, 20.0, 0.2);

    // An audio-only name keeps the video out even when it is asked for.
    asked = request("alone.mka");
    asked.to = sessionStart_ + 10.0;
    SessionMediaExporter named(asked);
    ASSERT_TRUE(named.run()) << named.errorText();
    probe = Support::probe(asked.outputPath, scratch_.path());
    EXPECT_EQ(probe.countOf("video"), 0);
    EXPECT_EQ(probe.countOf("audio"), 1);
}

TEST_F(SessionMediaExporterTest, ASessionWithoutVideoGivesAudioAlone) {
    TemporaryDirectory root("export-no-video-");
    SampleArchiveWriter::Settings settings;
    settings.locations = {"COURT2"};
    settings.channels = 2;
    settings.hours = 20.0 / 3600.0;
    settings.video = false;
    settings.annotationsPerHour = 0;
    SampleArchiveWriter writer(settings);
    ASSERT_TRUE(writer.write(root.path())) << writer.errorText();

    MediaExportRequest asked = request("");
    asked.recordingsPath = root.path() + "/Recordings";
    asked.location = "COURT2";
    SessionMediaExporter exporter(asked);
    ASSERT_TRUE(exporter.run()) << exporter.errorText();
    EXPECT_EQ(exporter.outputPath(), scratch_.file("COURT2_2010-03-15.m4a"));
    const Support::Probe probe = Support::probe(exporter.outputPath(), scratch_.path());
    ASSERT_TRUE(probe.readable);
    EXPECT_EQ(probe.countOf("video"), 0);
    EXPECT_EQ(probe.countOf("audio"), 1);
    EXPECT_NEAR(probe.duration, 20.0, 0.2);

    // Asked for a video container, it still writes the audio alone.
    asked.outputPath = scratch_.file("court2.mkv");
    SessionMediaExporter named(asked);
    ASSERT_TRUE(named.run()) << named.errorText();
    EXPECT_EQ(Support::probe(asked.outputPath, scratch_.path()).countOf("video"), 0);
}

TEST_F(SessionMediaExporterTest, TheMixAndThePicturesKeepTheirTimesAcrossARecess) {
    MediaExportRequest asked = request("recess.mp4");
    asked.from = sessionStart_ + 60.0;
    asked.to = sessionStart_ + 230.0;
    SessionMediaExporter exporter(asked);
    ASSERT_TRUE(exporter.run()) << exporter.errorText();
    const std::vector<int16_t> samples =
        Support::decodeAudio(asked.outputPath, 16000, scratch_.path());
    ASSERT_NEAR(static_cast<double>(samples.size()), 170.0 * 16000, 170.0 * 16000 * 0.01);

    // Each channel is heard at its own times, before and after the recess: in 0.5 s windows
    // where it speaks throughout, its tone is there; where it is silent throughout, it is not.
    for (int channel = 0; channel < kChannels; ++channel) {
        const double hz = SampleArchiveWriter::channelToneHz(channel);
        int heard = 0;
        int silent = 0;
        for (double t = 62.0; t < 228.0; t += 0.5) {
            if (t > kRecessStart - 1.0 && t < kRecessEnd + 1.0) {
                continue;
            }
            bool speaks = true;
            bool quiet = true;
            for (double when = t - 0.1; when <= t + 0.6; when += 0.05) {
                const bool now = SampleArchiveWriter::channelSpeaksAt(1, channel, when);
                speaks = speaks && now;
                quiet = quiet && !now;
            }
            const size_t at = static_cast<size_t>((t - 60.0) * 16000);
            const double amplitude = Support::toneAmplitude(samples, at, 8000, hz, 16000);
            if (speaks) {
                EXPECT_GT(amplitude, 0.02) << "channel " << channel << " unheard at " << t;
                ++heard;
            } else if (quiet) {
                EXPECT_LT(amplitude, 0.005) << "channel " << channel << " heard at " << t;
                ++silent;
            }
        }
        EXPECT_GE(heard, 10) << "channel " << channel;
        EXPECT_GE(silent, 10) << "channel " << channel;
    }

    // The recess is silence of its true length and its pictures are black; around it the
    // camera's pictures show.
    EXPECT_LT(
        Support::rms(samples, static_cast<size_t>((kRecessStart - 60.0 + 8.0) * 16000), 40 * 16000),
        0.001);
    EXPECT_LT(Support::meanLumaAt(asked.outputPath, kRecessStart - 60.0 + 30.0, scratch_.path()),
              20.0);
    EXPECT_GT(Support::meanLumaAt(asked.outputPath, kRecessStart - 60.0 - 10.0, scratch_.path()),
              40.0);
    EXPECT_GT(Support::meanLumaAt(asked.outputPath, kRecessEnd - 60.0 + 10.0, scratch_.path()),
              40.0);
}

TEST_F(SessionMediaExporterTest, FailedExportsSayWhyAndLeaveNothing) {
    // A file that must not be replaced, next to the outputs.
    ASSERT_TRUE(FileIo::writeFileAtomically(scratch_.file("taken.mp4"), "keep me"));

    struct Case {
        std::string name;
        MediaExportRequest request;
        std::string words;
        bool interrupt = false;
    };
    std::vector<Case> cases;
    MediaExportRequest missing = request("missing.mp4");
    missing.location = "COURT9";
    cases.push_back({"no such session", missing, "no audio or video"});
    MediaExportRequest otherDay = request("other-day.mp4");
    otherDay.day = 16;
    cases.push_back({"a day without a session", otherDay, "no audio or video"});
    MediaExportRequest outside = request("outside.mp4");
    outside.from = sessionStart_ + 3600.0;
    outside.to = sessionStart_ + 3700.0;
    cases.push_back({"a range outside the session", outside, "nothing recorded between"});
    MediaExportRequest taken = request("taken.mp4");
    taken.replaceExisting = false;
    taken.to = sessionStart_ + 5.0;
    cases.push_back({"an existing file", taken, "exists"});
    MediaExportRequest unknownKind = request("session.avi");
    cases.push_back({"an unknown kind of file", unknownKind, ".mp4, .mkv"});
    MediaExportRequest noDirectory = request("no/such/directory/out.mp4");
    noDirectory.to = sessionStart_ + 5.0;
    cases.push_back({"a missing directory", noDirectory, "cannot write"});
    MediaExportRequest badRate = request("rate.mp4");
    badRate.framesPerSecond = 0;
    cases.push_back({"a frame rate of 0", badRate, "frame rate"});
    cases.push_back({"an interrupted export", request("interrupted.mp4"), "interrupted", true});

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SessionMediaExporter exporter(c.request);
        int reports = 0;
        const bool done =
            exporter.run([&](double, double) { return !c.interrupt || ++reports < 5; });
        EXPECT_FALSE(done);
        EXPECT_NE(exporter.errorText().find(c.words), std::string::npos) << exporter.errorText();
        EXPECT_EQ(Support::filesBelow(scratch_.path()),
                  std::vector<std::string>{scratch_.file("taken.mp4")});
    }
    std::string kept;
    ASSERT_TRUE(FileIo::readWholeFile(scratch_.file("taken.mp4"), kept));
    EXPECT_EQ(kept, "keep me");
}

}  // namespace
