#include <gtest/gtest.h>

#include <string>

#include "DecryptionCompleteFile.h"
#include "EncryptionCompleteFile.h"
#include "RealFileSystem.h"
#include "TemporaryDirectory.h"
#include "TransactionScope.h"

namespace {

const TransactionScope kScope("/arc/Recordings");
const std::string kWork = "/arc/Recordings/SealingWorkInProgress";

DecryptionCompleteFile sampleLists() {
    DecryptionCompleteFile lists;
    lists.encryptedFilesToDelete = {"/arc/Recordings/000/20100315/v.sealedVideo",
                                    "/arc/Recordings/001/20100315/a.sealedAudio"};
    lists.videoFilesToMove = {{kWork + "/v.kov", "/arc/Recordings/000/20100315/v.kov"}};
    lists.audioFilesToMove = {{kWork + "/a.mp3", "/arc/Recordings/001/20100315/a.mp3"}};
    return lists;
}

TEST(DecryptionCompleteFileTest, WritesTheFourListsInOrderAndReadsThemBack) {
    TemporaryDirectory directory("korvalis-completion-");
    const TransactionScope scope(directory.file("Recordings"));
    RealFileSystem fs;
    ASSERT_TRUE(fs.createDirectory(scope.recordingsPath()));
    ASSERT_TRUE(fs.createDirectory(scope.workDirectory()));
    DecryptionCompleteFile lists;
    lists.encryptedFilesToDelete = {scope.recordingsPath() + "/000/d/v.sealedVideo"};
    lists.videoFilesToMove = {
        {scope.workDirectory() + "/v.kov", scope.recordingsPath() + "/000/d/v.kov"}};
    lists.audioFilesToMove = {
        {scope.workDirectory() + "/a.mp3", scope.recordingsPath() + "/001/d/a.mp3"}};
    std::string error;
    ASSERT_TRUE(lists.write(fs, scope, error)) << error;
    std::string text;
    ASSERT_TRUE(fs.readWholeFile(scope.unsealingCompletionFilePath(), text, 1 << 20));
    size_t previous = text.find("<DecryptionComplete>");
    ASSERT_NE(previous, std::string::npos) << text;
    for (const char* name : {"<EncryptedFilesToDelete", "<VideoFilesToMove", "<AudioFilesToMove",
                             "<ArchivedFilesToDelete"}) {
        const size_t position = text.find(name);
        ASSERT_NE(position, std::string::npos) << name << "\n" << text;
        EXPECT_LT(previous, position) << name;
        previous = position;
    }
    DecryptionCompleteFile readBack;
    ASSERT_TRUE(readBack.read(fs, scope, error)) << error;
    EXPECT_EQ(readBack, lists);
    // The sealing file is another file with another root.
    EncryptionCompleteFile sealing;
    EXPECT_FALSE(sealing.parse(text, scope, error));
}

TEST(DecryptionCompleteFileTest, EmptyListsRoundTrip) {
    DecryptionCompleteFile readBack = sampleLists();
    std::string error;
    ASSERT_TRUE(readBack.parse(DecryptionCompleteFile().toXml(), kScope, error)) << error;
    EXPECT_EQ(readBack, DecryptionCompleteFile());
}

TEST(DecryptionCompleteFileTest, RefusesMissingListsTruncationAndPathsOutside) {
    const std::string good = sampleLists().toXml();
    DecryptionCompleteFile lists;
    std::string error;
    ASSERT_TRUE(lists.parse(good, kScope, error)) << error;
    for (const char* name : {"EncryptedFilesToDelete", "VideoFilesToMove", "AudioFilesToMove",
                             "ArchivedFilesToDelete"}) {
        std::string damaged = good;
        for (size_t at = damaged.find(name); at != std::string::npos; at = damaged.find(name)) {
            damaged.replace(at, std::string(name).size(), "Renamed");
        }
        EXPECT_FALSE(lists.parse(damaged, kScope, error)) << name;
    }
    const size_t end = good.find("</DecryptionComplete>");
    for (size_t length = 0; length < end; ++length) {
        EXPECT_FALSE(lists.parse(good.substr(0, length), kScope, error)) << length;
    }
    DecryptionCompleteFile hostile = sampleLists();
    hostile.encryptedFilesToDelete.push_back("/home/user/thesis.odt");
    EXPECT_FALSE(lists.parse(hostile.toXml(), kScope, error));
    EXPECT_EQ(lists, DecryptionCompleteFile());
    hostile = sampleLists();
    hostile.videoFilesToMove.push_back({kWork + "/v.kov", "/usr/bin/v"});
    EXPECT_FALSE(lists.parse(hostile.toXml(), kScope, error));
    hostile = sampleLists();
    hostile.archivedFilesToDelete.push_back("/tmp/x");
    EXPECT_FALSE(lists.parse(hostile.toXml(), kScope, error));
    hostile = sampleLists();
    hostile.archivedFilesToDelete.push_back("/backup/Recordings/001/20100315/a.sealedAudio");
    EXPECT_TRUE(lists.parse(hostile.toXml(), kScope, error)) << error;
    EXPECT_EQ(lists, hostile);
}

}  // namespace
