// korvalis copy run as a user runs it, on a sample archive: the copy's messages, the copied
// session and its record, the mix-down, and bad command lines and input.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
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

std::string segment(double from, double to) {
    char text[96];
    std::snprintf(text, sizeof text, "%.3f..%.3f", from, to);
    return text;
}

class CopyCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(scratch_.isValid());
        SampleArchiveWriter::Settings settings;
        settings.locations = {"COURT1"};
        settings.channels = 2;
        settings.hours = 0.05;
        settings.fileMinutes = 1.0;
        settings.videoWidth = 64;
        settings.videoHeight = 48;
        settings.videoFrameRate = 5;
        settings.annotationsPerHour = 600;
        SampleArchiveWriter writer(settings);
        ASSERT_TRUE(writer.write(root_)) << writer.errorText();
        start_ = writer.sessionStart({2010, 3, 15});
    }

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

    TemporaryDirectory scratch_{"copy-command-"};
    std::string root_ = scratch_.file("archive");
    double start_ = 0.0;
};

TEST_F(CopyCommandTest, CopiesSegmentsIntoANewArchiveThatTheToolReads) {
    const CommandRun copy = korvalis({"copy", root_, "court1", "20100315", "--segment",
                                      segment(start_ + 10.0, start_ + 40.0), "--segment",
                                      segment(start_ + 100.0, start_ + 130.0), "--into",
                                      scratch_.file(""), "--name", "copied"});
    ASSERT_EQ(copy.status, 0) << copy.out << copy.err;
    EXPECT_EQ(
        copy.out.rfind("Starting copy process ...\nCreating target directory structure ...\n", 0),
        0u)
        << copy.out;
    EXPECT_NE(copy.out.find("     - Range is entirely within file, double split required.\n"),
              std::string::npos);
    EXPECT_NE(copy.out.find("Processing audio channel 1 ...\n"), std::string::npos);
    EXPECT_NE(copy.out.find("Copying annotations ...\nWriting annotations ...\nCopy Complete\n"),
              std::string::npos);

    // The copy is an archive of its own: the session command finds it with both channels.
    const CommandRun session = korvalis({"session", scratch_.file("copied"), "COURT1", "20100315"});
    ASSERT_EQ(session.status, 0) << session.err;
    EXPECT_NE(session.out.find("channels: 2\n"), std::string::npos) << session.out;
    // The second segment spans two video files.
    EXPECT_NE(session.out.find("video-files: 3\n"), std::string::npos) << session.out;
    const CommandRun annotations =
        korvalis({"annotations", scratch_.file("copied"), "COURT1", "20100315"});
    EXPECT_NE(annotations.out.find("Copy Started"), std::string::npos) << annotations.out;
    EXPECT_NE(annotations.out.find("Copy Stopped"), std::string::npos);
}

TEST_F(CopyCommandTest, AudioOnlyMixDownGivesOneChannelWithoutVideo) {
    const CommandRun copy =
        korvalis({"copy", root_, "COURT1", "20100315", "--segment",
                  segment(start_ + 10.0, start_ + 40.0), "--into", scratch_.file(""), "--name",
                  "mixed", "--audio-only", "--mix-down", "--exclude-annotations"});
    ASSERT_EQ(copy.status, 0) << copy.out << copy.err;
    EXPECT_NE(copy.out.find("Mixing ...\nMixing successful.\n"), std::string::npos) << copy.out;
    EXPECT_EQ(copy.out.find("Copying annotations ..."), std::string::npos);
    const CommandRun session = korvalis({"session", scratch_.file("mixed"), "COURT1", "20100315"});
    ASSERT_EQ(session.status, 0) << session.err;
    EXPECT_NE(session.out.find("channels: 1\n"), std::string::npos) << session.out;
    EXPECT_NE(session.out.find("video: none\n"), std::string::npos) << session.out;
}

TEST_F(CopyCommandTest, BadCommandLinesAndInputFailWithoutWriting) {
    const std::string into = scratch_.file("");
    const std::string good = segment(start_ + 10.0, start_ + 20.0);
    // Wrong command lines: exit status 2.
    EXPECT_EQ(korvalis({"copy", root_, "COURT1", "20100315", "--segment", "soon", "--into", into,
                        "--name", "x"})
                  .status,
              2);
    EXPECT_EQ(korvalis({"copy", root_, "COURT1", "20100315", "--into", into, "--name", "x"}).status,
              2);
    EXPECT_EQ(korvalis({"copy", root_, "COURT1", "20100315", "--segment", good, "--into", into,
                        "--name", "../x"})
                  .status,
              2);
    EXPECT_EQ(korvalis({"copy", root_, "COURT1", "20100315", "--segment", good, "--into", into,
                        "--name", "x", "--mix-down"})
                  .status,
              2);
    // What cannot be done: exit status 1, with the reason on stdout or stderr.
    const CommandRun outside =
        korvalis({"copy", root_, "COURT1", "20100315", "--segment",
                  segment(start_ - 500.0, start_ - 400.0), "--into", into, "--name", "x"});
    EXPECT_EQ(outside.status, 1);
    EXPECT_NE(outside.out.find("The session holds no media in it."), std::string::npos)
        << outside.out;
    const CommandRun missing = korvalis(
        {"copy", root_, "COURT9", "20100315", "--segment", good, "--into", into, "--name", "x"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("no session COURT9"), std::string::npos) << missing.err;
    std::filesystem::create_directories(scratch_.file("taken"));
    const CommandRun taken = korvalis({"copy", root_, "COURT1", "20100315", "--segment", good,
                                       "--into", into, "--name", "taken"});
    EXPECT_EQ(taken.status, 1);
    EXPECT_NE(taken.out.find("The target directory already exists"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(scratch_.file("x")));
    EXPECT_TRUE(std::filesystem::is_empty(scratch_.file("taken")));
}

}  // namespace
