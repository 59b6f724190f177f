#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "DirectoryLister.h"
#include "TemporaryDirectory.h"

namespace fs = std::filesystem;

namespace {

class DirectoryListerTest : public ::testing::Test {
protected:
    void touch(const fs::path& relative) {
        fs::create_directories((root_ / relative).parent_path());
        std::ofstream(root_ / relative) << "x";
    }

    TemporaryDirectory scratch_{"lister-"};
    const fs::path root_{scratch_.path()};
};

TEST_F(DirectoryListerTest, SortsCaseInsensitivelyThenBytewise) {
    for (const char* name : {"COURT2~20100315.xml", "court1~20100316.xml", "COURT1~20100315.xml",
                             "b", "_under", "A", "a"}) {
        touch(name);
    }
    std::vector<std::string> names;
    for (const auto& entry : DirectoryLister::list(root_.string())) {
        names.push_back(entry.name);
        EXPECT_TRUE(entry.isRegularFile);
        EXPECT_EQ(entry.path, root_.string() + "/" + entry.name);
    }
    // Upper-case folding puts '_' (0x5F) after the letters.
    EXPECT_EQ(names,
              (std::vector<std::string>{"A", "a", "b", "COURT1~20100315.xml", "court1~20100316.xml",
                                        "COURT2~20100315.xml", "_under"}));
}

TEST_F(DirectoryListerTest, MarksDirectoriesAndReportsMissingOnes) {
    fs::create_directories(root_ / "Databases");
    touch("file.txt");
    auto entries = DirectoryLister::list(root_.string() + "/");
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].name, "Databases");
    EXPECT_TRUE(entries[0].isDirectory);
    EXPECT_EQ(entries[0].path, root_.string() + "/Databases");

    std::string error;
    EXPECT_TRUE(DirectoryLister::list((root_ / "missing").string(), &error).empty());
    EXPECT_FALSE(error.empty());
}

TEST_F(DirectoryListerTest, ListsFilesRecursivelyDepthFirst) {
    touch("b.mp3");
    touch("a/z.mp3");
    touch("a/deeper/y.mp3");
    touch("c/x.mp3");
    std::vector<std::string> paths;
    for (const auto& entry : DirectoryLister::listRecursively(root_.string())) {
        paths.push_back(fs::path(entry.path).lexically_relative(root_).string());
    }
    EXPECT_EQ(paths, (std::vector<std::string>{"a/deeper/y.mp3", "a/z.mp3", "b.mp3", "c/x.mp3"}));
}

TEST_F(DirectoryListerTest, FollowsEachDirectoryOnceWhateverTheLinksSay) {
    touch("day/COURT1~4b9e1a40~0~0~0~0.mp3");
    touch("day/sub/COURT1~4b9e1a41~0~0~0~0.mp3");
    // A link back to the directory itself, and a second name for a subdirectory.
    fs::create_directory_symlink(".", root_ / "day/loop");
    fs::create_directory_symlink("sub", root_ / "day/alias");
    std::vector<std::string> paths;
    for (const auto& entry : DirectoryLister::listRecursively((root_ / "day").string())) {
        paths.push_back(fs::path(entry.path).lexically_relative(root_ / "day").string());
    }
    // "alias" sorts before "sub": the subdirectory is listed under the first name met.
    EXPECT_EQ(paths, (std::vector<std::string>{"alias/COURT1~4b9e1a41~0~0~0~0.mp3",
                                               "COURT1~4b9e1a40~0~0~0~0.mp3"}));

    // Two links back to the same directory once made the listing exponential.
    fs::create_directory_symlink(".", root_ / "day/a");
    fs::create_directory_symlink(".", root_ / "day/b");
    fs::create_directory_symlink("..", root_ / "day/sub/up");
    EXPECT_EQ(DirectoryLister::listRecursively((root_ / "day").string()).size(), 2u);
}

TEST(DirectoryListerJoinTest, JoinsWithOneSlash) {
    EXPECT_EQ(DirectoryLister::join("/a", "b"), "/a/b");
    EXPECT_EQ(DirectoryLister::join("/a/", "b"), "/a/b");
    EXPECT_EQ(DirectoryLister::join("", "b"), "b");
}

}  // namespace
