// korvalis recover end to end: the decision lines for every state of the working directory, and
// --run completing or abandoning a transaction on disk.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "DecryptionCompleteFile.h"
#include "EncryptionCompleteFile.h"
#include "FileIo.h"
#include "RealFileSystem.h"
#include "TemporaryDirectory.h"
#include "TransactionScope.h"

namespace {

struct CommandRun {
    int status = -1;
    std::string out;
    std::string err;
};

class RecoverCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fs_.createDirectory(root_.file("Recordings")));
        ASSERT_TRUE(fs_.createDirectory(root_.file("Recordings/001")));
        ASSERT_TRUE(fs_.createDirectory(root_.file("Recordings/001/20100315")));
    }

    CommandRun recover(const std::string& arguments) {
        const std::string out = scratch_.file("out");
        const std::string err = scratch_.file("err");
        const std::string command = std::string(KORVALIS_EXECUTABLE) + " recover " + arguments +
                                    " >'" + out + "' 2>'" + err + "'";
        CommandRun run;
        const int status = std::system(command.c_str());
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        FileIo::readWholeFile(out, run.out);
        FileIo::readWholeFile(err, run.err);
        return run;
    }

    std::string header() const {
        return "Recovering any sessions found in \"" + scope_.recordingsPath() + "\" ...\n";
    }
    std::string day() const { return scope_.recordingsPath() + "/001/20100315"; }
    void put(const std::string& path, const std::string& bytes) {
        ASSERT_TRUE(fs_.writeFileDurably(path, bytes)) << fs_.error();
    }
    std::string contentOf(const std::string& path) {
        std::string bytes;
        EXPECT_TRUE(fs_.readWholeFile(path, bytes, 1 << 20)) << path;
        return bytes;
    }

    // A sealing committed but not carried out: a file split in three, the middle one sealed.
    void commitSealing() {
        ASSERT_TRUE(fs_.createDirectory(scope_.workDirectory()));
        const std::string work = scope_.workDirectory();
        put(day() + "/a.mp3", "whole");
        put(work + "/a-before.mp3", "before");
        put(work + "/a-middle.mp3", "middle");
        put(work + "/a-after.mp3", "after");
        put(work + "/a-middle.sealedAudio", "sealed");
        EncryptionCompleteFile file;
        file.audioFilesToDelete = {day() + "/a.mp3", work + "/a-middle.mp3"};
        file.audioFilesToCopy = {{work + "/a-before.mp3", day() + "/a-before.mp3"},
                                 {work + "/a-after.mp3", day() + "/a-after.mp3"}};
        file.audioFilesToMove = {{work + "/a-middle.sealedAudio", day() + "/a-middle.sealedAudio"}};
        std::string error;
        ASSERT_TRUE(file.write(fs_, scope_, error)) << error;
    }

    TemporaryDirectory root_{"korvalis-recover-"};
    TemporaryDirectory scratch_{"korvalis-recover-out-"};
    TransactionScope scope_{root_.file("Recordings")};
    RealFileSystem fs_;
};

const std::string kFound =
    "   Found a working directory in the archive, an unfinished sealing operation was likely "
    "interrupted.\n";
const std::string kValid = "   Transaction file seems to be valid ... recovery is allowed.\n";
const std::string kCorrupt =
    "   Transaction file seems to be corrupt ... only allowed action is working directory "
    "removal.\n";

TEST_F(RecoverCommandTest, NothingToRecover) {
    const CommandRun run = recover("'" + scope_.recordingsPath() + "' --run");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              header() + "No working directory found!  There is no session to be recovered.\n");
}

TEST_F(RecoverCommandTest, CompletesACommittedSealing) {
    commitSealing();
    CommandRun run = recover("'" + scope_.recordingsPath() + "'");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              header() + kFound + "   Found a sealing transaction completion file ...\n" + kValid);
    EXPECT_NE(run.err.find("recover sealing"), std::string::npos) << run.err;
    EXPECT_TRUE(fs_.exists(day() + "/a.mp3"));  // only looked

    run = recover("'" + scope_.recordingsPath() + "' --run");
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_TRUE(run.out.starts_with(header() + kFound)) << run.out;
    EXPECT_NE(
        run.out.find("   Moving, copying, and deleting to complete sealing transaction ...\n"),
        std::string::npos)
        << run.out;
    EXPECT_TRUE(run.out.ends_with("   Sealing session recovery OK.\n")) << run.out;
    EXPECT_FALSE(fs_.exists(scope_.workDirectory()));
    EXPECT_FALSE(fs_.exists(day() + "/a.mp3"));
    EXPECT_EQ(contentOf(day() + "/a-before.mp3"), "before");
    EXPECT_EQ(contentOf(day() + "/a-after.mp3"), "after");
    EXPECT_EQ(contentOf(day() + "/a-middle.sealedAudio"), "sealed");
}

