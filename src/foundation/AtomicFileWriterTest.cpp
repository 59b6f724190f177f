#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "AtomicFileWriter.h"
#include "FileIo.h"
#include "FlushRecorder.h"
#include "TemporaryDirectory.h"

namespace fs = std::filesystem;

namespace {

class AtomicFileWriterTest : public ::testing::Test {
protected:
    std::string path(const std::string& name) const { return scratch_.file(name); }
    std::set<std::string> entries() const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(scratch_.path())) {
            names.insert(entry.path().filename().string());
        }
        return names;
    }
    static std::string read(const std::string& file) {
        std::string bytes;
        EXPECT_TRUE(FileIo::readWholeFile(file, bytes));
        return bytes;
    }
    static mode_t modeOf(const std::string& file) {
        struct stat status {};
        EXPECT_EQ(::lstat(file.c_str(), &status), 0);
        return status.st_mode & 07777;
    }
    // Writes `text` through a writer set up by `setUp`; the result of publish().
    static bool write(AtomicFileWriter& writer, const std::string& text) {
        return writer.open() && FileIo::writeAll(writer.descriptor(), text.data(), text.size()) &&
               writer.publish();
    }

    TemporaryDirectory scratch_{"atomic-"};
};

TEST_F(AtomicFileWriterTest, TemporaryNamesHaveOneLengthAndNameTheirTarget) {
    std::set<std::string> seen;
    for (const std::string& target : {std::string("a"), std::string(255, 'n'),
                                      std::string("COURT1~20100315.xml"), std::string("b")}) {
        const std::string name = AtomicFileWriter::temporaryNameFor(target);
        EXPECT_EQ(name.size(), AtomicFileWriter::kTemporaryNameLength) << name;
        EXPECT_EQ(name.front(), '.');
        EXPECT_TRUE(AtomicFileWriter::isTemporaryNameOf(name, target));
        EXPECT_FALSE(AtomicFileWriter::isTemporaryNameOf(name, target + "x"));
        EXPECT_TRUE(seen.insert(name).second);
        // Another fresh name for the same target shares all but the unique part.
        const std::string again = AtomicFileWriter::temporaryNameFor(target);
        EXPECT_NE(again, name);
        EXPECT_EQ(again.substr(0, 27), name.substr(0, 27));
    }
    const std::string name = AtomicFileWriter::temporaryNameFor("record.xml");
    for (const std::string& other :
         {name.substr(1), name + "x", name.substr(0, 28) + "!" + name.substr(29),
          name.substr(0, name.size() - 4) + ".bak", std::string("record.xml"), std::string()}) {
        EXPECT_FALSE(AtomicFileWriter::isTemporaryNameOf(other, "record.xml")) << other;
    }
}

TEST_F(AtomicFileWriterTest, PublishingWithoutReplacingNeverTakesAName) {
    std::ofstream(path("taken.mp3")) << "already here";
    ASSERT_EQ(::symlink("nowhere", path("dangling.mp3").c_str()), 0);
    for (const std::string name : {"taken.mp3", "dangling.mp3"}) {
        SCOPED_TRACE(name);
        AtomicFileWriter writer(path(name));
        writer.setReplaceExisting(false);
        EXPECT_FALSE(write(writer, "new content"));
        EXPECT_TRUE(writer.targetExists());
        EXPECT_FALSE(writer.isPublished());
        EXPECT_EQ(writer.temporaryPath(), "");
    }
    EXPECT_EQ(read(path("taken.mp3")), "already here");
    EXPECT_EQ(fs::read_symlink(path("dangling.mp3")), "nowhere");
    EXPECT_EQ(entries(), (std::set<std::string>{"taken.mp3", "dangling.mp3"}));

    AtomicFileWriter writer(path("free.mp3"));
    writer.setReplaceExisting(false);
    EXPECT_TRUE(write(writer, "fresh"));
    EXPECT_FALSE(writer.targetExists());
    EXPECT_EQ(read(path("free.mp3")), "fresh");
    EXPECT_EQ(entries().size(), 3u);
}

TEST_F(AtomicFileWriterTest, TheLinkFallbackNeverTakesANameEither) {
    std::ofstream(path("one")) << "1";
    std::ofstream(path("taken")) << "old";
    ASSERT_EQ(::symlink("nowhere", path("dangling").c_str()), 0);
    for (const char* to : {"taken", "dangling"}) {
        errno = 0;
        EXPECT_FALSE(AtomicFileWriter::linkWithoutReplacing(path("one"), path(to)));
        EXPECT_EQ(errno, EEXIST);
    }
    EXPECT_EQ(read(path("taken")), "old");
    ASSERT_TRUE(AtomicFileWriter::linkWithoutReplacing(path("one"), path("two")));
    EXPECT_EQ(read(path("two")), "1");
    EXPECT_FALSE(fs::exists(path("one")));
}

