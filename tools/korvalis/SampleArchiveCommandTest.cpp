// korvalis sample-archive run as a user runs it: what it prints, what it refuses, and live
// recordings stopped by time and by a signal.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "ArchiveSessionSet.h"
#include "FileIo.h"
#include "JexSession.h"
#include "KovCompressedVideoFile.h"
#include "TemporaryDirectory.h"
#include "TimedMp3Writer.h"
#include "WallClockTime.h"

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

class SampleArchiveCommandTest : public ::testing::Test {
protected:
    TemporaryDirectory scratch_{"sample-archive-command-"};

    std::string commandLine(const std::vector<std::string>& arguments) {
        std::string command = quoted(KORVALIS_EXECUTABLE);
        for (const std::string& argument : arguments) {
            command += " " + quoted(argument);
        }
        return command;
    }

    CommandRun run(const std::string& shellCommand) {
        const std::string out = scratch_.file("stdout");
        const std::string err = scratch_.file("stderr");
        const std::string command =
            "( " + shellCommand + " ) >" + quoted(out) + " 2>" + quoted(err);
        CommandRun result;
        const int status = std::system(command.c_str());
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        FileIo::readWholeFile(out, result.out);
        FileIo::readWholeFile(err, result.err);
        return result;
    }

    CommandRun korvalis(const std::vector<std::string>& arguments) {
        return run(commandLine(arguments));
    }

    // The session's files of a kind below every channel, all of them whole.
    static void expectWholeFiles(const std::string& root, const std::string& location, int year,
                                 int month, int day, int channels) {
        ArchiveSessionSet set(root);
        for (int channel = 0; channel < channels; ++channel) {
            std::vector<std::string> files;
            set.listSessionFiles(files, root + "/Recordings", location, year, month, day, "mp3",
                                 channel);
            EXPECT_FALSE(files.empty()) << channel;
            for (const std::string& path : files) {
                EXPECT_EQ(std::filesystem::file_size(path) % TimedMp3Writer::kFrameBytes, 0u)
                    << path;
            }
        }
        std::vector<std::string> video;
        set.listSessionFiles(video, root + "/Recordings", location, year, month, day, "kov", 0);
        EXPECT_FALSE(video.empty());
        for (const std::string& path : video) {
            KovCompressedVideoFile file(path);
            EXPECT_TRUE(file.isValid()) << path;
        }
    }
};

