#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "SplitArguments.h"
#include "TemporaryDirectory.h"

namespace {

SplitArguments parsed(const std::vector<std::string>& arguments, std::string* error = nullptr) {
    CommandLine line(arguments, {"at", "out", "mode", "tolerance"});
    SplitArguments split;
    std::string reason;
    EXPECT_TRUE(line.isValid());
    const bool ok = SplitArguments::parse(line, split, reason);
    if (error != nullptr) {
        *error = ok ? "" : reason;
    }
    return split;
}

TEST(SplitArgumentsTest, ReadsOneOrTwoTimesModeAndTolerance) {
    SplitArguments two = parsed({"split", "f.mp3", "--at", "0x4b9e1a40", "--at", "1268652700.5",
                                 "--out", "parts", "--mode", "2", "--tolerance", "0.25"});
    EXPECT_EQ(two.file, "f.mp3");
    EXPECT_EQ(two.times, (std::vector<double>{1268652608.0, 1268652700.5}));
    EXPECT_EQ(two.mode, 2);
    EXPECT_EQ(two.toleranceSeconds, 0.25f);
    EXPECT_EQ(two.outputDirectory, "parts");

    SplitArguments one = parsed({"split", "f.kov", "--at", "100", "--out", "d"});
    EXPECT_EQ(one.times.size(), 1u);
    EXPECT_EQ(one.mode, 0);
    EXPECT_EQ(one.toleranceSeconds, 1.0f);
}

TEST(SplitArgumentsTest, RefusesWhatCannotBeCut) {
    const std::vector<std::vector<std::string>> wrong = {
        {"split", "f", "--out", "d"},                                         // no time
        {"split", "f", "--at", "1", "--at", "2", "--at", "3", "--out", "d"},  // three times
        {"split", "f", "--at", "1"},                                          // no directory
        {"split", "--at", "1", "--out", "d"},                                 // no file
        {"split", "f", "--at", "soon", "--out", "d"},
        {"split", "f", "--at", "200", "--at", "100", "--out", "d"},  // reversed
        {"split", "f", "--at", "200", "--at", "200", "--out", "d"},
        {"split", "f", "--at", "1", "--out", "d", "--mode", "2"},  // no middle part of one cut
        {"split", "f", "--at", "1", "--at", "2", "--out", "d", "--mode", "4"},
        {"split", "f", "--at", "1", "--out", "d", "--tolerance", "-1"},
    };
    for (const auto& arguments : wrong) {
        std::string error;
        parsed(arguments, &error);
        EXPECT_FALSE(error.empty()) << arguments.size();
    }
}

TEST(SplitArgumentsTest, MakesTheOutputDirectoryOrSaysWhyNot) {
    TemporaryDirectory scratch("split-arguments-");
    SplitArguments split;
    split.outputDirectory = scratch.file("a/b");
    std::string error;
    EXPECT_TRUE(split.prepareOutputDirectory(error));
    EXPECT_TRUE(std::filesystem::is_directory(scratch.file("a/b")));

    std::ofstream(scratch.file("plain")) << "x";
    split.outputDirectory = scratch.file("plain");
    EXPECT_FALSE(split.prepareOutputDirectory(error));
    EXPECT_NE(error.find("plain"), std::string::npos);
}

}  // namespace
