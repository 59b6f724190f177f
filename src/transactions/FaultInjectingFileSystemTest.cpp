#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "FaultInjectingFileSystem.h"
#include "RealFileSystem.h"
#include "TemporaryDirectory.h"

namespace {

class FaultInjectingFileSystemTest : public ::testing::Test {
protected:
    TemporaryDirectory directory_{"korvalis-faults-"};
    RealFileSystem real_;
    std::string path(const std::string& name) const { return directory_.file(name); }

    // A small transaction: make a directory, write a file in it, move it out, remove the
    // directory. Returns whether every step succeeded; stops at the first failure.
    bool transaction(FileSystem& fs) {
        return fs.createDirectory(path("work")) &&
               fs.writeFileDurably(path("work/file"), "content") &&
               fs.syncDirectory(path("work")) &&
               fs.moveWithoutReplacing(path("work/file"), path("file")) &&
               fs.removeDirectory(path("work"));
    }
};

TEST_F(FaultInjectingFileSystemTest, ForwardsAndCountsEveryOperation) {
    FaultInjectingFileSystem fs(real_);
    EXPECT_TRUE(transaction(fs));
    EXPECT_FALSE(fs.exists(path("work")));
    EXPECT_TRUE(fs.exists(path("file")));
    EXPECT_EQ(fs.operationCount(), 7u);
    EXPECT_EQ(fs.failedOperationCount(), 0u);
    EXPECT_EQ(fs.firstFailedOperation(), "");
    EXPECT_EQ(fs.operations(),
              (std::vector<std::string>{
                  "createDirectory " + path("work"), "writeFileDurably " + path("work/file"),
                  "syncDirectory " + path("work"),
                  "moveWithoutReplacing " + path("work/file") + " -> " + path("file"),
                  "removeDirectory " + path("work"), "exists " + path("work"),
                  "exists " + path("file")}));
    // Failures of the file system underneath come through with their own words.
    EXPECT_FALSE(fs.moveWithoutReplacing(path("missing"), path("file")));
    EXPECT_NE(fs.error().find("No such file or directory"), std::string::npos) << fs.error();
    EXPECT_FALSE(fs.copyFile(path("file"), path("file")));
    EXPECT_TRUE(fs.alreadyExists());
}

TEST_F(FaultInjectingFileSystemTest, FailAtRefusesOneOperationWithoutCarryingItOut) {
    FaultInjectingFileSystem fs(real_);
    fs.failAt(2);
    EXPECT_TRUE(fs.createDirectory(path("work")));
    EXPECT_FALSE(fs.writeFileDurably(path("work/file"), "content"));
    EXPECT_EQ(fs.error(), "Injected failure of operation 2: writeFileDurably " + path("work/file"));
    EXPECT_FALSE(fs.alreadyExists());
    EXPECT_FALSE(real_.exists(path("work/file")));
    EXPECT_FALSE(fs.hasCrashed());
    EXPECT_TRUE(fs.writeFileDurably(path("work/file"), "content"));
    EXPECT_TRUE(real_.exists(path("work/file")));
    EXPECT_EQ(fs.failedOperationCount(), 1u);
    EXPECT_EQ(fs.firstFailedOperation(), "writeFileDurably " + path("work/file"));
}

TEST_F(FaultInjectingFileSystemTest, CrashAtStopsEverythingFromThatOperationOn) {
    FaultInjectingFileSystem fs(real_);
    fs.crashAt(3);
    EXPECT_TRUE(fs.exists(directory_.path()));
    EXPECT_TRUE(fs.createDirectory(path("work")));
    EXPECT_FALSE(fs.hasCrashed());
    EXPECT_FALSE(fs.createDirectory(path("other")));
    EXPECT_TRUE(fs.hasCrashed());
    EXPECT_FALSE(fs.exists(path("work")));  // even queries fail after a crash
    EXPECT_FALSE(fs.removeDirectory(path("work")));
    EXPECT_EQ(fs.error(), "Stopped before operation 5: removeDirectory " + path("work"));
    EXPECT_TRUE(real_.isDirectory(path("work")));
    EXPECT_FALSE(real_.exists(path("other")));
    EXPECT_EQ(fs.failedOperationCount(), 3u);
    EXPECT_EQ(fs.operationCount(), 5u);
    fs.clearFault();
    EXPECT_TRUE(fs.exists(path("work")));
    EXPECT_FALSE(fs.hasCrashed());
}

// The harness pattern: count a clean run, then stop it at every operation in turn. Each stop
// leaves the disk in one of the states the transaction passes through.
TEST_F(FaultInjectingFileSystemTest, AHarnessCanStopATransactionAtEveryOperation) {
    uint64_t steps = 0;
    {
        FaultInjectingFileSystem counting(real_);
        ASSERT_TRUE(transaction(counting));
        steps = counting.operationCount();
        ASSERT_TRUE(real_.removeFile(path("file")));
    }
    ASSERT_EQ(steps, 5u);
    for (uint64_t n = 1; n <= steps; ++n) {
        SCOPED_TRACE("crash at operation " + std::to_string(n));
        FaultInjectingFileSystem fs(real_);
        fs.crashAt(n);
        EXPECT_FALSE(transaction(fs));
        EXPECT_EQ(fs.operationCount(), n);  // the transaction stopped at the first refusal
        EXPECT_EQ(real_.isDirectory(path("work")), n >= 2);
        EXPECT_EQ(real_.exists(path("work/file")), n == 3 || n == 4);
        EXPECT_EQ(real_.exists(path("file")), n == 5);
        // What a recovery would do: finish or clean up.
        if (real_.exists(path("work/file"))) {
            ASSERT_TRUE(real_.moveWithoutReplacing(path("work/file"), path("file")));
        }
        if (real_.isDirectory(path("work"))) {
            ASSERT_TRUE(real_.removeRecursively(path("work")));
        }
        if (real_.exists(path("file"))) {
            ASSERT_TRUE(real_.removeFile(path("file")));
        }
    }
}

}  // namespace
