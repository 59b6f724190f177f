#include <gtest/gtest.h>

#include <string>

#include "DecryptionCompleteFile.h"
#include "EncryptionCompleteFile.h"
#include "FaultInjectingFileSystem.h"
#include "RealFileSystem.h"
#include "RecoveryDecision.h"
#include "TemporaryDirectory.h"
#include "TransactionScope.h"

namespace {

const std::string kFound =
    "   Found a working directory in the archive, an unfinished sealing operation was likely "
    "interrupted.";
const std::string kValid = "   Transaction file seems to be valid ... recovery is allowed.";
const std::string kCorrupt =
    "   Transaction file seems to be corrupt ... only allowed action is working directory "
    "removal.";
const std::string kFoundSealing = "   Found a sealing transaction completion file ...";
const std::string kFoundUnsealing = "   Found an unsealing transaction completion file ...";

class RecoveryDecisionTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fs_.createDirectory(scope_.recordingsPath()));
        header_ = "Recovering any sessions found in \"" + scope_.recordingsPath() + "\" ...";
    }
    void makeWorkDirectory() { ASSERT_TRUE(fs_.createDirectory(scope_.workDirectory())); }
    void writeSealing() {
        EncryptionCompleteFile file;
        file.videoFilesToDelete = {scope_.recordingsPath() + "/000/20100315/v.kov"};
        std::string error;
        ASSERT_TRUE(file.write(fs_, scope_, error)) << error;
    }
    void writeUnsealing() {
        DecryptionCompleteFile file;
        file.encryptedFilesToDelete = {scope_.recordingsPath() + "/000/20100315/v.sealedVideo"};
        std::string error;
        ASSERT_TRUE(file.write(fs_, scope_, error)) << error;
    }
    RecoveryDecision decide() { return RecoveryDecision::decide(scope_.recordingsPath(), fs_); }

    TemporaryDirectory directory_{"korvalis-recovery-"};
    TransactionScope scope_{directory_.file("Recordings")};
    RealFileSystem fs_;
    std::string header_;
};

TEST_F(RecoveryDecisionTest, NothingToRecoverWithoutAWorkDirectory) {
    RecoveryDecision decision = decide();
    EXPECT_EQ(decision.lines,
              (std::vector<std::string>{
                  header_, "No working directory found!  There is no session to be recovered."}));
    EXPECT_EQ(decision.action, RecoveryAction::kNone);
    EXPECT_FALSE(decision.workDirectoryFound);
    // A file with the work directory's name is no work directory.
    ASSERT_TRUE(fs_.writeFileDurably(scope_.workDirectory(), "x"));
    decision = decide();
    EXPECT_EQ(decision.action, RecoveryAction::kNone);
    EXPECT_EQ(decision.lines.size(), 2u);
}

TEST_F(RecoveryDecisionTest, WorkDirectoryWithoutCompletionFileIsRemoved) {
    makeWorkDirectory();
    const RecoveryDecision decision = decide();
    EXPECT_EQ(decision.lines,
              (std::vector<std::string>{header_, kFound,
                                        "   No transaction completion files found ... only "
                                        "allowed action is working directory removal."}));
    EXPECT_EQ(decision.action, RecoveryAction::kRemoveWorkDirectory);
}

TEST_F(RecoveryDecisionTest, AValidSealingFileIsCompleted) {
    makeWorkDirectory();
    writeSealing();
    const RecoveryDecision decision = decide();
    EXPECT_EQ(decision.lines, (std::vector<std::string>{header_, kFound, kFoundSealing, kValid}));
    EXPECT_EQ(decision.action, RecoveryAction::kRecoverSealing);
    EXPECT_EQ(decision.detail, "");
}

TEST_F(RecoveryDecisionTest, AValidUnsealingFileIsCompleted) {
    makeWorkDirectory();
    writeUnsealing();
    const RecoveryDecision decision = decide();
    EXPECT_EQ(decision.lines, (std::vector<std::string>{header_, kFound, kFoundUnsealing, kValid}));
    EXPECT_EQ(decision.action, RecoveryAction::kRecoverUnsealing);
}

TEST_F(RecoveryDecisionTest, ACorruptOrHostileFileOnlyAllowsRemoval) {
    makeWorkDirectory();
    ASSERT_TRUE(fs_.writeFileDurably(scope_.sealingCompletionFilePath(),
                                     "<EncryptionComplete><VideoFilesToDelete>"));
    RecoveryDecision decision = decide();
    EXPECT_EQ(decision.lines, (std::vector<std::string>{header_, kFound, kFoundSealing, kCorrupt}));
    EXPECT_EQ(decision.action, RecoveryAction::kRemoveWorkDirectory);
    EXPECT_FALSE(decision.detail.empty());
    ASSERT_TRUE(fs_.removeFile(scope_.sealingCompletionFilePath()));

    // Well formed, but naming a file outside the archive.
    DecryptionCompleteFile hostile;
    hostile.encryptedFilesToDelete = {directory_.file("Databases/sessions.xml")};
    ASSERT_TRUE(fs_.writeFileDurably(scope_.unsealingCompletionFilePath(), hostile.toXml()));
    decision = decide();
    EXPECT_EQ(decision.lines,
              (std::vector<std::string>{header_, kFound, kFoundUnsealing, kCorrupt}));
    EXPECT_EQ(decision.action, RecoveryAction::kRemoveWorkDirectory);
    EXPECT_NE(decision.detail.find("may not touch"), std::string::npos) << decision.detail;

    // A completion file that cannot be read (a directory in its place) counts as corrupt too.
    ASSERT_TRUE(fs_.removeFile(scope_.unsealingCompletionFilePath()));
    ASSERT_TRUE(fs_.createDirectory(scope_.sealingCompletionFilePath()));
    decision = decide();
    EXPECT_EQ(decision.action, RecoveryAction::kRemoveWorkDirectory);
    EXPECT_EQ(decision.lines.back(), kCorrupt);
}

