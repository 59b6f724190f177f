// korvalis export run as a user runs it on a sample archive: the files checked with ffprobe, the
// audio against what korvalis render plays, and failures that leave nothing.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "ExportTestSupport.h"
#include "FileIo.h"
#include "SampleArchiveWriter.h"
#include "TemporaryDirectory.h"

namespace {

using Support = ExportTestSupport;

class ExportCommandTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        archive_ = new TemporaryDirectory("export-command-archive-");
        SampleArchiveWriter::Settings settings;
        settings.locations = {"COURT1"};
        settings.channels = 3;
        settings.hours = 120.0 / 3600.0;
        settings.fileMinutes = 1.0;
        settings.videoWidth = 128;
        settings.videoHeight = 96;
        settings.annotationsPerHour = 0;
        SampleArchiveWriter writer(settings);
        ASSERT_TRUE(writer.write(archive_->path())) << writer.errorText();
        start_ = writer.sessionStart(SampleArchiveWriter::Date{});
    }
    static void TearDownTestSuite() {
        delete archive_;
        archive_ = nullptr;
    }

    Support::ProgramRun korvalis(const std::vector<std::string>& arguments) {
        std::vector<std::string> command{KORVALIS_EXECUTABLE};
        command.insert(command.end(), arguments.begin(), arguments.end());
        return Support::run(command, scratch_.path());
    }
    std::vector<std::string> exportOf(const std::string& output,
                                      const std::vector<std::string>& options) {
        std::vector<std::string> arguments{"export",   archive_->path(), "court1",
                                           "20100315", "--out",          out_.file(output)};
        arguments.insert(arguments.end(), options.begin(), options.end());
        return arguments;
    }
    static std::string at(double seconds) { return std::to_string(start_ + seconds); }

    static TemporaryDirectory* archive_;
    static double start_;
    TemporaryDirectory out_{"export-command-out-"};
    TemporaryDirectory scratch_{"export-command-scratch-"};
};

TemporaryDirectory* ExportCommandTest::archive_ = nullptr;
double ExportCommandTest::start_ = 0.0;

// The 16-bit samples of a WAV file as korvalis render writes it (44-byte header).
std::vector<int16_t> wavSamples(const std::string& path) {
    std::string bytes;
    std::vector<int16_t> samples;
    if (FileIo::readWholeFile(path, bytes) && bytes.size() > 44) {
        samples.resize((bytes.size() - 44) / 2);
        std::memcpy(samples.data(), bytes.data() + 44, samples.size() * 2);
    }
    return samples;
}

// The best normalised correlation of `b` against `a` over lags up to `maximumLag` samples, and
// the lag where it is found, over lags within `maximumLag` of `centre`.
double bestCorrelation(const std::vector<int16_t>& a, const std::vector<int16_t>& b, size_t from,
                       size_t count, int centre, int maximumLag, int& bestLag) {
    double best = -1.0;
    for (int lag = centre - maximumLag; lag <= centre + maximumLag; lag += 1) {
        double ab = 0.0, aa = 0.0, bb = 0.0;
        for (size_t i = from; i < from + count; ++i) {
            const long j = static_cast<long>(i) + lag;
            if (i >= a.size() || j < 0 || static_cast<size_t>(j) >= b.size()) {
                continue;
            }
            ab += static_cast<double>(a[i]) * b[static_cast<size_t>(j)];
            aa += static_cast<double>(a[i]) * a[i];
            bb += static_cast<double>(b[static_cast<size_t>(j)]) * b[static_cast<size_t>(j)];
        }
        const double value = aa > 0.0 && bb > 0.0 ? ab / std::sqrt(aa * bb) : 0.0;
        if (value > best) {
            best = value;
            bestLag = lag;
        }
    }
    return best;
}

