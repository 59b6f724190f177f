// korvalis render, run as a user runs it, on sessions of real MP3 and KOV files made here.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "ArchiveSessionSet.h"
#include "FileIo.h"
#include "MediaFileName.h"
#include "SyntheticKovWriter.h"
#include "TemporaryDirectory.h"
#include "TestArchiveBuilder.h"
#include "TimedMp3Writer.h"

namespace {

constexpr double kStart = 1268661600.0;  // 2010-03-15 14:00:00 UTC
// 278 MP3 frames of 36 ms: each file ends where the next one starts.
constexpr double kFileSeconds = 10.008;
constexpr int kFilesPerChannel = 2;
// Each channel's own tone; none is a harmonic of another.
const std::vector<double> kToneHz{500.0, 900.0, 1300.0};
constexpr double kToneAmplitude = 0.2;

struct CommandRun {
    int status = -1;
    std::string out;
    std::string err;
};

std::string quoted(const std::string& argument) {
    std::string text = "'";
    for (const char c : argument) {
        text += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return text + "'";
}

// The samples of a 16-bit mono WAV as WavFileWriter writes it, and its rate.
bool readWav(const std::string& path, std::vector<int16_t>& samples, uint32_t& rate) {
    std::string bytes;
    if (!FileIo::readWholeFile(path, bytes) || bytes.size() < 44 ||
        bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0) {
        return false;
    }
    std::memcpy(&rate, bytes.data() + 24, 4);
    uint32_t dataBytes = 0;
    std::memcpy(&dataBytes, bytes.data() + 40, 4);
    if (dataBytes != bytes.size() - 44) {
        return false;
    }
    samples.resize(dataBytes / 2);
    std::memcpy(samples.data(), bytes.data() + 44, samples.size() * 2);
    return true;
}

// Amplitude (fraction of full scale) of the `hz` component of `samples`, by a Goertzel filter.
double toneAmplitude(const std::vector<int16_t>& samples, size_t from, size_t count, double hz,
                     uint32_t rate) {
    const double coefficient = 2.0 * std::cos(2.0 * M_PI * hz / rate);
    double previous = 0.0, beforePrevious = 0.0;
    for (size_t i = from; i < from + count && i < samples.size(); ++i) {
        const double current = samples[i] / 32768.0 + coefficient * previous - beforePrevious;
        beforePrevious = previous;
        previous = current;
    }
    const double power = previous * previous + beforePrevious * beforePrevious -
                         coefficient * previous * beforePrevious;
    return 2.0 * std::sqrt(std::max(power, 0.0)) / static_cast<double>(count);
}

struct CsvLine {
    double start = 0.0;
    double end = 0.0;
    bool hasFrame = false;
    double frame = 0.0;
};

std::vector<CsvLine> readPairs(const std::string& path) {
    std::string text;
    FileIo::readWholeFile(path, text);
    std::vector<CsvLine> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        CsvLine parsed;
        const size_t comma1 = line.find(',');
        const size_t comma2 = line.find(',', comma1 + 1);
        EXPECT_NE(comma2, std::string::npos) << line;
        if (comma2 == std::string::npos) {
            continue;
        }
        parsed.start = std::stod(line.substr(0, comma1));
        parsed.end = std::stod(line.substr(comma1 + 1, comma2 - comma1 - 1));
        parsed.hasFrame = comma2 + 1 < line.size();
        if (parsed.hasFrame) {
            parsed.frame = std::stod(line.substr(comma2 + 1));
        }
        lines.push_back(parsed);
    }
    return lines;
}

// The value of the summary line "key: value".
std::string summary(const std::string& out, const std::string& key) {
    const size_t at = out.find(key + ": ");
    if (at == std::string::npos) {
        return "";
    }
    const size_t from = at + key.size() + 2;
    return out.substr(from, out.find('\n', from) - from);
}

class RenderCommandTest : public ::testing::Test {
protected:
    TemporaryDirectory scratch_{"render-command-"};
    std::string root_ = scratch_.file("archive");
    std::vector<std::string> mp3Paths_;
    std::vector<double> frameTimes_;

