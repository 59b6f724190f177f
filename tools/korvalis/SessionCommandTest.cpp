// korvalis session run as a user runs it, on sample archives: the media set it prints, sealed
// spans, damaged files left out with a warning, and sessions that are not there.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ArchiveSessionSet.h"
#include "FileIo.h"
#include "KorvalisEncryptedMediaFile.h"
#include "SampleArchiveWriter.h"
#include "TemporaryDirectory.h"

namespace {

// 2010-03-15 09:00 at UTC-5.
constexpr double kNine = 1268661600.0;

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

std::string seconds(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.3f", value);
    return text;
}

class SessionCommandTest : public ::testing::Test {
protected:
    TemporaryDirectory scratch_{"session-command-"};
    std::string root_ = scratch_.file("archive");

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

    // COURT1 from 09:00 to 09:06 (UTC-5) with a recess from 09:01 to 09:02: two channels in
    // files of two minutes and video at 5 frames a second.
    void writeArchive() {
        SampleArchiveWriter::Settings settings;
        settings.locations = {"COURT1"};
        settings.channels = 2;
        settings.utcOffsetHours = -5;
        settings.hours = 0.1;
        settings.fileMinutes = 2.0;
        settings.recesses = {{9 * 60 + 1, 1}};
        settings.videoWidth = 160;
        settings.videoHeight = 120;
        settings.videoFrameRate = 5;
        SampleArchiveWriter writer(settings);
        ASSERT_TRUE(writer.write(root_)) << writer.errorText();
    }