TEST_F(ExportCommandTest, ExportsARangeAtTheRateAskedWithTheMixThatRenderPlays) {
    Support::ProgramRun run =
        korvalis(exportOf("range.mkv", {"--from", at(20.0), "--to", at(80.0), "--fps", "10"}));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, out_.file("range.mkv") + "\n");
    EXPECT_NE(run.err.find("exported 1:00 of 1:00 (100 %)"), std::string::npos) << run.err;
    Support::Probe probe = Support::probe(out_.file("range.mkv"), scratch_.path());
    ASSERT_TRUE(probe.readable);
    ASSERT_EQ(probe.countOf("video"), 1);
    ASSERT_EQ(probe.countOf("audio"), 1);
    EXPECT_DOUBLE_EQ(probe.first("video")->framesPerSecond, 10.0);
    EXPECT_EQ(probe.first("video")->width, 128);
    EXPECT_NEAR(probe.duration, 60.0, 0.6);

    // The exported audio, decoded, is the mix render plays over the same range: a stretch of
    // each correlates closely at (nearly) no lag, however the encoder rounded it.
    run = korvalis(exportOf("mix.mp4", {"--from", at(20.0), "--to", at(50.0), "--audio-only"}));
    ASSERT_EQ(run.status, 0) << run.err;
    probe = Support::probe(out_.file("mix.mp4"), scratch_.path());
    EXPECT_EQ(probe.countOf("video"), 0);
    EXPECT_EQ(probe.countOf("audio"), 1);
    EXPECT_NEAR(probe.duration, 30.0, 0.3);
    const std::vector<int16_t> exported =
        Support::decodeAudio(out_.file("mix.mp4"), 16000, scratch_.path());
    run = korvalis({"render", archive_->path(), "COURT1", "20100315", "--wav",
                    out_.file("render.wav"), "--from", at(20.0), "--to", at(50.0)});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<int16_t> rendered = wavSamples(out_.file("render.wav"));
    // Render starts with the chunk that holds --from; the export starts at --from itself.
    const size_t first = run.out.find("first: ");
    ASSERT_NE(first, std::string::npos) << run.out;
    const int offset = static_cast<int>(
        std::lround((std::stod(run.out.substr(first + 7)) - (start_ + 20.0)) * 16000));
    ASSERT_LE(std::abs(offset), 16000 / 10);
    ASSERT_GT(rendered.size(), 25u * 16000);
    ASSERT_GT(exported.size(), 25u * 16000);
    for (const double second : {2.0, 11.0, 23.0}) {
        SCOPED_TRACE(second);
        // Tones repeat every few milliseconds, so the search stays within 2 ms of the offset.
        int lag = 0;
        const double correlation = bestCorrelation(
            rendered, exported, static_cast<size_t>(second * 16000), 16000, offset, 32, lag);
        EXPECT_GT(correlation, 0.9);
        // As loud as render's, not scaled by the channel count or the encoder.
        EXPECT_NEAR(Support::rms(exported, static_cast<size_t>(second * 16000 + lag), 16000),
                    Support::rms(rendered, static_cast<size_t>(second * 16000), 16000),
                    0.15 * Support::rms(rendered, static_cast<size_t>(second * 16000), 16000));
    }
}

TEST_F(ExportCommandTest, FailuresSayWhyAndLeaveNothing) {
    ASSERT_TRUE(FileIo::writeFileAtomically(out_.file("taken.mp4"), "keep me"));
    const std::vector<std::string> before{out_.file("taken.mp4")};

    Support::ProgramRun run = korvalis(
        {"export", archive_->path(), "COURT9", "20100315", "--out", out_.file("none.mp4")});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("no session COURT9 2010-03-15 under"), std::string::npos) << run.err;
    EXPECT_EQ(Support::filesBelow(out_.path()), before);

    run = korvalis(exportOf("taken.mp4", {"--to", at(5.0)}));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("exists"), std::string::npos) << run.err;
    std::string kept;
    ASSERT_TRUE(FileIo::readWholeFile(out_.file("taken.mp4"), kept));
    EXPECT_EQ(kept, "keep me");

    run = korvalis(exportOf("late.mp4", {"--from", at(7200.0), "--to", at(7300.0)}));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("nothing recorded between"), std::string::npos) << run.err;
    EXPECT_EQ(Support::filesBelow(out_.path()), before);

    // Wrong command lines: exit status 2 and the usage.
    const std::vector<std::vector<std::string>> wrong{
        exportOf("a.mp4", {"--fps", "0"}),
        exportOf("a.mp4", {"--from", "soon"}),
        exportOf("a.mp4", {"--from", at(50.0), "--to", at(40.0)}),
        {"export", archive_->path(), "COURT1", "20100315"},
        {"export", archive_->path(), "COURT1", "2010-03-15", "--out", out_.file("a.mp4")},
    };
    for (const std::vector<std::string>& arguments : wrong) {
        run = korvalis(arguments);
        EXPECT_EQ(run.status, 2) << run.err;
        EXPECT_NE(run.err.find("Usage: korvalis export"), std::string::npos);
    }
    EXPECT_EQ(Support::filesBelow(out_.path()), before);
}

}  // namespace