    CommandRun korvalis(const std::vector<std::string>& arguments) {
        std::string command = quoted(KORVALIS_EXECUTABLE);
        for (const std::string& argument : arguments) {
            command += " " + quoted(argument);
        }
        const std::string out = scratch_.file("stdout");
        const std::string err = scratch_.file("stderr");
        command += " >" + quoted(out) + " 2>" + quoted(err);
        CommandRun run;
        const int status = std::system(command.c_str());
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        FileIo::readWholeFile(out, run.out);
        FileIo::readWholeFile(err, run.err);
        return run;
    }

    // COURT1 on 2010-03-15: three channels of two files of about 10 seconds, each channel its own
    // tone, and 160x120 video at 10 frames a second over the same time.
    void buildSession(bool video = true) {
        TestArchiveBuilder archive(root_);
        archive.addSessionRecord("COURT1", 2010, 3, 15, {});
        for (int channel = 0; channel < 3; ++channel) {
            const std::string directory =
                ArchiveSessionSet::dayDirectory(archive.recordingsPath(), channel, 2010, 3, 15);
            std::filesystem::create_directories(directory);
            for (int file = 0; file < kFilesPerChannel; ++file) {
                const double start = kStart + file * kFileSeconds;
                TimedMp3Writer writer(start, kFileSeconds);
                writer.setSignal(TimedMp3Writer::tone(kToneHz[channel], kToneAmplitude));
                const std::string path =
                    MediaFileName("COURT1", start, channel, 0, 0).pathIn(directory, "mp3");
                ASSERT_TRUE(writer.writeFile(path)) << writer.errorText();
                mp3Paths_.push_back(path);
            }
        }
        if (video) {
            SyntheticKovWriter::Settings settings;
            settings.width = 160;
            settings.height = 120;
            settings.frameRate = 10;
            settings.startTime = kStart;
            settings.durationSeconds = kFileSeconds * kFilesPerChannel;
            SyntheticKovWriter writer(settings);
            const std::string directory =
                ArchiveSessionSet::dayDirectory(archive.recordingsPath(), 0, 2010, 3, 15);
            std::string error;
            ASSERT_TRUE(writer.write(
                MediaFileName("COURT1", kStart, 0, 0, 0).pathIn(directory, "kov"), error))
                << error;
            for (uint32_t i = 0; i < writer.frameCount(); ++i) {
                frameTimes_.push_back(writer.frameTime(i));
            }
        }
    }

