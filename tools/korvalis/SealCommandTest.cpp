// korvalis seal and korvalis unseal run as a user runs them, on a sample archive: a range sealed
// and unsealed back to the same media, and bad input refused with the archive untouched.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "KorvalisSealingSessionTestSupport.h"
#include "KorvalisUserSealingKey.h"
#include "SampleArchiveWriter.h"
#include "TemporaryDirectory.h"

namespace {

namespace fs = std::filesystem;
using Support = KorvalisSealingSessionTestSupport;

struct CommandRun {
    int status = -1;
    std::vector<std::string> lines;  // standard output
    std::string err;
};

std::string quoted(const std::string& argument) {
    std::string text = "'";
    for (const char c : argument) {
        text += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return text + "'";
}

class SealCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        SampleArchiveWriter::Settings settings;
        settings.locations = {"COURT1"};
        settings.channels = 3;
        settings.hours = 0.1;
        settings.fileMinutes = 2.0;
        settings.videoWidth = 64;
        settings.videoHeight = 48;
        settings.videoFrameRate = 5;
        SampleArchiveWriter writer(settings);
        ASSERT_TRUE(writer.write(root_)) << writer.errorText();
        start_ = writer.sessionStart(SampleArchiveWriter::Date{});
        key_ = Support::makeUserKey();
        ASSERT_TRUE(Support::writeUserKeyFile(*key_, keyFile_));
        std::ofstream(passphraseFile_) << Support::kPassphrase << "\n";
    }

    CommandRun korvalis(const std::vector<std::string>& arguments) {
        std::string command = quoted(KORVALIS_EXECUTABLE);
        for (const std::string& argument : arguments) {
            command += " " + quoted(argument);
        }
        const std::string out = scratch_.file("stdout");
        const std::string err = scratch_.file("stderr");
        command += " >" + quoted(out) + " 2>" + quoted(err) + " </dev/null";
        CommandRun run;
        const int status = std::system(command.c_str());
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        std::istringstream lines(Support::readFile(out));
        for (std::string line; std::getline(lines, line);) {
            run.lines.push_back(line);
        }
        run.err = Support::readFile(err);
        return run;
    }

    std::vector<std::string> rangeArguments(const std::string& command, double from, double to,
                                            const std::string& passphraseFile) {
        return {command,
                root_,
                "COURT1",
                "20100315",
                "--from",
                std::to_string(from),
                "--to",
                std::to_string(to),
                "--key",
                keyFile_,
                "--passphrase-file",
                passphraseFile};
    }

    // The bytes of a channel directory's clear files of `extension`, in time order (names
    // carry the start time in fixed-width hexadecimal).
    std::string concatenated(int channel, const std::string& extension) {
        std::vector<std::string> paths;
        char relative[64];
        std::snprintf(relative, sizeof relative, "/Recordings/%03d/20100315", channel);
        for (const auto& entry : fs::directory_iterator(root_ + relative)) {
            if (entry.path().extension() == extension) {
                paths.push_back(entry.path().string());
            }
        }
        std::sort(paths.begin(), paths.end());
        std::string bytes;
        for (const std::string& path : paths) {
            bytes += Support::readFile(path);
        }
        return bytes;
    }

    size_t sealedFiles() {
        size_t count = 0;
        for (const auto& entry : fs::recursive_directory_iterator(root_ + "/Recordings")) {
            const std::string extension = entry.path().extension().string();
            count += extension == ".sealedAudio" || extension == ".sealedVideo";
        }
        return count;
    }

    TemporaryDirectory scratch_{"seal-command-"};
    std::string root_ = scratch_.file("archive");
    std::string keyFile_ = scratch_.file("key.xml");
    std::string passphraseFile_ = scratch_.file("passphrase");
    double start_ = 0.0;
    std::unique_ptr<KorvalisUserSealingKey> key_;
};