TEST_F(RecoveryDecisionTest, AnUnreadableCompletionFileOffersNothing) {
    makeWorkDirectory();
    writeSealing();
    FaultInjectingFileSystem faulty(fs_);
    // Operations: isDirectory, listDirectory, readWholeFile.
    faulty.failAt(3);
    RecoveryDecision decision = RecoveryDecision::decide(scope_.recordingsPath(), faulty);
    EXPECT_EQ(decision.lines,
              (std::vector<std::string>{
                  header_, kFound, kFoundSealing,
                  "   Transaction file could not be read ... no action is allowed."}));
    EXPECT_EQ(decision.action, RecoveryAction::kNone);
    EXPECT_NE(decision.detail.find("readWholeFile"), std::string::npos) << decision.detail;

    FaultInjectingFileSystem unlistable(fs_);
    unlistable.failAt(2);
    decision = RecoveryDecision::decide(scope_.recordingsPath(), unlistable);
    EXPECT_EQ(
        decision.lines,
        (std::vector<std::string>{
            header_, kFound, "   Working directory could not be read ... no action is allowed."}));
    EXPECT_EQ(decision.action, RecoveryAction::kNone);
}

TEST_F(RecoveryDecisionTest, BothCompletionFilesAreLeftToAPerson) {
    makeWorkDirectory();
    writeSealing();
    writeUnsealing();
    const RecoveryDecision decision = decide();
    EXPECT_EQ(decision.lines,
              (std::vector<std::string>{header_, kFound,
                                        "   Both sealing and unsealing transaction completion "
                                        "files were found!  This is very bad; Auto recovery is "
                                        "not possible."}));
    EXPECT_EQ(decision.action, RecoveryAction::kNone);
    EXPECT_TRUE(decision.workDirectoryFound);
}

TEST_F(RecoveryDecisionTest, NoRecordingsPathOffersNothing) {
    const RecoveryDecision decision = RecoveryDecision::decide("", fs_);
    EXPECT_EQ(decision.lines,
              (std::vector<std::string>{"Error!  No recordings path configured.  Can't attempt "
                                        "recovery with a recordings path."}));
    EXPECT_EQ(decision.action, RecoveryAction::kNone);
}

TEST_F(RecoveryDecisionTest, DecidingOnlyLooksAndNeverChangesTheDisk) {
    makeWorkDirectory();
    writeSealing();
    FaultInjectingFileSystem watched(fs_);
    const RecoveryDecision decision = RecoveryDecision::decide(scope_.recordingsPath(), watched);
    EXPECT_EQ(decision.action, RecoveryAction::kRecoverSealing);
    for (const std::string& operation : watched.operations()) {
        EXPECT_TRUE(operation.starts_with("isDirectory ") ||
                    operation.starts_with("listDirectory ") ||
                    operation.starts_with("readWholeFile ") || operation.starts_with("fileSize "))
            << operation;
    }
    // A file system that fails while deciding never leads to removing a committed transaction,
    // nor to completing another one.
    for (uint64_t n = 1; n <= watched.operationCount(); ++n) {
        FaultInjectingFileSystem faulty(fs_);
        faulty.failAt(n);
        const RecoveryDecision partial = RecoveryDecision::decide(scope_.recordingsPath(), faulty);
        EXPECT_TRUE(partial.action == RecoveryAction::kRecoverSealing ||
                    partial.action == RecoveryAction::kNone)
            << n << ": " << RecoveryDecision::actionName(partial.action);
    }
}

TEST(RecoveryDecisionResultTest, ResultLinesUseTheSystemsWords) {
    EXPECT_EQ(RecoveryDecision::resultLine(RecoveryAction::kRecoverSealing, true),
              "   Sealing session recovery OK.");
    EXPECT_EQ(RecoveryDecision::resultLine(RecoveryAction::kRecoverSealing, false),
              "   Sealing session recovery FAILED!");
    EXPECT_EQ(RecoveryDecision::resultLine(RecoveryAction::kRecoverUnsealing, true),
              "   Unsealing session recovery OK.");
    EXPECT_EQ(RecoveryDecision::resultLine(RecoveryAction::kRecoverUnsealing, false),
              "   Unsealing session recovery FAILED!");
    EXPECT_EQ(RecoveryDecision::resultLine(RecoveryAction::kRemoveWorkDirectory, true),
              "   Recursive deletion OK.");
    EXPECT_EQ(RecoveryDecision::resultLine(RecoveryAction::kRemoveWorkDirectory, false),
              "   Recursive deletion FAILED!  Are there open files in the working directory?");
    EXPECT_EQ(RecoveryDecision::resultLine(RecoveryAction::kNone, true), "");
}

}  // namespace
