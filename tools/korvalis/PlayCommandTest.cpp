// korvalis play, run as a user runs it without a terminal, on sample archives made here: what it
// prints, what it writes through the WAV output, and what it refuses.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "FileIo.h"
#include "SampleArchiveWriter.h"
#include "TemporaryDirectory.h"

namespace {

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

bool readWav(const std::string& path, std::vector<int16_t>& samples) {
    std::string bytes;
    if (!FileIo::readWholeFile(path, bytes) || bytes.size() < 44 ||
        bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0) {
        return false;
    }
    uint32_t dataBytes = 0;
    std::memcpy(&dataBytes, bytes.data() + 40, 4);
    if (dataBytes != bytes.size() - 44) {
        return false;
    }
    samples.resize(dataBytes / 2);
    std::memcpy(samples.data(), bytes.data() + 44, samples.size() * 2);
    return true;
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

class PlayCommandTest : public ::testing::Test {
protected:
    static constexpr double kStart = 1268643600.0;  // 2010-03-15 09:00:00, UTC offset 0

    TemporaryDirectory scratch_{"play-command-"};
    std::string root_ = scratch_.file("archive");

    // COURT1 on 2010-03-15: 3 channels, 40 seconds in files of 12 seconds, video 160x120 at 10
    // frames a second unless `video` is false.
    void writeArchive(bool video = true) {
        SampleArchiveWriter::Settings settings;
        settings.locations = {"COURT1"};
        settings.channels = 3;
        settings.hours = 40.0 / 3600.0;
        settings.fileMinutes = 0.2;
        settings.video = video;
        settings.videoWidth = 160;
        settings.videoHeight = 120;
        settings.videoFrameRate = 10;
        SampleArchiveWriter writer(settings);
        ASSERT_TRUE(writer.write(root_)) << writer.errorText();
    }

    CommandRun korvalis(const std::vector<std::string>& arguments) {
        std::string command = quoted(KORVALIS_EXECUTABLE);
        for (const std::string& argument : arguments) {
            command += " " + quoted(argument);
        }
        const std::string out = scratch_.file("stdout");
        const std::string err = scratch_.file("stderr");
        command += " </dev/null >" + quoted(out) + " 2>" + quoted(err);
        CommandRun run;
        const int status = std::system(command.c_str());
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        FileIo::readWholeFile(out, run.out);
        FileIo::readWholeFile(err, run.err);
        return run;
    }

    std::vector<std::string> session(const std::string& command, std::vector<std::string> options) {
        std::vector<std::string> arguments{command, root_, "COURT1", "20100315"};
        arguments.insert(arguments.end(), options.begin(), options.end());
        return arguments;
    }

    static std::string at(double seconds) { return std::to_string(kStart + seconds); }
};

TEST_F(PlayCommandTest, PlayOfARangeThroughWavWritesWhatRenderWrites) {
    writeArchive();
    const std::vector<std::vector<std::string>> cases{
        {"--from", at(5.0), "--to", at(17.0)},
        {"--from", at(11.5), "--to", at(20.25), "--mute", "1", "--gain", "2=0.5"},
        {"--to", at(3.0)},
    };
    for (const std::vector<std::string>& range : cases) {
        SCOPED_TRACE(range[1]);
        std::vector<std::string> render = range;
        render.insert(render.end(), {"--wav", scratch_.file("render.wav")});
        const CommandRun rendered = korvalis(session("render", render));
        ASSERT_EQ(rendered.status, 0) << rendered.err;

        std::vector<std::string> play = range;
        play.insert(play.end(), {"--audio-output", "wav:" + scratch_.file("play.wav")});
        const CommandRun played = korvalis(session("play", play));
        ASSERT_EQ(played.status, 0) << played.err;
        EXPECT_EQ(played.err, "");

        std::vector<int16_t> renderSamples, playSamples;
        ASSERT_TRUE(readWav(scratch_.file("render.wav"), renderSamples));
        ASSERT_TRUE(readWav(scratch_.file("play.wav"), playSamples));
        ASSERT_FALSE(renderSamples.empty());
        EXPECT_EQ(playSamples.size(), renderSamples.size());
        EXPECT_TRUE(playSamples == renderSamples) << "the samples differ";

        // One position line per second played, in order, then what was played.
        const std::vector<std::string> lines = linesOf(played.out);
        ASSERT_GE(lines.size(), 2u);
        const double from = range[0] == "--from" ? std::stod(range[1]) : kStart;
        const double to = std::stod(range[range[0] == "--from" ? 3 : 1]);
        long long expected = static_cast<long long>(std::floor(from));
        for (size_t i = 0; i + 1 < lines.size(); ++i) {
            EXPECT_EQ(lines[i], "position: " + std::to_string(expected)) << i;
            ++expected;
        }
        EXPECT_EQ(expected, static_cast<long long>(std::ceil(to)));
        ASSERT_EQ(lines.back().rfind("played: ", 0), 0u) << lines.back();
        const double seconds = std::stod(lines.back().substr(8));
        EXPECT_NEAR(seconds, renderSamples.size() / 16000.0, 1e-3);
    }
}

TEST_F(PlayCommandTest, FollowPrintsTheAnnotationsPlaybackPasses) {
    writeArchive(false);
    const CommandRun run =
        korvalis(session("play", {"--to", at(2.0), "--audio-output", "null:fast", "--follow"}));
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<std::string> lines = linesOf(run.out);
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[0], "position: 1268643600");
    EXPECT_EQ(lines[1].rfind("annotation: 09:00:00 AM\t", 0), 0u) << run.out;
    EXPECT_NE(lines[1].find("\tCourt in session"), std::string::npos) << run.out;
}

TEST_F(PlayCommandTest, SessionWithoutAudioPlaysItsVideoAndPositionsAdvance) {
    writeArchive();
    // Only the video stays.
    for (int channel = 0; channel < 3; ++channel) {
        char directory[64];
        std::snprintf(directory, sizeof directory, "/Recordings/%03d/20100315", channel);
        for (const auto& entry : std::filesystem::directory_iterator(root_ + directory)) {
            if (entry.path().extension() == ".mp3") {
                std::filesystem::remove(entry.path());
            }
        }
    }
    const CommandRun run = korvalis(
        session("play", {"--from", at(2.0), "--to", at(5.0), "--audio-output", "null:fast"}));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "position: 1268643602\nposition: 1268643603\nposition: 1268643604\nplayed: "
              "3.000\n");
}

