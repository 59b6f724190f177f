#include <gtest/gtest.h>

#include <filesystem>

#include "TransactionScope.h"

namespace {

TEST(TransactionScopeTest, NamesTheWorkDirectoryAndCompletionFiles) {
    const TransactionScope scope("/archive/Recordings/");
    EXPECT_EQ(scope.recordingsPath(), "/archive/Recordings");
    EXPECT_EQ(scope.workDirectory(), "/archive/Recordings/SealingWorkInProgress");
    EXPECT_EQ(scope.sealingCompletionFilePath(),
              "/archive/Recordings/SealingWorkInProgress/ENCRYPTION_COMPLETE_MOVE_IN_PROGRESS.xml");
    EXPECT_EQ(scope.unsealingCompletionFilePath(),
              "/archive/Recordings/SealingWorkInProgress/DECRYPTION_COMPLETE_MOVE_IN_PROGRESS.xml");
}

TEST(TransactionScopeTest, MakesRelativePathsAbsolute) {
    const TransactionScope scope("archive/./Recordings/", "backup");
    const std::string current = std::filesystem::current_path().string();
    EXPECT_EQ(scope.recordingsPath(), current + "/archive/Recordings");
    EXPECT_EQ(scope.archiveLocation(), current + "/backup");
    EXPECT_TRUE(TransactionScope::isCleanAbsolutePath(scope.workDirectory()));
    EXPECT_EQ(TransactionScope("").recordingsPath(), "");
}

TEST(TransactionScopeTest, ArchivedCopyPathKeepsTheLastFourComponents) {
    EXPECT_EQ(TransactionScope::archivedCopyPath("/backup", "/a/Recordings/001/20100315/x.mp3"),
              "/backup/Recordings/001/20100315/x.mp3");
    EXPECT_EQ(TransactionScope::archivedCopyPath("/backup/", "/deep/er/Recordings/1/2/x"),
              "/backup/Recordings/1/2/x");
    EXPECT_EQ(TransactionScope::archivedCopyPath("/backup", "1/2/x"), "/backup/1/2/x");
    EXPECT_EQ(TransactionScope::archivedCopyPath("", "/a/Recordings/1/2/x"), "");
}

TEST(TransactionScopeTest, RefusesPathsThatAreNotPlainAndAbsolute) {
    for (const char* path : {"", "relative/file", "/a//b", "/a/./b", "/a/../b", "/a/b/", "/a/.."}) {
        EXPECT_FALSE(TransactionScope::isCleanAbsolutePath(path)) << path;
    }
    EXPECT_FALSE(TransactionScope::isCleanAbsolutePath(std::string("/a/b\0c", 6)));
    EXPECT_TRUE(TransactionScope::isCleanAbsolutePath("/a/b c/.hidden/..x"));
}

TEST(TransactionScopeTest, ConfinesEveryKindOfPath) {
    const TransactionScope scope("/arc/Recordings");
    std::string error;
    EXPECT_TRUE(scope.isDeletableMediaPath("/arc/Recordings/001/20100315/f.mp3", error));
    EXPECT_TRUE(
        scope.isDeletableMediaPath("/arc/Recordings/SealingWorkInProgress/part.mp3", error));
    for (const char* outside :
         {"/etc/passwd", "/arc/Recordings", "/arc/RecordingsX/f.mp3", "/arc/Recordings/../x",
          "/arc/Databases/d.xml", "arc/Recordings/001/f.mp3"}) {
        EXPECT_FALSE(scope.isDeletableMediaPath(outside, error)) << outside;
        EXPECT_NE(error.find(outside), std::string::npos) << error;
    }

    EXPECT_TRUE(scope.isWorkFilePath("/arc/Recordings/SealingWorkInProgress/p.mp3", error));
    EXPECT_FALSE(scope.isWorkFilePath("/arc/Recordings/SealingWorkInProgress", error));
    EXPECT_FALSE(scope.isWorkFilePath("/arc/Recordings/001/p.mp3", error));
    EXPECT_FALSE(scope.isWorkFilePath("/arc/Recordings/SealingWorkInProgressX/p.mp3", error));

    EXPECT_TRUE(scope.isArchiveDestinationPath("/arc/Recordings/001/20100315/p.mp3", error));
    EXPECT_FALSE(
        scope.isArchiveDestinationPath("/arc/Recordings/SealingWorkInProgress/p.mp3", error));
    EXPECT_FALSE(scope.isArchiveDestinationPath("/tmp/p.mp3", error));

    // Without a known archive location: the layout of an archive, outside this one.
    EXPECT_TRUE(scope.isArchivedCopyPath("/backup/Recordings/001/20100315/f.mp3", error));
    EXPECT_FALSE(scope.isArchivedCopyPath("/etc/passwd", error));
    EXPECT_FALSE(scope.isArchivedCopyPath("/backup/Other/001/20100315/f.mp3", error));
    EXPECT_FALSE(scope.isArchivedCopyPath("/Recordings/001/20100315/f.mp3", error));
    EXPECT_FALSE(scope.isArchivedCopyPath("/arc/Recordings/001/20100315/f.mp3", error));
    EXPECT_FALSE(scope.isArchivedCopyPath("/backup/Recordings/../../etc/passwd", error));

    const TransactionScope withLocation("/arc/Recordings", "/backup/");
    EXPECT_TRUE(withLocation.isArchivedCopyPath("/backup/Recordings/001/20100315/f.mp3", error));
    EXPECT_FALSE(withLocation.isArchivedCopyPath("/other/Recordings/001/20100315/f.mp3", error));
    EXPECT_FALSE(withLocation.isArchivedCopyPath("/backup/x/Recordings/001/20100315/f.mp3", error));
    EXPECT_NE(error.find("/backup"), std::string::npos) << error;
}

}  // namespace
