// What saving a session record does to the file system around it: the record keeps its mode and
// owner, any name the file system allows is saved, and an interrupted save leaves nothing that
// the next one does not clear away.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "FileIo.h"
#include "JexSession.h"
#include "TemporaryDirectory.h"
#include "TestArchiveBuilder.h"

namespace fs = std::filesystem;

namespace {

constexpr double kNine = 1268661600.0;  // 2010-03-15 09:00:00 at UTC-5

class JexSessionFileSafetyTest : public ::testing::Test {
protected:
    size_t databasesEntries() const {
        return static_cast<size_t>(
            std::distance(fs::directory_iterator(archive_.databasesPath()), {}));
    }

    TemporaryDirectory scratch_{"jexsafety-"};
    TestArchiveBuilder archive_{scratch_.path()};
};

TEST_F(JexSessionFileSafetyTest, APrivateRecordStaysPrivateAfterLoadAndSave) {
    const std::string record = archive_.addSessionRecord(
        "COURT1", 2010, 3, 15, {TestArchiveBuilder::annotation(kNine, "Judge", "Opening", 0, -5)});
    ASSERT_EQ(::chmod(record.c_str(), 0600), 0);
    const uid_t owner = ::geteuid() == 0 ? 65534 : ::geteuid();
    ASSERT_EQ(::chown(record.c_str(), owner, static_cast<gid_t>(-1)), 0);

    JexSession session("COURT1", 2010, 3, 15);
    ASSERT_EQ(session.load(archive_.databasesPath()), JexSession::RecordState::kLoaded);
    session.addAnnotation(TestArchiveBuilder::annotation(kNine + 1, "Clerk", "Recess", 1, -5));
    std::string error;
    ASSERT_TRUE(session.save(&error)) << error;
    struct stat status {};
    ASSERT_EQ(::stat(record.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0600u);
    EXPECT_EQ(status.st_uid, owner);
    EXPECT_EQ(databasesEntries(), 1u);
}

TEST_F(JexSessionFileSafetyTest, ARecordWithALongNameSaves) {
    // "~20100315.xml" takes 13 bytes: names of 250 and 255 bytes.
    for (const size_t locationLength : {size_t{237}, size_t{242}}) {
        JexSession session(std::string(locationLength, 'L'), 2010, 3, 15);
        session.setDatabasesDirectory(archive_.databasesPath());
        session.addAnnotation(TestArchiveBuilder::annotation(kNine, "Judge", "Opening", 0, -5));
        std::string error;
        ASSERT_TRUE(session.save(&error)) << error;
        EXPECT_EQ(fs::path(session.recordPath()).filename().string().size(), locationLength + 13);
        ASSERT_TRUE(session.save(&error)) << error;

        JexSession again(std::string(locationLength, 'L'), 2010, 3, 15);
        ASSERT_EQ(again.load(archive_.databasesPath()), JexSession::RecordState::kLoaded);
        EXPECT_EQ(again.annotationCount(), 1u);
    }
    EXPECT_EQ(databasesEntries(), 2u);
}

TEST_F(JexSessionFileSafetyTest, AKilledSavesLeftoverIsRemovedByTheNextSave) {
    JexSession session("COURT1", 2010, 3, 15);
    session.setDatabasesDirectory(archive_.databasesPath());
    ASSERT_TRUE(session.save());
    const std::string record = session.recordPath();
    const std::string before = [&] {
        std::string bytes;
        FileIo::readWholeFile(record, bytes);
        return bytes;
    }();
    // A save killed while it writes the record's new text.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        FileIo::writeFileAtomically(record, [](int descriptor) {
            FileIo::writeAll(descriptor, "<database", 9);
            ::raise(SIGKILL);
            return true;
        });
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    ASSERT_EQ(databasesEntries(), 2u);
    std::string bytes;
    ASSERT_TRUE(FileIo::readWholeFile(record, bytes));
    EXPECT_EQ(bytes, before);

    // The record is as it was and loads; the next save clears the leftover away.
    JexSession again("COURT1", 2010, 3, 15);
    ASSERT_EQ(again.load(archive_.databasesPath()), JexSession::RecordState::kLoaded);
    again.addAnnotation(TestArchiveBuilder::annotation(kNine, "Judge", "Opening", 0, -5));
    ASSERT_TRUE(again.save());
    EXPECT_EQ(databasesEntries(), 1u);
}

}  // namespace