// On a terminal (a pseudo-terminal made by script(1)): keys change the state the status line
// shows, and q quits.
TEST_F(PlayCommandTest, OnATerminalKeysDriveThePlayerAndTheStatusLineShowsIt) {
    if (std::system("command -v script >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "script(1) is not installed";
    }
    writeArchive(false);
    std::string command = quoted(KORVALIS_EXECUTABLE);
    for (const std::string& argument : session("play", {"--audio-output", "null"})) {
        command += " " + quoted(argument);
    }
    // Up arrow (faster), mute channel 1, follow on, quit.
    const std::string out = scratch_.file("terminal");
    const std::string shell = "(sleep 1; printf '\\033[A1fq') | script -qfec " +
                              quoted(static_cast<const std::string&>(command)) + " /dev/null >" +
                              quoted(out) + " 2>&1";
    const int status = std::system(shell.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    std::string text;
    ASSERT_TRUE(FileIo::readWholeFile(out, text));
    EXPECT_NE(text.find("09:00:0"), std::string::npos) << text;
    EXPECT_NE(text.find("1.1x  follow  1[muted---]"), std::string::npos) << text;
    EXPECT_NE(text.find("played: "), std::string::npos) << text;
}

TEST_F(PlayCommandTest, WrongCommandLinesAreExitTwoAndMissingSessionsExitOne) {
    writeArchive(false);
    for (const std::vector<std::string>& options :
         std::vector<std::vector<std::string>>{{"--gain", "1"},
                                               {"--gain", "7=1"},
                                               {"--mute", "3"},
                                               {"--speed", "-95"},
                                               {"--speed", "fast"},
                                               {"--audio-output", "speakers"},
                                               {"--audio-output", "wav:"},
                                               {"--from", "soon"},
                                               {"--from", at(10.0), "--to", at(5.0)}}) {
        const CommandRun run = korvalis(session("play", options));
        EXPECT_EQ(run.status, 2) << options[0] << " " << options[1] << ": " << run.err;
        EXPECT_NE(run.err.find("Usage: korvalis play"), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "");
    }
    CommandRun run = korvalis({"play", root_, "COURT9", "20100315", "--audio-output", "null"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "korvalis play: no session COURT9 2010-03-15 under " + root_ + "\n");

    run = korvalis(session("play", {"--from", at(500.0), "--audio-output", "null"}));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("the session's audio ends at"), std::string::npos) << run.err;

    run = korvalis(session("play", {"--audio-output", "wav:" + root_ + "/no/such/dir/x.wav"}));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("cannot write"), std::string::npos) << run.err;
}

}  // namespace