TEST_F(AtomicFileWriterTest, DebrisOfTheSameTargetIsRemovedAndNothingElse) {
    const std::string target = path("record.xml");
    std::ofstream(target) << "old";
    // Debris of two interrupted writes of the record; a temporary of another file; look-alikes.
    const std::string debris1 = AtomicFileWriter::temporaryNameFor("record.xml");
    const std::string debris2 = AtomicFileWriter::temporaryNameFor("record.xml");
    const std::string otherTarget = AtomicFileWriter::temporaryNameFor("other.xml");
    std::string lookAlike = AtomicFileWriter::temporaryNameFor("record.xml");
    lookAlike.replace(lookAlike.size() - 4, 4, ".txt");
    for (const std::string& name : {debris1, debris2, otherTarget, lookAlike}) {
        std::ofstream(path(name)) << "partial";
    }
    // Names of the right form that are not files a writer made.
    const std::string link = AtomicFileWriter::temporaryNameFor("record.xml");
    ASSERT_EQ(::symlink("record.xml", path(link).c_str()), 0);
    const std::string directory = AtomicFileWriter::temporaryNameFor("record.xml");
    fs::create_directory(path(directory));

    // A writer that is still at work.
    AtomicFileWriter live(target);
    ASSERT_TRUE(live.open());
    const std::string liveName = fs::path(live.temporaryPath()).filename().string();
    EXPECT_EQ(live.removedTemporaries().size(), 2u);

    std::ofstream(path(debris1)) << "partial";  // Left again by a later crash.
    AtomicFileWriter writer(target);
    ASSERT_TRUE(write(writer, "new"));
    EXPECT_EQ(writer.removedTemporaries(), std::vector<std::string>{path(debris1)});
    EXPECT_EQ(entries(), (std::set<std::string>{"record.xml", liveName, otherTarget, lookAlike,
                                                link, directory}));
    EXPECT_EQ(read(target), "new");
    ASSERT_TRUE(FileIo::writeAll(live.descriptor(), "live", 4));
    ASSERT_TRUE(live.publish());
    EXPECT_EQ(read(target), "live");
    EXPECT_EQ(AtomicFileWriter::removeStaleTemporaries(path("missing/record.xml")).size(), 0u);
}

TEST_F(AtomicFileWriterTest, ModesFollowTheUmaskTheLimitOrTheReplacedFile) {
    const mode_t mask = ::umask(022);
    AtomicFileWriter plain(path("plain"));
    EXPECT_TRUE(write(plain, "x"));
    EXPECT_EQ(modeOf(path("plain")), 0644u);

    AtomicFileWriter limited(path("limited"));
    limited.setModeLimit(0640);
    EXPECT_TRUE(write(limited, "x"));
    EXPECT_EQ(modeOf(path("limited")), 0640u);

    // The limit narrows what the umask leaves; it never widens it.
    ::umask(077);
    AtomicFileWriter narrow(path("narrow"));
    narrow.setModeLimit(0666);
    EXPECT_TRUE(write(narrow, "x"));
    EXPECT_EQ(modeOf(path("narrow")), 0600u);
    ::umask(022);

    // A replaced file hands on its mode unless told otherwise.
    ASSERT_EQ(::chmod(path("plain").c_str(), 0751), 0);
    AtomicFileWriter keeping(path("plain"));
    EXPECT_TRUE(write(keeping, "y"));
    EXPECT_EQ(modeOf(path("plain")), 0751u);
    AtomicFileWriter fresh(path("plain"));
    fresh.setKeepReplacedMode(false);
    fresh.setCreationMode(0600);
    EXPECT_TRUE(write(fresh, "z"));
    EXPECT_EQ(modeOf(path("plain")), 0600u);
    ::umask(mask);
}

TEST_F(AtomicFileWriterTest, AbandonedAndFailedWritesLeaveNothing) {
    {
        AtomicFileWriter dropped(path("a"));
        ASSERT_TRUE(dropped.open());
        EXPECT_TRUE(fs::exists(dropped.temporaryPath()));
        EXPECT_FALSE(dropped.open());
    }
    AtomicFileWriter abandoned(path("b"));
    ASSERT_TRUE(abandoned.open());
    abandoned.abandon();
    EXPECT_EQ(abandoned.descriptor(), -1);
    EXPECT_FALSE(abandoned.publish());
    EXPECT_TRUE(entries().empty());

    AtomicFileWriter twice(path("c"));
    ASSERT_TRUE(write(twice, "once"));
    EXPECT_FALSE(twice.publish());
    EXPECT_FALSE(twice.open());
    EXPECT_EQ(entries(), std::set<std::string>{"c"});

    AtomicFileWriter nowhere(path("missing/d"));
    EXPECT_FALSE(nowhere.open());
    EXPECT_FALSE(nowhere.error().empty());
    AtomicFileWriter noName(scratch_.path() + "/..");
    EXPECT_FALSE(noName.open());
}

TEST_F(AtomicFileWriterTest, FileAndDirectoryAreFlushedUnlessAskedNotTo) {
    FlushRecorder recorder;
    AtomicFileWriter writer(path("durable"));
    ASSERT_TRUE(write(writer, "content"));
    EXPECT_TRUE(recorder.wasFlushed(path("durable")));
    EXPECT_TRUE(recorder.wasFlushed(scratch_.path()));

    const size_t before = recorder.flushCount();
    AtomicFileWriter scratchFile(path("scratch"));
    scratchFile.setSyncToDisk(false);
    ASSERT_TRUE(write(scratchFile, "content"));
    EXPECT_EQ(recorder.flushCount(), before);
    EXPECT_FALSE(recorder.wasFlushed(path("scratch")));
}

}  // namespace