    std::vector<std::string> render(std::vector<std::string> options) {
        std::vector<std::string> arguments{"render",   root_,   "COURT1",
                                           "20100315", "--wav", scratch_.file("out.wav")};
        arguments.insert(arguments.end(), options.begin(), options.end());
        return arguments;
    }
};

TEST_F(RenderCommandTest, MixHoldsEveryUnmutedChannelsToneAndNotTheMutedOne) {
    buildSession();
    const CommandRun run = korvalis(render({"--mute", "1", "--gain", "2=0.5"}));
    ASSERT_EQ(run.status, 0) << run.err;
    std::vector<int16_t> samples;
    uint32_t rate = 0;
    ASSERT_TRUE(readWav(scratch_.file("out.wav"), samples, rate));
    EXPECT_EQ(rate, 16000u);
    // The whole session, to its last 30 ms chunk: 20 s of audio.
    EXPECT_NEAR(samples.size() / 16000.0, 20.0, 0.1);
    EXPECT_EQ(summary(run.out, "chunks"), std::to_string(samples.size() / 480));

    // One second at a time, across the file boundary at 10 s too.
    for (size_t second = 1; second + 1 < samples.size() / 16000; ++second) {
        const size_t from = second * 16000;
        const double first = toneAmplitude(samples, from, 16000, kToneHz[0], rate);
        const double muted = toneAmplitude(samples, from, 16000, kToneHz[1], rate);
        const double halved = toneAmplitude(samples, from, 16000, kToneHz[2], rate);
        EXPECT_NEAR(first, kToneAmplitude, 0.03) << "second " << second;
        EXPECT_LT(muted, 0.002) << "second " << second;
        EXPECT_NEAR(halved, kToneAmplitude / 2, 0.02) << "second " << second;
    }
    EXPECT_EQ(summary(run.out, "first"), "1268661600.000");
}

TEST_F(RenderCommandTest, MasterGainScalesAndMasterMuteSilencesEveryChannel) {
    buildSession(false);
    CommandRun run = korvalis(
        render({"--master-gain", "0.5", "--gain", "0=2", "--to", std::to_string(kStart + 3.0)}));
    ASSERT_EQ(run.status, 0) << run.err;
    std::vector<int16_t> samples;
    uint32_t rate = 0;
    ASSERT_TRUE(readWav(scratch_.file("out.wav"), samples, rate));
    EXPECT_NEAR(toneAmplitude(samples, 16000, 16000, kToneHz[0], rate), kToneAmplitude, 0.03);
    EXPECT_NEAR(toneAmplitude(samples, 16000, 16000, kToneHz[1], rate), kToneAmplitude / 2, 0.02);

    run = korvalis(render({"--master-mute", "--to", std::to_string(kStart + 3.0)}));
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_TRUE(readWav(scratch_.file("out.wav"), samples, rate));
    ASSERT_FALSE(samples.empty());
    for (int16_t sample : samples) {
        ASSERT_EQ(sample, 0);
    }
    EXPECT_EQ(summary(run.out, "frames"), "0");
}

TEST_F(RenderCommandTest, EveryFrameOfARangeIsPairedWithTheChunkThatHoldsItsTime) {
    buildSession();
    const double from = kStart + 7.0;
    const double to = kStart + 13.0;
    const CommandRun run =
        korvalis(render({"--from", std::to_string(from), "--to", std::to_string(to), "--pairs",
                         scratch_.file("pairs.csv"), "--frames", scratch_.file("frames")}));
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<CsvLine> lines = readPairs(scratch_.file("pairs.csv"));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(summary(run.out, "chunks"), std::to_string(lines.size()));

    // The chunks follow each other without gaps, from the seek up to --to.
    EXPECT_NEAR(lines.front().start, from, 0.05);
    EXPECT_LT(lines.back().start, to);
    EXPECT_GE(lines.back().end, to - 0.001);
    for (size_t i = 1; i < lines.size(); ++i) {
        ASSERT_NEAR(lines[i].start, lines[i - 1].end, 1e-5) << i;
    }

    std::map<double, size_t> pairedAt;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].hasFrame) {
            EXPECT_GE(lines[i].frame, lines[i].start - 1e-6) << i;
            EXPECT_LE(lines[i].frame, lines[i].end + 1e-6) << i;
            pairedAt[lines[i].frame] = i;
        }
    }
    size_t expectedFrames = 0;
    for (double time : frameTimes_) {
        if (time >= lines.front().start && time <= lines.back().end) {
            ++expectedFrames;
            bool found = false;
            for (const auto& [paired, line] : pairedAt) {
                found = found || std::fabs(paired - time) < 1e-5;
            }
            EXPECT_TRUE(found) << "frame at " << std::to_string(time) << " not paired";
        }
    }
    EXPECT_EQ(expectedFrames, 61u) << "7.0 s to 13.0 s, both ends";
    EXPECT_EQ(pairedAt.size(), expectedFrames);
    EXPECT_EQ(summary(run.out, "frames"), std::to_string(expectedFrames));
    EXPECT_EQ(summary(run.out, "auto-seeks"), "0");

    // Each paired frame as a JPEG named by its time.
    size_t pictures = 0;
    for (const auto& entry : std::filesystem::directory_iterator(scratch_.file("frames"))) {
        std::string bytes;
        ASSERT_TRUE(FileIo::readWholeFile(entry.path().string(), bytes));
        EXPECT_EQ(bytes.substr(0, 2), "\xFF\xD8") << entry.path();
        const double time = std::stod(entry.path().stem().string());
        EXPECT_TRUE(pairedAt.count(time) != 0 ||
                    std::any_of(pairedAt.begin(), pairedAt.end(),
                                [time](const auto& p) { return std::fabs(p.first - time) < 1e-5; }))
            << entry.path();
        ++pictures;
    }
    EXPECT_EQ(pictures, expectedFrames);
}

