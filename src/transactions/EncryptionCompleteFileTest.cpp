#include <gtest/gtest.h>

#include <string>

#include "EncryptionCompleteFile.h"
#include "FaultInjectingFileSystem.h"
#include "RealFileSystem.h"
#include "TemporaryDirectory.h"
#include "TransactionScope.h"

namespace {

const TransactionScope kScope("/arc/Recordings", "/backup");
const std::string kWork = "/arc/Recordings/SealingWorkInProgress";

EncryptionCompleteFile sampleLists() {
    EncryptionCompleteFile lists;
    lists.videoFilesToDelete = {"/arc/Recordings/000/20100315/Court~4b9e1a40~0~1~0~0.kov",
                                kWork + "/Court~4b9e1a50~0~1~0~0.kov"};
    lists.videoFilesToMove = {{kWork + "/Court~4b9e1a50~0~1~0~0.sealedVideo",
                               "/arc/Recordings/000/20100315/Court~4b9e1a50~0~1~0~0.sealedVideo"}};
    lists.videoFilesToCopy = {{kWork + "/Court~4b9e1a40~0~1~0~0.kov",
                               "/arc/Recordings/000/20100315/Court~4b9e1a40~0~1~0~0.kov"}};
    lists.audioFilesToDelete = {"/arc/Recordings/001/20100315/a & b <c> \"d\" 'e'.mp3"};
    lists.audioFilesToMove = {
        {kWork + "/1/x.sealedAudio", "/arc/Recordings/001/20100315/x.sealedAudio"},
        {kWork + "/2/y.sealedAudio", "/arc/Recordings/002/20100315/y.sealedAudio"}};
    lists.audioFilesToCopy = {};
    lists.archivedFilesToDelete = {"/backup/Recordings/001/20100315/a.mp3"};
    return lists;
}

// Where each list element starts in the text, in the order they must come.
std::vector<size_t> listPositions(const std::string& text) {
    std::vector<size_t> positions;
    for (const char* name :
         {"<VideoFilesToDelete", "<VideoFilesToMove", "<VideoFilesToCopy", "<AudioFilesToDelete",
          "<AudioFilesToMove", "<AudioFilesToCopy", "<ArchivedFilesToDelete"}) {
        positions.push_back(text.find(name));
    }
    return positions;
}

TEST(EncryptionCompleteFileTest, WritesTheListsInOrderAndReadsThemBack) {
    const EncryptionCompleteFile lists = sampleLists();
    const std::string text = lists.toXml();
    EXPECT_NE(text.find("<EncryptionComplete>"), std::string::npos) << text;
    const std::vector<size_t> positions = listPositions(text);
    for (size_t i = 0; i < positions.size(); ++i) {
        ASSERT_NE(positions[i], std::string::npos) << i << "\n" << text;
        if (i > 0) {
            EXPECT_LT(positions[i - 1], positions[i]) << text;
        }
    }
    EXPECT_NE(text.find("<File source=\"" + kWork + "/1/x.sealedAudio\" destination=\""),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("<File>/backup/Recordings/001/20100315/a.mp3</File>"), std::string::npos)
        << text;

    EncryptionCompleteFile readBack;
    std::string error;
    ASSERT_TRUE(readBack.parse(text, kScope, error)) << error;
    EXPECT_EQ(readBack, lists);
}

TEST(EncryptionCompleteFileTest, EmptyListsStillWriteEveryElement) {
    const std::string text = EncryptionCompleteFile().toXml();
    for (const size_t position : listPositions(text)) {
        EXPECT_NE(position, std::string::npos) << text;
    }
    EncryptionCompleteFile readBack = sampleLists();
    std::string error;
    ASSERT_TRUE(readBack.parse(text, kScope, error)) << error;
    EXPECT_EQ(readBack, EncryptionCompleteFile());
}

TEST(EncryptionCompleteFileTest, KeepsPathsWithBlanksAndAnyBytesOrRefusesToWriteThem) {
    TemporaryDirectory directory("korvalis-completion-");
    const TransactionScope scope(directory.file("Recordings"));
    RealFileSystem fs;
    ASSERT_TRUE(fs.createDirectory(scope.recordingsPath()));
    ASSERT_TRUE(fs.createDirectory(scope.workDirectory()));
    EncryptionCompleteFile lists;
    lists.audioFilesToDelete = {scope.recordingsPath() + "/001/two  blanks.mp3",
                                scope.recordingsPath() + "/001/ leading and trailing .mp3",
                                scope.recordingsPath() + "/001/caf\xc3\xa9.mp3",
                                scope.recordingsPath() + "/001/line\nbreak\ttab.mp3"};
    lists.audioFilesToMove = {
        {scope.workDirectory() + "/a  b", scope.recordingsPath() + "/1/a  b"}};
    std::string error;
    ASSERT_TRUE(lists.write(fs, scope, error)) << error;
    EncryptionCompleteFile readBack;
    ASSERT_TRUE(readBack.read(fs, scope, error)) << error;
    EXPECT_EQ(readBack, lists);

    // A name that XML cannot carry is refused before anything is written: it would come back
    // as another name.
    ASSERT_TRUE(fs.removeFile(scope.sealingCompletionFilePath()));
    for (const std::string& name : {std::string("bell\x07"), std::string("latin1 \xe9")}) {
        EncryptionCompleteFile odd;
        odd.videoFilesToDelete = {scope.recordingsPath() + "/000/" + name};
        EXPECT_FALSE(odd.write(fs, scope, error)) << name;
        EXPECT_FALSE(fs.exists(scope.sealingCompletionFilePath()));
    }
}

TEST(EncryptionCompleteFileTest, WritesThroughTheFileSystemInOneDurableWrite) {
    TemporaryDirectory directory("korvalis-completion-");
    const TransactionScope scope(directory.file("Recordings"));
    RealFileSystem real;
    ASSERT_TRUE(real.createDirectory(scope.recordingsPath()));
    ASSERT_TRUE(real.createDirectory(scope.workDirectory()));
    EncryptionCompleteFile lists;
    lists.videoFilesToDelete = {scope.recordingsPath() + "/000/20100315/v.kov"};
    FaultInjectingFileSystem fs(real);
    std::string error;
    ASSERT_TRUE(lists.write(fs, scope, error)) << error;
    EXPECT_EQ(fs.operations(),
              std::vector<std::string>{"writeFileDurably " + scope.sealingCompletionFilePath()});

    // A failed write reports the file system's words and leaves no file.
    ASSERT_TRUE(real.removeFile(scope.sealingCompletionFilePath()));
    fs.failAt(fs.operationCount() + 1);
    EXPECT_FALSE(lists.write(fs, scope, error));
    EXPECT_NE(error.find("writeFileDurably"), std::string::npos) << error;
    EXPECT_FALSE(real.exists(scope.sealingCompletionFilePath()));
    EncryptionCompleteFile readBack;
    EXPECT_FALSE(readBack.read(real, scope, error));
    EXPECT_NE(error.find(scope.sealingCompletionFilePath()), std::string::npos) << error;
}

TEST(EncryptionCompleteFileTest, SkipsIncompleteEntriesAsTheFormatAllows) {
    const std::string text =
        "<EncryptionComplete><VideoFilesToDelete><File/><File></File>"
        "<File>/arc/Recordings/0/d/v.kov</File><Other>/etc/passwd</Other></VideoFilesToDelete>"
        "<VideoFilesToMove><File source=\"\" destination=\"/arc/Recordings/0/d/x\"/>"
        "<File destination=\"/arc/Recordings/0/d/x\"/>"
        "<File source=\"" +
        kWork +
        "/x\"/></VideoFilesToMove>"
        "<VideoFilesToCopy/><AudioFilesToDelete/><AudioFilesToMove/><AudioFilesToCopy/>"
        "<ArchivedFilesToDelete/></EncryptionComplete>";
    EncryptionCompleteFile lists;
    std::string error;
    ASSERT_TRUE(lists.parse(text, kScope, error)) << error;
    EXPECT_EQ(lists.videoFilesToDelete, std::vector<std::string>{"/arc/Recordings/0/d/v.kov"});
    EXPECT_TRUE(lists.videoFilesToMove.empty());
}

TEST(EncryptionCompleteFileTest, RefusesFilesThatLackAListOrTheRoot) {
    const std::string good = sampleLists().toXml();
    EncryptionCompleteFile lists;
    std::string error;
    for (const char* name :
         {"VideoFilesToDelete", "VideoFilesToMove", "VideoFilesToCopy", "AudioFilesToDelete",
          "AudioFilesToMove", "AudioFilesToCopy", "ArchivedFilesToDelete"}) {
        std::string damaged = good;
        for (size_t at = damaged.find(name); at != std::string::npos; at = damaged.find(name)) {
            damaged.replace(at, std::string(name).size(), "Renamed");
        }
        lists = sampleLists();
        EXPECT_FALSE(lists.parse(damaged, kScope, error)) << name;
        EXPECT_EQ(lists, EncryptionCompleteFile()) << name;
        EXPECT_NE(error.find("seven lists"), std::string::npos) << error;
    }
    std::string otherRoot = EncryptionCompleteFile().toXml();
    otherRoot.replace(otherRoot.find("<EncryptionComplete>"), 20, "<DecryptionComplete>");
    otherRoot.replace(otherRoot.find("</EncryptionComplete>"), 21, "</DecryptionComplete>");
    EXPECT_FALSE(lists.parse(otherRoot, kScope, error));
    EXPECT_FALSE(lists.parse("", kScope, error));
    EXPECT_FALSE(lists.parse("not xml at all", kScope, error));
}

TEST(EncryptionCompleteFileTest, RefusesEveryTruncationAndSurvivesEveryFlippedByte) {
    const std::string good = sampleLists().toXml();
    const size_t end = good.find("</EncryptionComplete>");
    ASSERT_NE(end, std::string::npos);
    EncryptionCompleteFile lists;
    std::string error;
    for (size_t length = 0; length < end; ++length) {
        EXPECT_FALSE(lists.parse(good.substr(0, length), kScope, error)) << length;
    }
    for (size_t at = 0; at < good.size(); ++at) {
        for (const char replacement : {'\0', '<', '/', '"', 'x'}) {
            std::string damaged = good;
            damaged[at] = replacement;
            if (lists.parse(damaged, kScope, error)) {
                // Whatever a damaged file still yields lies inside the scope.
                for (const std::string& path : lists.videoFilesToDelete) {
                    EXPECT_TRUE(kScope.isDeletableMediaPath(path, error)) << path;
                }
                for (const CompletionEntry& entry : lists.audioFilesToMove) {
                    EXPECT_TRUE(kScope.isWorkFilePath(entry.source, error)) << entry.source;
                }
            }
        }
    }
}

TEST(EncryptionCompleteFileTest, RefusesTheWholeFileWhenOnePathLeavesItsPlace) {
    struct Case {
        const char* what;
        void (*damage)(EncryptionCompleteFile&);
    };
    const Case cases[] = {
        {"delete outside",
         [](EncryptionCompleteFile& f) { f.videoFilesToDelete.push_back("/etc/passwd"); }},
        {"delete climbing out",
         [](EncryptionCompleteFile& f) {
             f.audioFilesToDelete.push_back("/arc/Recordings/../Databases/db.xml");
         }},
        {"similar prefix",
         [](EncryptionCompleteFile& f) {
             f.audioFilesToDelete.push_back("/arc/Recordings2/x.mp3");
         }},
        {"move from the archive",
         [](EncryptionCompleteFile& f) {
             f.videoFilesToMove.push_back({"/arc/Recordings/0/d/a", "/arc/Recordings/0/d/b"});
         }},
        {"move out of the archive",
         [](EncryptionCompleteFile& f) {
             f.audioFilesToMove.push_back({kWork + "/a", "/home/user/.bashrc"});
         }},
        {"copy into the work directory",
         [](EncryptionCompleteFile& f) {
             f.videoFilesToCopy.push_back({kWork + "/a", kWork + "/b"});
         }},
        {"copy from elsewhere",
         [](EncryptionCompleteFile& f) {
             f.audioFilesToCopy.push_back({"/etc/shadow", "/arc/Recordings/0/d/s"});
         }},
        {"archived outside the location",
         [](EncryptionCompleteFile& f) {
             f.archivedFilesToDelete.push_back("/elsewhere/Recordings/0/d/a.mp3");
         }},
        {"relative path",
         [](EncryptionCompleteFile& f) { f.videoFilesToDelete.push_back("Recordings/0/d/v.kov"); }},
    };
    for (const Case& testCase : cases) {
        EncryptionCompleteFile hostile = sampleLists();
        testCase.damage(hostile);
        EncryptionCompleteFile lists;
        std::string error;
        EXPECT_FALSE(lists.parse(hostile.toXml(), kScope, error)) << testCase.what;
        EXPECT_NE(error.find("may not touch"), std::string::npos) << error;
        EXPECT_EQ(lists, EncryptionCompleteFile()) << testCase.what;
    }
}

TEST(EncryptionCompleteFileTest, RefusesHostileMarkupWithoutCrashing) {
    EncryptionCompleteFile lists;
    std::string error;
    std::string deep = "<EncryptionComplete>";
    for (int i = 0; i < 100000; ++i) {
        deep += "<a>";
    }
    EXPECT_FALSE(lists.parse(deep, kScope, error));
    EXPECT_FALSE(
        lists.parse("<EncryptionComplete><VideoFilesToDelete><File>&#0;</File>", kScope, error));
    std::string manyAttributes = "<EncryptionComplete><VideoFilesToMove><File";
    for (int i = 0; i < 10000; ++i) {
        manyAttributes += " a" + std::to_string(i) + "=\"x\"";
    }
    manyAttributes += "/></VideoFilesToMove></EncryptionComplete>";
    EXPECT_FALSE(lists.parse(manyAttributes, kScope, error));
}

}  // namespace
