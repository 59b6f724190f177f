#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>

#include "FileIo.h"
#include "FlushRecorder.h"
#include "TemporaryDirectory.h"
#include "TemporaryFile.h"

namespace fs = std::filesystem;

namespace {

class FileIoTest : public ::testing::Test {
protected:
    std::string path(const std::string& name) const { return (directory_ / name).string(); }
    size_t entryCount() const {
        return static_cast<size_t>(std::distance(fs::directory_iterator(directory_), {}));
    }

    TemporaryDirectory scratch_{"fileio-"};
    const fs::path directory_{scratch_.path()};
};

TEST_F(FileIoTest, AtomicWriteReplacesTheFileAndLeavesNoTemporary) {
    ASSERT_TRUE(FileIo::writeFileAtomically(path("record.xml"), "old"));
    ASSERT_TRUE(FileIo::writeFileAtomically(path("record.xml"), std::string("new\0data", 8)));
    std::string bytes;
    ASSERT_TRUE(FileIo::readWholeFile(path("record.xml"), bytes));
    EXPECT_EQ(bytes, std::string("new\0data", 8));
    EXPECT_EQ(entryCount(), 1u);
    const auto permissions = fs::status(path("record.xml")).permissions();
    EXPECT_NE(permissions & fs::perms::owner_read, fs::perms::none);
}

TEST_F(FileIoTest, PrivateAtomicWriteIsReadableByItsOwnerOnly) {
    ASSERT_TRUE(FileIo::writeFileAtomically(path("key.xml"), "old"));
    ASSERT_TRUE(FileIo::writePrivateFileAtomically(path("key.xml"), "secret"));
    std::string bytes;
    ASSERT_TRUE(FileIo::readWholeFile(path("key.xml"), bytes));
    EXPECT_EQ(bytes, "secret");
    EXPECT_EQ(fs::status(path("key.xml")).permissions(),
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(entryCount(), 1u);
}

TEST_F(FileIoTest, NewPrivateFilesNeverReplaceAnything) {
    bool nameTaken = true;
    std::string error;
    ASSERT_TRUE(FileIo::writeNewPrivateFile(path("key.xml"), "first", nameTaken, &error)) << error;
    EXPECT_FALSE(nameTaken);
    EXPECT_EQ(fs::status(path("key.xml")).permissions(),
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_FALSE(FileIo::writeNewPrivateFile(path("key.xml"), "second", nameTaken, &error));
    EXPECT_TRUE(nameTaken);
    std::string bytes;
    ASSERT_TRUE(FileIo::readWholeFile(path("key.xml"), bytes));
    EXPECT_EQ(bytes, "first");
    EXPECT_EQ(entryCount(), 1u);
    EXPECT_FALSE(FileIo::writeNewPrivateFile(path("no/such/key.xml"), "x", nameTaken, &error));
    EXPECT_FALSE(nameTaken);
}

TEST_F(FileIoTest, FailedRenameKeepsTheTargetAndRemovesTheTemporary) {
    // A non-empty directory cannot be replaced by a file: the rename step fails.
    fs::create_directories(directory_ / "record.xml" / "inside");
    std::string error;
    EXPECT_FALSE(FileIo::writeFileAtomically(path("record.xml"), "new", &error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(fs::is_directory(directory_ / "record.xml" / "inside"));
    EXPECT_EQ(entryCount(), 1u);
}

TEST_F(FileIoTest, AtomicWriteIntoAMissingDirectoryFails) {
    std::string error;
    EXPECT_FALSE(FileIo::writeFileAtomically(path("no/such/record.xml"), "x", &error));
    EXPECT_FALSE(error.empty());
}

TEST_F(FileIoTest, StreamedAtomicWriteAppearsWholeOrNotAtAll) {
    ASSERT_TRUE(FileIo::writeFileAtomically(path("audio.mp3"), "old"));
    int calls = 0;
    ASSERT_TRUE(FileIo::writeFileAtomically(path("audio.mp3"), [&](int descriptor) {
        ++calls;
        return FileIo::writeAll(descriptor, "one ", 4) && FileIo::writeAll(descriptor, "two", 3);
    }));
    EXPECT_EQ(calls, 1);
    std::string bytes;
    ASSERT_TRUE(FileIo::readWholeFile(path("audio.mp3"), bytes));
    EXPECT_EQ(bytes, "one two");

    // An abandoned write leaves the old content and no temporary file.
    std::string error;
    EXPECT_FALSE(FileIo::writeFileAtomically(
        path("audio.mp3"),
        [](int descriptor) { return FileIo::writeAll(descriptor, "partial", 7) && false; },
        &error));
    EXPECT_NE(error.find("abandoned"), std::string::npos) << error;
    ASSERT_TRUE(FileIo::readWholeFile(path("audio.mp3"), bytes));
    EXPECT_EQ(bytes, "one two");
    EXPECT_EQ(entryCount(), 1u);
}

TEST_F(FileIoTest, ReplacingAFileKeepsItsModeAndOwner) {
    const std::string record = path("record.xml");
    ASSERT_TRUE(FileIo::writeFileAtomically(record, "old"));
    for (const mode_t mode : {0600, 0640, 0664, 0444}) {
        SCOPED_TRACE(mode);
        ASSERT_EQ(::chmod(record.c_str(), mode), 0);
        ASSERT_TRUE(FileIo::writeFileAtomically(record, "new"));
        struct stat status {};
        ASSERT_EQ(::stat(record.c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 07777, mode);
    }
    // Only a privileged process may give a file away; it keeps the replaced file's owner.
    const uid_t owner = ::geteuid() == 0 ? 65534 : ::geteuid();
    const gid_t group = ::geteuid() == 0 ? 65534 : ::getegid();
    ASSERT_EQ(::chown(record.c_str(), owner, group), 0);
    ASSERT_TRUE(FileIo::writeFileAtomically(record, "newer"));
    struct stat status {};
    ASSERT_EQ(::stat(record.c_str(), &status), 0);
    EXPECT_EQ(status.st_uid, owner);
    EXPECT_EQ(status.st_gid, group);
    // A new file is as readable as any file the user makes, and never executable.
    const mode_t mask = ::umask(027);
    ASSERT_TRUE(FileIo::writeFileAtomically(path("fresh.xml"), "x"));
    ::umask(mask);
    ASSERT_EQ(::stat(path("fresh.xml").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0640u);
}

TEST_F(FileIoTest, NamesOfEveryLegalLengthAreWritten) {
    for (const size_t length : {size_t{200}, size_t{248}, size_t{255}}) {
        SCOPED_TRACE(length);
        const std::string name = std::string(length - 4, 'r') + ".xml";
        std::string error;
        ASSERT_TRUE(FileIo::writeFileAtomically(path(name), "first", &error)) << error;
        ASSERT_TRUE(FileIo::writeFileAtomically(path(name), "second", &error)) << error;
        std::string bytes;
        ASSERT_TRUE(FileIo::readWholeFile(path(name), bytes));
        EXPECT_EQ(bytes, "second");
    }
    EXPECT_EQ(entryCount(), 3u);
}

TEST_F(FileIoTest, AKilledWritersTemporaryIsRemovedByTheNextWrite) {
    const std::string record = path("record.xml");
    ASSERT_TRUE(FileIo::writeFileAtomically(record, "old"));
    // A writer killed halfway leaves its temporary file behind, as a crash or kill -9 would.
    for (int kill = 0; kill < 3; ++kill) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            FileIo::writeFileAtomically(record, [](int descriptor) {
                FileIo::writeAll(descriptor, "half", 4);
                ::raise(SIGKILL);
                return true;
            });
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status));
    }
    // Each write clears what the one before left: debris never piles up.
    ASSERT_EQ(entryCount(), 2u);
    ASSERT_TRUE(FileIo::writeFileAtomically(record, "new"));
    EXPECT_EQ(entryCount(), 1u);
    std::string bytes;
    ASSERT_TRUE(FileIo::readWholeFile(record, bytes));
    EXPECT_EQ(bytes, "new");
}

TEST_F(FileIoTest, AWriteInProgressIsNotMistakenForALeftover) {
    const std::string record = path("record.xml");
    // While one write of the record is under way, another one of the same record runs.
    bool innerDone = false;
    ASSERT_TRUE(FileIo::writeFileAtomically(record, [&](int descriptor) {
        innerDone = FileIo::writeFileAtomically(record, "inner");
        return FileIo::writeAll(descriptor, "outer", 5);
    }));
    EXPECT_TRUE(innerDone);
    std::string bytes;
    ASSERT_TRUE(FileIo::readWholeFile(record, bytes));
    EXPECT_EQ(bytes, "outer");
    EXPECT_EQ(entryCount(), 1u);
}

TEST_F(FileIoTest, WritesAreFlushedWithTheirDirectoryBeforeTheyReturn) {
    FlushRecorder recorder;
    ASSERT_TRUE(FileIo::writeFileAtomically(path("record.xml"), "content"));
    EXPECT_TRUE(recorder.wasFlushed(path("record.xml")));
    EXPECT_TRUE(recorder.wasFlushed(directory_.string()));
    ASSERT_TRUE(FileIo::writePrivateFileAtomically(path("key.xml"), "secret"));
    EXPECT_TRUE(recorder.wasFlushed(path("key.xml")));
}

TEST_F(FileIoTest, TemporaryDirectoriesGoWithEverythingInThem) {
    std::string made;
    {
        TemporaryDirectory scratch("scratch-", directory_.string());
        ASSERT_TRUE(scratch.isValid());
        made = scratch.path();
        EXPECT_EQ(made.rfind(path("scratch-"), 0), 0u);
        fs::create_directories(made + "/a.b/c~d");
        std::ofstream(made + "/a.b/c~d/file") << "x";
    }
    EXPECT_FALSE(fs::exists(made));
    {
        TemporaryDirectory kept("kept-", directory_.string());
        kept.keep();
        made = kept.path();
    }
    EXPECT_TRUE(fs::is_directory(made));
    TemporaryDirectory nowhere("x-", path("missing"));
    EXPECT_FALSE(nowhere.isValid());
    EXPECT_FALSE(nowhere.error().empty());
}

TEST_F(FileIoTest, ReadRefusesDirectoriesMissingAndOversizedFiles) {
    std::string bytes = "untouched";
    std::string error;
    EXPECT_FALSE(FileIo::readWholeFile(path("missing"), bytes, UINT32_MAX, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(FileIo::readWholeFile(directory_.string(), bytes));
    // A pipe is refused at once rather than waited on.
    ASSERT_EQ(::mkfifo(path("pipe").c_str(), 0600), 0);
    EXPECT_FALSE(FileIo::readWholeFile(path("pipe"), bytes));
    EXPECT_EQ(bytes, "untouched");
    std::ofstream(path("big")) << std::string(100, 'x');
    EXPECT_FALSE(FileIo::readWholeFile(path("big"), bytes, 99));
    EXPECT_TRUE(FileIo::readWholeFile(path("big"), bytes, 100));
    EXPECT_EQ(bytes.size(), 100u);
}

TEST_F(FileIoTest, TemporaryFilesAreUniqueAndRemoved) {
    std::string first;
    {
        TemporaryFile a("split-", directory_.string());
        TemporaryFile b("split-", directory_.string());
        ASSERT_TRUE(a.isValid());
        ASSERT_TRUE(b.isValid());
        EXPECT_NE(a.path(), b.path());
        EXPECT_EQ(a.path().rfind(path("split-"), 0), 0u);
        EXPECT_TRUE(FileIo::writeAll(a.descriptor(), "abc", 3));
        first = a.path();
        EXPECT_TRUE(fs::exists(first));
    }
    EXPECT_FALSE(fs::exists(first));
    EXPECT_EQ(entryCount(), 0u);

    std::string kept;
    {
        TemporaryFile c("keep-", directory_.string());
        c.keep();
        kept = c.path();
    }
    EXPECT_TRUE(fs::exists(kept));

    TemporaryFile inSystemDirectory("korvalis-test-");
    EXPECT_TRUE(inSystemDirectory.isValid());
    TemporaryFile nowhere("x-", path("missing"));
    EXPECT_FALSE(nowhere.isValid());
    EXPECT_FALSE(nowhere.error().empty());
}

}  // namespace