TEST_F(RenderCommandTest, UnknownSessionIsExitOneNamingIt) {
    buildSession(false);
    CommandRun run =
        korvalis({"render", root_, "COURT9", "20100315", "--wav", scratch_.file("out.wav")});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "korvalis render: no session COURT9 2010-03-15 under " + root_ + "\n");
    EXPECT_EQ(run.out, "");

    run = korvalis({"render", root_, "COURT1", "20100316", "--wav", scratch_.file("out.wav")});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "korvalis render: no session COURT1 2010-03-16 under " + root_ + "\n");
}

TEST_F(RenderCommandTest, StartAfterTheSessionIsExitOneAndBeforeItPlaysFromTheStart) {
    buildSession(false);
    CommandRun run = korvalis(render({"--from", std::to_string(kStart + 100.0)}));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err,
              "korvalis render: the session's audio ends at 1268661620.016, before --from\n");

    // Before the first file the audio snaps into it.
    run = korvalis(
        render({"--from", std::to_string(kStart - 50.0), "--to", std::to_string(kStart + 1.0)}));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(summary(run.out, "first"), "1268661600.000");
    EXPECT_EQ(summary(run.out, "chunks"), "34");
}

TEST_F(RenderCommandTest, WrongCommandLinesAreExitTwo) {
    buildSession(false);
    for (const std::vector<std::string>& options :
         std::vector<std::vector<std::string>>{{"--gain", "1"},
                                               {"--gain", "x=1"},
                                               {"--gain", "7=1"},
                                               {"--mute", "-1"},
                                               {"--master-gain", "loud"},
                                               {"--from", "soon"},
                                               {"--from", "100", "--to", "50"}}) {
        const CommandRun run = korvalis(render(options));
        EXPECT_EQ(run.status, 2) << options[0] << " " << options[1];
        EXPECT_NE(run.err.find("Usage: korvalis render"), std::string::npos);
    }
    EXPECT_EQ(korvalis({"render", root_, "COURT1", "20100315"}).status, 2) << "no --wav";
}

TEST_F(RenderCommandTest, CorruptMediaFileIsSkippedWithOneWarningAndTheRestPlays) {
    buildSession(false);
    // Channel 2's second file becomes garbage.
    const std::string damaged = mp3Paths_[2 * kFilesPerChannel + 1];
    ASSERT_TRUE(FileIo::writeFileAtomically(damaged, std::string(5000, '\x5a')));
    const CommandRun run = korvalis(render({}));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_NE(run.err.find(damaged), std::string::npos) << run.err;

    std::vector<int16_t> samples;
    uint32_t rate = 0;
    ASSERT_TRUE(readWav(scratch_.file("out.wav"), samples, rate));
    ASSERT_GT(samples.size(), 19u * 16000);
    // Channel 2 is heard in its first file only; the others throughout.
    EXPECT_NEAR(toneAmplitude(samples, 5 * 16000, 16000, kToneHz[2], rate), kToneAmplitude, 0.03);
    EXPECT_LT(toneAmplitude(samples, 15 * 16000, 16000, kToneHz[2], rate), 0.002);
    EXPECT_NEAR(toneAmplitude(samples, 15 * 16000, 16000, kToneHz[0], rate), kToneAmplitude, 0.03);
}

}  // namespace
