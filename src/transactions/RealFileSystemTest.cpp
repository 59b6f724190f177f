#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "FileIo.h"
#include "RealFileSystem.h"
#include "TemporaryDirectory.h"

namespace {

std::string contentOf(const std::string& path) {
    std::string bytes;
    EXPECT_TRUE(FileIo::readWholeFile(path, bytes)) << path;
    return bytes;
}

void put(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// Bytes that differ from piece to piece, so a piece copied twice or out of order shows.
std::string patternBytes(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>((i * 131 + i / 4099) & 0xFF);
    }
    return bytes;
}

class RealFileSystemTest : public ::testing::Test {
protected:
    TemporaryDirectory directory_{"korvalis-fs-"};
    RealFileSystem fs_;
    std::string path(const std::string& name) const { return directory_.file(name); }
};

TEST_F(RealFileSystemTest, ExistsAndIsDirectoryTellKindsApart) {
    put(path("file"), "x");
    ASSERT_EQ(::symlink("/nonexistent/target", path("dangling").c_str()), 0);
    EXPECT_TRUE(fs_.exists(path("file")));
    EXPECT_FALSE(fs_.isDirectory(path("file")));
    EXPECT_TRUE(fs_.exists(path("dangling")));  // a dangling link still holds the name
    EXPECT_FALSE(fs_.isDirectory(path("dangling")));
    EXPECT_TRUE(fs_.isDirectory(directory_.path()));
    EXPECT_FALSE(fs_.exists(path("missing")));
    EXPECT_FALSE(fs_.exists(path("file/below")));
}

TEST_F(RealFileSystemTest, CreatesDirectoriesAndAcceptsExistingOnes) {
    EXPECT_TRUE(fs_.createDirectory(path("work")));
    EXPECT_TRUE(fs_.isDirectory(path("work")));
    EXPECT_TRUE(fs_.createDirectory(path("work")));
    put(path("plain"), "x");
    EXPECT_FALSE(fs_.createDirectory(path("plain")));
    EXPECT_NE(fs_.error().find(path("plain")), std::string::npos) << fs_.error();
    EXPECT_FALSE(fs_.createDirectory(path("missing/work")));
    EXPECT_NE(fs_.error().find("No such file or directory"), std::string::npos) << fs_.error();
}

TEST_F(RealFileSystemTest, RemovesFilesAndEmptyDirectoriesOnly) {
    put(path("file"), "x");
    EXPECT_TRUE(fs_.removeFile(path("file")));
    EXPECT_FALSE(fs_.exists(path("file")));
    EXPECT_FALSE(fs_.removeFile(path("file")));
    EXPECT_EQ(fs_.error(), "Could not remove " + path("file") + ": No such file or directory");

    ASSERT_TRUE(fs_.createDirectory(path("full")));
    put(path("full/inside"), "x");
    EXPECT_FALSE(fs_.removeDirectory(path("full")));
    EXPECT_TRUE(fs_.exists(path("full/inside")));
    EXPECT_FALSE(fs_.removeFile(path("full")));
    ASSERT_TRUE(fs_.removeFile(path("full/inside")));
    EXPECT_TRUE(fs_.removeDirectory(path("full")));
    EXPECT_FALSE(fs_.exists(path("full")));
}

TEST_F(RealFileSystemTest, RemovesTreesWithReadOnlyPartsButNeverFollowsLinks) {
    const std::string outside = path("outside");
    ASSERT_TRUE(fs_.createDirectory(outside));
    put(outside + "/keep", "precious");
    const std::string tree = path("tree");
    ASSERT_TRUE(fs_.createDirectory(tree));
    ASSERT_TRUE(fs_.createDirectory(tree + "/sub"));
    ASSERT_TRUE(fs_.createDirectory(tree + "/sub/deeper"));
    put(tree + "/sub/deeper/file", "x");
    put(tree + "/readonly", "x");
    ASSERT_EQ(::chmod((tree + "/readonly").c_str(), 0444), 0);
    put(tree + "/sub/locked-file", "x");
    ASSERT_EQ(::chmod((tree + "/sub").c_str(), 0555), 0);  // its entries cannot be unlinked
    ASSERT_EQ(::symlink(outside.c_str(), (tree + "/link-to-outside").c_str()), 0);
    ASSERT_EQ(::symlink((outside + "/keep").c_str(), (tree + "/link-to-file").c_str()), 0);

    EXPECT_TRUE(fs_.removeRecursively(tree)) << fs_.error();
    EXPECT_FALSE(fs_.exists(tree));
    EXPECT_EQ(contentOf(outside + "/keep"), "precious");

    put(path("plain"), "x");
    EXPECT_FALSE(fs_.removeRecursively(path("plain")));
    EXPECT_TRUE(fs_.exists(path("plain")));
    EXPECT_FALSE(fs_.removeRecursively(path("missing")));
    EXPECT_FALSE(fs_.removeRecursively(path("outside-link")));
}

TEST_F(RealFileSystemTest, MovesNeverReplaceAnything) {
    put(path("a"), "first");
    put(path("b"), "second");
    EXPECT_FALSE(fs_.moveWithoutReplacing(path("a"), path("b")));
    EXPECT_TRUE(fs_.alreadyExists());
    EXPECT_EQ(contentOf(path("a")), "first");
    EXPECT_EQ(contentOf(path("b")), "second");
    EXPECT_NE(fs_.error().find("File exists"), std::string::npos) << fs_.error();

    ASSERT_EQ(::symlink("/nonexistent/target", path("dangling").c_str()), 0);
    EXPECT_FALSE(fs_.moveWithoutReplacing(path("a"), path("dangling")));
    EXPECT_TRUE(fs_.alreadyExists());
    EXPECT_EQ(contentOf(path("a")), "first");

    ASSERT_TRUE(fs_.createDirectory(path("sub")));
    EXPECT_TRUE(fs_.moveWithoutReplacing(path("a"), path("sub/a")));
    EXPECT_FALSE(fs_.exists(path("a")));
    EXPECT_EQ(contentOf(path("sub/a")), "first");

    EXPECT_FALSE(fs_.moveWithoutReplacing(path("missing"), path("c")));
    EXPECT_FALSE(fs_.alreadyExists());
    EXPECT_FALSE(fs_.exists(path("c")));
}

TEST_F(RealFileSystemTest, CopiesLargeFilesExactlyAndNeverOverAnything) {
    const std::string bytes = patternBytes(2 * FileSystem::kPieceBytes + 12345);
    put(path("source"), bytes);
    EXPECT_TRUE(fs_.copyFile(path("source"), path("copy"))) << fs_.error();
    EXPECT_EQ(contentOf(path("copy")), bytes);
    EXPECT_EQ(contentOf(path("source")), bytes);

    put(path("taken"), "mine");
    EXPECT_FALSE(fs_.copyFile(path("source"), path("taken")));
    EXPECT_TRUE(fs_.alreadyExists());
    EXPECT_EQ(contentOf(path("taken")), "mine");

    put(path("empty"), "");
    EXPECT_TRUE(fs_.copyFile(path("empty"), path("empty-copy")));
    EXPECT_EQ(contentOf(path("empty-copy")), "");

    EXPECT_FALSE(fs_.copyFile(path("missing"), path("nothing")));
    EXPECT_FALSE(fs_.alreadyExists());
    EXPECT_FALSE(fs_.exists(path("nothing")));
    // No temporary file is left beside a failed copy.
    std::vector<DirectoryEntry> entries;
    ASSERT_TRUE(fs_.listDirectory(directory_.path(), entries));
    for (const DirectoryEntry& entry : entries) {
        EXPECT_FALSE(entry.name.starts_with(".korvalis-")) << entry.name;
    }
}

TEST_F(RealFileSystemTest, ReadsInPiecesOfTheGivenSizeUntilTold) {
    const std::string bytes = patternBytes(10);
    put(path("file"), bytes);
    std::vector<std::string> pieces;
    EXPECT_TRUE(fs_.readFileInPieces(path("file"), 4, [&](std::string_view piece) {
        pieces.emplace_back(piece);
        return true;
    }));
    EXPECT_EQ(pieces,
              (std::vector<std::string>{bytes.substr(0, 4), bytes.substr(4, 4), bytes.substr(8)}));
    int calls = 0;
    EXPECT_FALSE(fs_.readFileInPieces(path("file"), 4, [&](std::string_view) {
        ++calls;
        return false;
    }));
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(fs_.readFileInPieces(path("file"), 0, [](std::string_view) { return true; }));
    EXPECT_FALSE(fs_.readFileInPieces(path("missing"), 4, [](std::string_view) { return true; }));
}

TEST_F(RealFileSystemTest, WritesDurablyAndReadsBackWithALimit) {
    EXPECT_TRUE(fs_.writeFileDurably(path("record.xml"), "one"));
    EXPECT_TRUE(fs_.writeFileDurably(path("record.xml"), "two, longer"));
    std::string bytes;
    EXPECT_TRUE(fs_.readWholeFile(path("record.xml"), bytes, 100));
    EXPECT_EQ(bytes, "two, longer");
    EXPECT_FALSE(fs_.readWholeFile(path("record.xml"), bytes, 5));
    EXPECT_FALSE(fs_.readWholeFile(directory_.path(), bytes, 100));
    EXPECT_FALSE(fs_.writeFileDurably(path("missing/record.xml"), "x"));
    std::vector<DirectoryEntry> entries;
    ASSERT_TRUE(fs_.listDirectory(directory_.path(), entries));
    ASSERT_EQ(entries.size(), 1u);  // no temporary file stays behind
    EXPECT_EQ(entries[0].name, "record.xml");
}

TEST_F(RealFileSystemTest, SyncsListsAndMeasures) {
    put(path("b"), "12345");
    ASSERT_TRUE(fs_.createDirectory(path("a")));
    EXPECT_TRUE(fs_.syncFile(path("b")));
    EXPECT_TRUE(fs_.syncDirectory(path("a")));
    EXPECT_FALSE(fs_.syncFile(path("missing")));
    EXPECT_FALSE(fs_.syncDirectory(path("b")));

    std::vector<DirectoryEntry> entries;
    ASSERT_TRUE(fs_.listDirectory(directory_.path(), entries));
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].name, "a");
    EXPECT_TRUE(entries[0].isDirectory);
    EXPECT_EQ(entries[1].name, "b");
    EXPECT_TRUE(entries[1].isRegularFile);
    EXPECT_FALSE(fs_.listDirectory(path("missing"), entries));

    uint64_t size = 0;
    EXPECT_TRUE(fs_.fileSize(path("b"), size));
    EXPECT_EQ(size, 5u);
    EXPECT_FALSE(fs_.fileSize(path("a"), size));
    EXPECT_FALSE(fs_.fileSize(path("missing"), size));
}

}  // namespace