TEST_F(SealCommandTest, RangeIsSealedAndUnsealedBackToTheSameMedia) {
    const std::string audio = concatenated(1, ".mp3");
    const auto before = Support::snapshot(root_ + "/Recordings");
    const CommandRun seal =
        korvalis(rangeArguments("seal", start_ + 150.0, start_ + 200.0, passphraseFile_));
    ASSERT_EQ(seal.status, 0) << seal.err;
    ASSERT_FALSE(seal.lines.empty());
    EXPECT_EQ(seal.lines.front(), "Starting sealing process ...");
    EXPECT_EQ(seal.lines.back(), "Removing working directory ...");
    EXPECT_NE(std::find(seal.lines.begin(), seal.lines.end(),
                        "     - Range is entirely within file, double split required."),
              seal.lines.end());
    // Progress goes to a terminal only.
    EXPECT_EQ(seal.err, "");
    EXPECT_EQ(sealedFiles(), 4u);  // three channels and the video
    EXPECT_FALSE(fs::exists(root_ + "/Recordings/SealingWorkInProgress"));

    const CommandRun unseal =
        korvalis(rangeArguments("unseal", start_ + 149.0, start_ + 201.0, passphraseFile_));
    ASSERT_EQ(unseal.status, 0) << unseal.err;
    EXPECT_EQ(unseal.lines.front(), "Starting unsealing process ...");
    EXPECT_EQ(unseal.lines.back(), "Removing working directory ...");
    EXPECT_EQ(sealedFiles(), 0u);
    EXPECT_TRUE(concatenated(1, ".mp3") == audio);
    // The split files stay split; every other file is as it was.
    const auto after = Support::snapshot(root_ + "/Recordings");
    size_t unchanged = 0;
    for (const auto& [path, bytes] : before) {
        const auto found = after.find(path);
        unchanged += found != after.end() && found->second == bytes;
    }
    EXPECT_EQ(unchanged, before.size() - 4);
}

TEST_F(SealCommandTest, BadInputIsRefusedAndTheArchiveIsUntouched) {
    const auto before = Support::snapshot(root_);
    const std::string wrong = scratch_.file("wrong");
    std::ofstream(wrong) << "not the passphrase\n";
    CommandRun run = korvalis(rangeArguments("seal", start_ + 150.0, start_ + 200.0, wrong));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("Bad passphrase!"), std::string::npos) << run.err;

    run = korvalis(rangeArguments("seal", start_ - 5000.0, start_ - 4000.0, passphraseFile_));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("the range lies outside the session"), std::string::npos) << run.err;

    std::ofstream(scratch_.file("broken.xml")) << "<KoUserSealingKey>";
    auto arguments = rangeArguments("unseal", start_ + 150.0, start_ + 200.0, passphraseFile_);
    arguments[9] = scratch_.file("broken.xml");
    run = korvalis(arguments);
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.lines.empty());

    arguments = rangeArguments("seal", start_ + 150.0, start_ + 200.0, passphraseFile_);
    arguments.insert(arguments.end(), {"--archive-location", scratch_.file("nowhere")});
    run = korvalis(arguments);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("is not an archive"), std::string::npos) << run.err;

    run = korvalis({"seal", root_, "COURT1", "20100315", "--from", "1", "--key", keyFile_});
    EXPECT_EQ(run.status, 2);
    run = korvalis(rangeArguments("seal", start_ + 200.0, start_ + 150.0, passphraseFile_));
    EXPECT_EQ(run.status, 2);
    run = korvalis(
        {"unseal", root_, "COURT9", "20100315", "--from", "1", "--to", "2", "--key", keyFile_});
    EXPECT_EQ(run.status, 1);

    EXPECT_TRUE(Support::snapshot(root_) == before);
}

TEST_F(SealCommandTest, UnsealingWithAnotherArchivesKeyFailsAndChangesNothing) {
    ASSERT_EQ(
        korvalis(rangeArguments("seal", start_ + 150.0, start_ + 200.0, passphraseFile_)).status,
        0);
    const auto before = Support::snapshot(root_);
    const auto other = Support::makeUserKey();
    ASSERT_TRUE(Support::writeUserKeyFile(*other, scratch_.file("other.xml")));
    auto arguments = rangeArguments("unseal", start_ + 149.0, start_ + 201.0, passphraseFile_);
    arguments[9] = scratch_.file("other.xml");
    const CommandRun run = korvalis(arguments);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(std::find(run.lines.begin(), run.lines.end(), "FAILED!"), run.lines.end());
    EXPECT_TRUE(Support::snapshot(root_) == before);
}

}  // namespace