TEST_F(RecoverCommandTest, CompletesACommittedUnsealing) {
    ASSERT_TRUE(fs_.createDirectory(scope_.workDirectory()));
    put(day() + "/b.sealedAudio", "sealed");
    put(scope_.workDirectory() + "/b.mp3", "clear");
    DecryptionCompleteFile file;
    file.encryptedFilesToDelete = {day() + "/b.sealedAudio"};
    file.audioFilesToMove = {{scope_.workDirectory() + "/b.mp3", day() + "/b.mp3"}};
    std::string error;
    ASSERT_TRUE(file.write(fs_, scope_, error)) << error;

    const CommandRun run = recover("'" + scope_.recordingsPath() + "' --run");
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_TRUE(run.out.starts_with(
        header() + kFound + "   Found an unsealing transaction completion file ...\n" + kValid))
        << run.out;
    EXPECT_TRUE(run.out.ends_with("   Unsealing session recovery OK.\n")) << run.out;
    EXPECT_EQ(contentOf(day() + "/b.mp3"), "clear");
    EXPECT_FALSE(fs_.exists(day() + "/b.sealedAudio"));
    EXPECT_FALSE(fs_.exists(scope_.workDirectory()));
}

TEST_F(RecoverCommandTest, AbandonsAnUncommittedTransaction) {
    ASSERT_TRUE(fs_.createDirectory(scope_.workDirectory()));
    put(scope_.workDirectory() + "/part.mp3", "part");
    put(day() + "/a.mp3", "whole");
    const CommandRun run = recover("'" + scope_.recordingsPath() + "/' --run");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "Recovering any sessions found in \"" + scope_.recordingsPath() +
                           "/\" ...\n" + kFound +
                           "   No transaction completion files found ... only allowed action is "
                           "working directory removal.\n   Recursive deletion OK.\n");
    EXPECT_FALSE(fs_.exists(scope_.workDirectory()));
    EXPECT_EQ(contentOf(day() + "/a.mp3"), "whole");
}

TEST_F(RecoverCommandTest, AHostileCompletionFileNeverTouchesTheArchive) {
    ASSERT_TRUE(fs_.createDirectory(scope_.workDirectory()));
    put(root_.file("precious.txt"), "keep me");
    put(day() + "/a.mp3", "whole");
    EncryptionCompleteFile hostile;
    hostile.videoFilesToDelete = {day() + "/a.mp3", root_.file("precious.txt")};
    put(scope_.sealingCompletionFilePath(), hostile.toXml());
    const CommandRun run = recover("'" + scope_.recordingsPath() + "' --run");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, header() + kFound + "   Found a sealing transaction completion file ...\n" +
                           kCorrupt + "   Recursive deletion OK.\n");
    EXPECT_NE(run.err.find("precious.txt"), std::string::npos) << run.err;
    EXPECT_EQ(contentOf(root_.file("precious.txt")), "keep me");
    EXPECT_EQ(contentOf(day() + "/a.mp3"), "whole");
    EXPECT_FALSE(fs_.exists(scope_.workDirectory()));
}

TEST_F(RecoverCommandTest, BothCompletionFilesAreLeftAlone) {
    commitSealing();
    put(scope_.unsealingCompletionFilePath(), DecryptionCompleteFile().toXml());
    const CommandRun run = recover("'" + scope_.recordingsPath() + "' --run");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, header() + kFound +
                           "   Both sealing and unsealing transaction completion files were "
                           "found!  This is very bad; Auto recovery is not possible.\n");
    EXPECT_TRUE(fs_.exists(scope_.sealingCompletionFilePath()));
    EXPECT_TRUE(fs_.exists(day() + "/a.mp3"));
}

TEST_F(RecoverCommandTest, AConflictFailsAndKeepsTheCompletionFile) {
    commitSealing();
    put(day() + "/a-middle.sealedAudio", "someone else's");
    const CommandRun run = recover("'" + scope_.recordingsPath() + "' --run");
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.out.ends_with("FAILED!\n   Sealing session recovery FAILED!\n")) << run.out;
    EXPECT_TRUE(fs_.exists(scope_.sealingCompletionFilePath()));
    EXPECT_EQ(contentOf(day() + "/a-middle.sealedAudio"), "someone else's");
}

TEST_F(RecoverCommandTest, WrongCommandLines) {
    EXPECT_EQ(recover("").status, 2);
    EXPECT_EQ(recover("a b").status, 2);
    EXPECT_EQ(recover("a --frobnicate").status, 2);
}

}  // namespace