    std::vector<std::string> files(int channel, const std::string& kind) {
        std::vector<std::string> found;
        ArchiveSessionSet(root_).listSessionFiles(found, root_ + "/Recordings", "COURT1", 2010, 3,
                                                  15, kind, channel);
        std::sort(found.begin(), found.end());
        return found;
    }
};

TEST_F(SessionCommandTest, PrintsChannelsPlayTimeRangesAndVideo) {
    writeArchive();
    const CommandRun run =
        korvalis({"session", scratch_.path() + ";/nonexistent", "court1", "20100315"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    // 60 s before the recess are 1666 frames of 36 ms; the 240 s after it 6666.
    const double before = 1666 * 0.036;
    const double after = 6666 * 0.036;
    std::string expected = "recordings: " + root_ + "/Recordings\n" + "channels: 2\n" +
                           "play-time: " + seconds(before + after) + "\n";
    for (const char* channel : {"0", "1"}) {
        expected += std::string("range ") + channel + " " + seconds(kNine) + " " +
                    seconds(kNine + before) + " plain\n";
        expected += std::string("range ") + channel + " " + seconds(kNine + 120) + " " +
                    seconds(kNine + 120 + after) + " plain\n";
    }
    // Frames every 0.2 s up to the last before 09:01 and 09:06.
    expected += "video-files: 3\nvideo: " + seconds(kNine) + " " + seconds(kNine + 359.8) + "\n";
    EXPECT_EQ(run.out, expected);

    const CommandRun listed = korvalis({"session", root_, "COURT1", "20100315", "--files"});
    EXPECT_EQ(listed.status, 0) << listed.err;
    ASSERT_EQ(listed.out.rfind(expected, 0), 0u) << listed.out;
    // Then every file in time order: three per channel and three video files.
    const std::string lines = listed.out.substr(expected.size());
    std::string wanted;
    const double starts[] = {kNine, kNine + 120, kNine + 120 + 3333 * 0.036};
    const double ends[] = {kNine + before, kNine + 120 + 3333 * 0.036, kNine + 120 + after};
    for (int channel = 0; channel < 2; ++channel) {
        const std::vector<std::string> paths = files(channel, "mp3");
        ASSERT_EQ(paths.size(), 3u);
        for (size_t k = 0; k < 3; ++k) {
            wanted += "file " + std::to_string(channel) + " " + paths[k] + " " +
                      seconds(starts[k]) + " " + seconds(ends[k]) + "\n";
        }
    }
    const std::vector<std::string> video = files(0, "kov");
    ASSERT_EQ(video.size(), 3u);
    const double videoEnds[] = {kNine + 59.8, kNine + 120 + 119.8, kNine + 359.8};
    const double videoStarts[] = {kNine, kNine + 120, kNine + 240};
    for (size_t k = 0; k < 3; ++k) {
        wanted += "file video " + video[k] + " " + seconds(videoStarts[k]) + " " +
                  seconds(videoEnds[k]) + "\n";
    }
    EXPECT_EQ(lines, wanted);
}

TEST_F(SessionCommandTest, SealedSpansAreRangesOfTheirOwn) {
    writeArchive();
    // The recess of channel 1 holds a sealed placeholder.
    const std::string directory =
        ArchiveSessionSet::dayDirectory(root_ + "/Recordings", 1, 2010, 3, 15);
    std::ofstream(directory + "/clear.bin") << std::string(4000, 'c');
    KorvalisEncryptedMediaFile sealed;
    sealed.setSourceLocation(directory, "clear.bin");
    sealed.setOriginalLocation(directory, "COURT1~4b9e2fdc~0~1~9~0.mp3");
    sealed.setStartTime(kNine + 60);
    sealed.setEndTime(kNine + 120);
    const uint8_t key[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    ASSERT_TRUE(sealed.encrypt(key, sizeof key, directory, "COURT1~4b9e2fdc~0~1~9~0.sealedAudio"))
        << sealed.getErrorText();
    std::filesystem::remove(directory + "/clear.bin");

    const CommandRun run = korvalis({"session", root_, "COURT1", "20100315"});
    EXPECT_EQ(run.status, 0) << run.err;
    const std::string channel1 = "range 1 " + seconds(kNine) + " " + seconds(kNine + 59.976) +
                                 " plain\nrange 1 " + seconds(kNine + 60) + " " +
                                 seconds(kNine + 120) + " sealed\nrange 1 " + seconds(kNine + 120) +
                                 " " + seconds(kNine + 359.976) + " plain\n";
    EXPECT_NE(run.out.find(channel1), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("range 0 " + seconds(kNine + 120)), std::string::npos) << run.out;
}

TEST_F(SessionCommandTest, DamagedFilesAreLeftOutWithOneWarningEach) {
    writeArchive();
    const std::string corrupt = files(1, "mp3")[0];
    std::ofstream(corrupt, std::ios::binary | std::ios::trunc) << std::string(5000, '\x55');
    const std::string emptied = files(1, "mp3")[2];
    std::ofstream(emptied, std::ios::binary | std::ios::trunc);
    const std::string cutVideo = files(0, "kov")[1];
    std::filesystem::resize_file(cutVideo, 300);
    // A truncated MP3 file still plays what it holds: 1000 frames and half of one (its duration
    // is measured by its size).
    const std::string shortened = files(0, "mp3")[1];
    std::filesystem::resize_file(shortened, 1000 * 144 + 72);
    std::string unreadable;
    if (::geteuid() != 0) {
        unreadable = files(0, "mp3")[2];
        std::filesystem::permissions(unreadable, std::filesystem::perms::none);
    }

    const CommandRun run = korvalis({"session", root_, "COURT1", "20100315", "--files"});
    EXPECT_EQ(run.status, 0) << run.err;
    std::vector<std::string> warned = {corrupt, emptied, cutVideo};
    if (!unreadable.empty()) {
        warned.push_back(unreadable);
    }
    for (const std::string& path : warned) {
        const std::string prefix = "korvalis session: warning: skipped " + path + ": ";
        const size_t at = run.err.find(prefix);
        EXPECT_NE(at, std::string::npos) << path << "\n" << run.err;
        EXPECT_EQ(run.err.find(prefix, at + 1), std::string::npos) << path;
        EXPECT_EQ(run.out.find(path), std::string::npos) << path;
    }
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), static_cast<long>(warned.size()));
    EXPECT_NE(run.out.find("range 1 " + seconds(kNine + 120) + " " +
                           seconds(kNine + 120 + 3333 * 0.036) + " plain\n"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("file 0 " + shortened + " " + seconds(kNine + 120) + " " +
                           seconds(kNine + 120 + 1000.5 * 0.036) + "\n"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("video-files: 2\n"), std::string::npos) << run.out;
}

TEST_F(SessionCommandTest, AMissingSessionIsAFailureAndAWrongLineAUsageError) {
    writeArchive();
    const std::string roots = scratch_.path();
    for (const auto& [location, day] : std::vector<std::pair<std::string, std::string>>{
             {"COURT2", "20100315"}, {"COURT1", "20100316"}}) {
        const CommandRun run = korvalis({"session", roots, location, day});
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, "korvalis session: no session " + location + " 2010-03-" +
                               day.substr(6) + " under " + roots + "\n");
        EXPECT_EQ(run.out, "");
    }
    const CommandRun nowhere = korvalis({"session", "/nonexistent", "COURT1", "20100315"});
    EXPECT_EQ(nowhere.status, 1);
    EXPECT_EQ(nowhere.err, "korvalis session: no session COURT1 2010-03-15 under /nonexistent\n");

    for (const std::vector<std::string>& wrong :
         {std::vector<std::string>{"session", roots, "COURT1"},
          {"session", roots, "COURT1", "2010-03-15"},
          {"session", roots, "COURT1", "20101301"},
          {"session", roots, "COURT1", "20100315", "--all"}}) {
        const CommandRun run = korvalis(wrong);
        EXPECT_EQ(run.status, 2) << wrong.back();
        EXPECT_NE(run.err.find("Usage: korvalis session"), std::string::npos);
    }
}

}  // namespace