TEST_F(SampleArchiveCommandTest, PrintsTheRootThenOneLinePerSession) {
    const std::string root = scratch_.file("archive");
    const CommandRun made = korvalis(
        {"sample-archive", root + "/",  "--hours",      "0.1",      "--file-minutes", "2",
         "--video",        "160x120@5", "--location",   "North",    "--location",     "South Hall",
         "--date",         "20100315",  "--date",       "20100401", "--channels",     "2",
         "--start",        "13:30",     "--utc-offset", "-5",       "--gap",          "1@13:31",
         "--seed",         "9"});
    EXPECT_EQ(made.status, 0) << made.err;
    // A recess from minute 1 to 2: files 13:30-13:31, 13:32-13:34, 13:34-13:36.
    EXPECT_EQ(made.out, root +
                            "\n"
                            "North 2010-03-15 channels=2 files=9\n"
                            "North 2010-04-01 channels=2 files=9\n"
                            "South Hall 2010-03-15 channels=2 files=9\n"
                            "South Hall 2010-04-01 channels=2 files=9\n");
    EXPECT_EQ(made.err, "");

    // The tool that lists archives sees the same.
    const CommandRun listed = korvalis({"sessions", root});
    EXPECT_EQ(listed.out, "root: " + root +
                              "\n"
                              "North 2010-03-15 channels=2\n"
                              "North 2010-04-01 channels=2\n"
                              "South Hall 2010-03-15 channels=2\n"
                              "South Hall 2010-04-01 channels=2\n");
    JexSession record("South Hall", 2010, 4, 1);
    ASSERT_EQ(record.load(root + "/Databases"), JexSession::RecordState::kLoaded);
    const std::vector<JexAnnotation> annotations = record.annotations();
    ASSERT_GE(annotations.size(), 4u);
    EXPECT_EQ(annotations.front().displayTime(), "01:30:00 PM");
    EXPECT_EQ(annotations.front().event(), "Court in session");
    EXPECT_EQ(annotations.back().displayTime(), "01:36:00 PM");
    EXPECT_EQ(annotations.back().event(), "Court adjourned");
    expectWholeFiles(root, "South Hall", 2010, 4, 1, 2);

    // The same sessions again are refused, and nothing is lost.
    const CommandRun again = korvalis({"sample-archive", root, "--location", "North", "--date",
                                       "20100316", "--hours", "0.01", "--video", "none"});
    EXPECT_EQ(again.status, 0) << "another day is fine: " << again.err;
    const CommandRun refused =
        korvalis({"sample-archive", root, "--location", "south hall", "--date", "20100401"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("already holds the session record"), std::string::npos)
        << refused.err;
    ASSERT_EQ(record.load(root + "/Databases"), JexSession::RecordState::kLoaded);
    EXPECT_EQ(record.annotations().size(), annotations.size());
}

TEST_F(SampleArchiveCommandTest, WrongOptionsAreRefusedWithAReason) {
    const std::string root = scratch_.file("never");
    const std::vector<std::vector<std::string>> wrong = {
        {},
        {root, root},
        {root, "--channels", "0"},
        {root, "--channels", "17"},
        {root, "--channels", "four"},
        {root, "--date", "2010-03-15"},
        {root, "--date", "20100230"},
        {root, "--start", "9:00"},
        {root, "--start", "24:00"},
        {root, "--utc-offset", "15"},
        {root, "--hours", "0"},
        {root, "--hours", "25"},
        {root, "--file-minutes", "0.01"},
        {root, "--gap", "10"},
        {root, "--gap", "0@10:00"},
        {root, "--gap", "10@10:60"},
        {root, "--video", "320x240"},
        {root, "--video", "8x8@10"},
        {root, "--video", "320x240@0"},
        {root, "--annotations-per-hour", "-1"},
        {root, "--seed", "x"},
        {root, "--location", "A~B"},
        {root, "--location", "COURT1", "--location", "court10"},
        {root, "--live-minutes", "1"},
        {root, "--live", "--date", "20100315"},
        {root, "--live", "--start", "00:00", "--hours", "1"},
        {root, "--live", "--live-minutes", "0"},
        {root, "--frobnicate"},
    };
    for (const std::vector<std::string>& arguments : wrong) {
        std::vector<std::string> line = {"sample-archive"};
        line.insert(line.end(), arguments.begin(), arguments.end());
        const CommandRun result = korvalis(line);
        std::string shown;
        for (const std::string& argument : arguments) {
            shown += argument + " ";
        }
        EXPECT_EQ(result.status, 2) << shown;
        EXPECT_EQ(result.err.rfind("korvalis sample-archive: ", 0), 0u) << shown << result.err;
        EXPECT_NE(result.err.find("Usage: korvalis sample-archive"), std::string::npos) << shown;
        EXPECT_EQ(result.out, "") << shown;
    }
    EXPECT_FALSE(std::filesystem::exists(root));

    // A root that cannot be made is a failure, not a usage error.
    ASSERT_TRUE(FileIo::writeFileAtomically(scratch_.file("file"), "x"));
    const CommandRun blocked = korvalis({"sample-archive", scratch_.file("file/archive")});
    EXPECT_EQ(blocked.status, 1);
    EXPECT_NE(blocked.err.find("Cannot make"), std::string::npos) << blocked.err;
}

TEST_F(SampleArchiveCommandTest, LiveRecordingEndsAfterItsMinutesWithWholeFiles) {
    const std::string root = scratch_.file("live");
    const CommandRun live =
        korvalis({"sample-archive", root, "--live", "--live-minutes", "0.05", "--hours", "0.01",
                  "--location", "Live Room", "--channels", "2", "--video", "160x120@5",
                  "--utc-offset", "0", "--annotations-per-hour", "3600"});
    EXPECT_EQ(live.status, 0) << live.err;
    WallClockTime now;
    int day, month, year;
    WallClockTime started(now.asUtcSeconds() - 40.0, 0);
    started.getDate(day, month, year, 0);
    char line[64];
    std::snprintf(line, sizeof line, "Live Room %04d-%02d-%02d channels=2 files=3\n", year, month,
                  day);
    EXPECT_EQ(live.out, root + "\n" + line);
    EXPECT_NE(live.err.find("live recording stopped"), std::string::npos) << live.err;
    expectWholeFiles(root, "Live Room", year, month, day, 2);

    // The files reach from about 36 s before the start to its end: 36 s past and 3 s live.
    ArchiveSessionSet set(root);
    std::vector<std::string> files;
    set.listSessionFiles(files, root + "/Recordings", "Live Room", year, month, day, "mp3", 1);
    ASSERT_EQ(files.size(), 1u);
    const double seconds = static_cast<double>(std::filesystem::file_size(files[0])) /
                           TimedMp3Writer::kFrameBytes * TimedMp3Writer::kFrameDurationSeconds;
    EXPECT_GT(seconds, 38.0);
    EXPECT_LT(seconds, 41.0);
    JexSession record("Live Room", year, month, day);
    ASSERT_EQ(record.load(root + "/Databases"), JexSession::RecordState::kLoaded);
    // One a second: the annotations of the live seconds were appended too.
    EXPECT_GT(record.annotationCount(), 36u);
}

TEST_F(SampleArchiveCommandTest, AnInterruptStopsALiveRecordingCleanly) {
    const std::string root = scratch_.file("interrupted");
    const std::string command =
        commandLine({"sample-archive", root, "--live", "--hours", "0", "--location", "Room",
                     "--channels", "1", "--video", "160x120@5", "--file-minutes", "0.1"});
    const std::string out = scratch_.file("live-out");
    // Started in the background, interrupted once it has printed its session and written a
    // while, then waited for.
    const CommandRun result =
        run(command + " >" + quoted(out) + " & pid=$!; " +
            "for i in $(seq 100); do grep -q channels= " + quoted(out) +
            " && break; sleep 0.1; done; sleep 7; kill -INT $pid; wait $pid; echo status=$?");
    EXPECT_NE(result.out.find("status=0"), std::string::npos) << result.out << result.err;
    EXPECT_NE(result.err.find("live recording stopped"), std::string::npos) << result.err;
    std::string printed;
    ASSERT_TRUE(FileIo::readWholeFile(out, printed));
    EXPECT_EQ(printed.rfind(root + "\nRoom ", 0), 0u) << printed;

    WallClockTime now;
    int day, month, year;
    now.getDate(day, month, year, 0);
    const std::string recordings = root + "/Recordings";
    ArchiveSessionSet set(root);
    std::vector<std::string> files;
    // The --utc-offset default is the machine's, so the day is looked for on both sides.
    for (int shift : {0, -1, 1}) {
        WallClockTime day0(now.asUtcSeconds() + shift * 86400.0, 0);
        day0.setTzOffsetSeconds(WallClockTime::localOffsetFromUtcSeconds());
        day0.getLocalDate(day, month, year);
        set.listSessionFiles(files, recordings, "Room", year, month, day, "mp3", 0);
        if (!files.empty()) {
            break;
        }
    }
    // Six-second files: at least two after seven seconds.
    EXPECT_GE(files.size(), 2u);
    expectWholeFiles(root, "Room", year, month, day, 1);

    // A termination request ends it the same way.
    const std::string second = scratch_.file("terminated");
    const CommandRun terminated = run(
        commandLine({"sample-archive", second, "--live", "--hours", "0.01", "--location", "Room",
                     "--channels", "1", "--video", "160x120@5"}) +
        " >" + quoted(out) + " & pid=$!; for i in $(seq 100); do grep -q channels= " + quoted(out) +
        " && break; sleep 0.1; done; sleep 1; kill -TERM $pid; wait $pid; " + "echo status=$?");
    EXPECT_NE(terminated.out.find("status=0"), std::string::npos)
        << terminated.out << terminated.err;
    expectWholeFiles(second, "Room", year, month, day, 1);
}

}  // namespace
