#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "ArchiveSessionSet.h"
#include "TemporaryDirectory.h"
#include "TestArchiveBuilder.h"

namespace fs = std::filesystem;

namespace {

constexpr double kNine = 1268661600.0;  // 2010-03-15 14:00:00 UTC

std::vector<std::string> namesOf(const std::vector<SessionDateEntry>& dates) {
    std::vector<std::string> texts;
    for (const SessionDateEntry& date : dates) {
        texts.push_back(date.text);
    }
    return texts;
}

class ArchiveSessionSetTest : public ::testing::Test {
protected:
    TemporaryDirectory scratch_{"archiveset-"};

    std::string record(TestArchiveBuilder& archive, const std::string& location, int day,
                       const std::vector<std::string>& events = {"Court in session"}) {
        std::vector<JexAnnotation> annotations;
        int index = 0;
        for (const std::string& event : events) {
            annotations.push_back(
                TestArchiveBuilder::annotation(kNine + 60 * index, "Judge", event, index));
            ++index;
        }
        return archive.addSessionRecord(location, 2010, 3, day, annotations);
    }
};

TEST_F(ArchiveSessionSetTest, FindsRootsInAndDirectlyBelowEachPathInOrder) {
    TestArchiveBuilder a(scratch_.file("D/A"));
    TestArchiveBuilder second(scratch_.file("E/B/second"));
    TestArchiveBuilder first(scratch_.file("E/B/First"));
    TestArchiveBuilder tooDeep(scratch_.file("E/B/deeper/still"));
    fs::create_directories(scratch_.file("E/B/only-databases/Databases"));
    std::ofstream(scratch_.file("E/B/a-file")) << "x";

    const std::string paths =
        scratch_.file("D/A") + ";;" + scratch_.file("E/B") + ";" + scratch_.file("missing");
    const ArchiveSessionSet set(paths);
    EXPECT_EQ(set.archiveRoots(),
              (std::vector<std::string>{scratch_.file("D/A"), scratch_.file("E/B/First"),
                                        scratch_.file("E/B/second")}));
    const ArchiveSessionSet withSlashes(scratch_.file("D/A/") + ";" + scratch_.file("E/B//"));
    EXPECT_EQ(withSlashes.archiveRoots(), set.archiveRoots());
    EXPECT_TRUE(ArchiveSessionSet("").archiveRoots().empty());

    std::vector<std::string> appended{"earlier"};
    set.findAllArchiveRoots(appended, scratch_.file("D"));
    EXPECT_EQ(appended, (std::vector<std::string>{"earlier", scratch_.file("D/A")}));
}

TEST_F(ArchiveSessionSetTest, ListsLocationsExactlyAndFindsTheirRootIgnoringCase) {
    TestArchiveBuilder one(scratch_.file("one"));
    record(one, "COURT2", 15);
    record(one, "court1", 16);
    record(one, "COURT1", 15);
    one.addRawRecord("notes.xml", "<database/>");
    one.addRawRecord("readme.txt", "not a record");
    fs::create_directories(one.databasesPath() + "/DIR~20100101.xml");
    TestArchiveBuilder two(scratch_.file("two"));
    record(two, "COURT3", 1);
    record(two, "COURT1", 20);

    const ArchiveSessionSet set(scratch_.path());
    std::vector<std::string> names{"replaced"};
    set.getAllLocationNames(names);
    EXPECT_EQ(names, (std::vector<std::string>{"COURT1", "court1", "COURT2", "notes", "COURT3"}));

    std::string root;
    ASSERT_TRUE(set.findRootForLocation("Court1", root));
    EXPECT_EQ(root, one.root());
    ASSERT_TRUE(set.findRootForLocation("court3", root));
    EXPECT_EQ(root, two.root());
    EXPECT_FALSE(set.findRootForLocation("COURT", root));
    EXPECT_EQ(set.databasesPath(root), two.root() + "/Databases");
    EXPECT_EQ(set.recordingsPath(root), two.root() + "/Recordings");
}

TEST_F(ArchiveSessionSetTest, DatesComeFromTheRecordNamesOfExactlyThatLocation) {
    TestArchiveBuilder archive(scratch_.file("COURT1-archive"));
    record(archive, "COURT1", 15);
    record(archive, "court1", 16);
    record(archive, "COURT10", 17);
    record(archive, "COURT1", 5);
    archive.addRawRecord("COURT1~2010.xml", "<database/>");
    archive.addRawRecord("COURT1~20101345.xml", "<database/>");
    archive.addRawRecord("notes.xml", "<database/>");
    const ArchiveSessionSet set(archive.root());

    std::vector<SessionDateEntry> dates;
    std::vector<std::string> problems;
    ASSERT_TRUE(set.getAllDatesForLocationName(dates, "COURT1", &problems));
    // Not court1 (case differs), not COURT10, although the root's path holds "COURT1" too.
    EXPECT_EQ(namesOf(dates), (std::vector<std::string>{"03/05/2010", "03/15/2010"}));
    EXPECT_EQ(dates[1].day, 15);
    EXPECT_EQ(dates[1].month, 3);
    EXPECT_EQ(dates[1].year, 2010);
    EXPECT_EQ(problems.size(), 2u);
    EXPECT_NE(problems[0].find("COURT1~2010.xml"), std::string::npos) << problems[0];
    EXPECT_NE(problems[1].find("COURT1~20101345.xml"), std::string::npos) << problems[1];

    problems.clear();
    ASSERT_TRUE(set.getAllDatesForLocationName(dates, "notes", &problems));
    EXPECT_TRUE(dates.empty());
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("no \"~\""), std::string::npos);

    std::vector<SessionDateEntry> untouched(1);
    EXPECT_FALSE(set.getAllDatesForLocationName(untouched, "COURT7"));
    EXPECT_EQ(untouched.size(), 1u);
}

TEST_F(ArchiveSessionSetTest, CountsDenseChannelsOfTheLocationAndListsItsFiles) {
    TestArchiveBuilder archive(scratch_.path());
    const std::string recordings = archive.recordingsPath();
    archive.addMediaFile("COURT1", 2010, 3, 15, 0, "mp3", kNine);
    archive.addMediaFile("COURT1", 2010, 3, 15, 0, "kov", kNine);
    const std::string nested = archive.addMediaFile("COURT1", 2010, 3, 15, 1, "mp3", kNine, "part");
    archive.addMediaFile("COURT2", 2010, 3, 15, 2, "mp3", kNine);
    archive.addMediaFile("COURT1", 2010, 3, 15, 3, "mp3", kNine);  // after a gap: not counted
    const ArchiveSessionSet set(archive.root());
    EXPECT_EQ(set.countNumberedDirectories(recordings, 2010, 3, 15, "COURT1"), 2);
    EXPECT_EQ(set.countNumberedDirectories(recordings, 2010, 3, 15, "COURT2"), 0);
    EXPECT_EQ(set.countNumberedDirectories(recordings, 2010, 3, 16, "COURT1"), 0);

    archive.addMediaFile("SEALED", 2010, 3, 15, 0, "sealedAudio", kNine);
    EXPECT_EQ(set.countNumberedDirectories(recordings, 2010, 3, 15, "sealed"), 1);

    std::vector<std::string> files{"replaced"};
    ASSERT_TRUE(set.listSessionFiles(files, recordings, "court1", 2010, 3, 15, "MP3", 1));
    // The path of a file in a subdirectory is its real path.
    EXPECT_EQ(files, std::vector<std::string>{nested});
    ASSERT_TRUE(set.listSessionFiles(files, recordings + "/", "COURT1", 2010, 3, 15, "kov", 0));
    EXPECT_EQ(files.size(), 1u);
    EXPECT_EQ(fs::path(files[0]).parent_path(), fs::path(recordings + "/000/20100315"));
    ASSERT_TRUE(set.listSessionFiles(files, recordings, "COURT1", 2010, 3, 15, "kov", 9));
    EXPECT_TRUE(files.empty());
    EXPECT_FALSE(set.listSessionFiles(files, "", "COURT1", 2010, 3, 15, "mp3", 0));
    EXPECT_EQ(ArchiveSessionSet::dayDirectory("/r", 7, 2010, 3, 5), "/r/007/20100305");
}

TEST_F(ArchiveSessionSetTest, ListsEverySessionOnceWithTheChannelsEachCallWouldCount) {
    TestArchiveBuilder north(scratch_.file("north"));
    TestArchiveBuilder south(scratch_.file("south"));
    record(north, "COURT1", 15);
    record(north, "COURT1", 16);
    record(north, "COURT2", 15);
    record(south, "court1", 15);  // a location of north, whatever its case: north's it stays
    record(south, "COURT3", 15);
    north.addRawRecord("COURT9.xml", "<database/>");
    // COURT1 and COURT2 share day directories; COURT2's channel 001 is sealed.
    north.addSessionMedia("COURT1", 2010, 3, 15, 3, kNine);
    north.addMediaFile("COURT2", 2010, 3, 15, 0, "mp3", kNine);
    north.addMediaFile("COURT2", 2010, 3, 15, 1, "sealedAudio", kNine, "part");
    north.addMediaFile("COURT2", 2010, 3, 15, 3, "mp3", kNine);  // after a gap: not counted
    south.addSessionMedia("COURT3", 2010, 3, 15, 1, kNine);
    // Links back into the day directory are entered once.
    const std::string day = ArchiveSessionSet::dayDirectory(north.recordingsPath(), 0, 2010, 3, 15);
    fs::create_directory_symlink(".", day + "/a");
    fs::create_directory_symlink(".", day + "/b");

    const ArchiveSessionSet set(scratch_.path());
    std::vector<SessionListEntry> sessions;
    std::vector<std::string> problems;
    ASSERT_TRUE(set.listAllSessions(sessions, &problems));
    std::vector<std::string> listed;
    for (const SessionListEntry& session : sessions) {
        listed.push_back(session.locationName + " " + session.date.text + " " +
                         fs::path(session.root).filename().string() + " " +
                         std::to_string(session.channels));
        EXPECT_EQ(session.channels,
                  set.countNumberedDirectories(set.recordingsPath(session.root), session.date.year,
                                               session.date.month, session.date.day,
                                               session.locationName));
    }
    EXPECT_EQ(listed,
              (std::vector<std::string>{"COURT1 03/15/2010 north 3", "COURT1 03/16/2010 north 0",
                                        "COURT2 03/15/2010 north 2", "COURT3 03/15/2010 south 1"}));
    // The record name without a day.
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("COURT9.xml"), std::string::npos) << problems[0];
}

TEST_F(ArchiveSessionSetTest, SearchesEverySessionAndReportsUnreadableRecords) {
    TestArchiveBuilder north(scratch_.file("north"));
    TestArchiveBuilder south(scratch_.file("south"));
    record(north, "COURT1", 15, {"Court in session", "Objection", "Objection sustained"});
    record(north, "COURT1", 16, {"Recess"});
    record(north, "COURT2", 15, {"No objection"});
    record(south, "Salle d'audience \xC3\xA9t\xC3\xA9", 1,
           {"Objection rejet\xC3\xA9"
            "e"});
    south.addRawRecord("COURT9~20100301.xml", "<database><annotations><annotation>Objection");
    // Damaged too, but it cannot hold the text: only a search that must read it reports it.
    south.addRawRecord("COURT8~20100301.xml", "<database><annotations><annotation>");
    south.addRawRecord("broken.xml", "nothing");

    const ArchiveSessionSet set(scratch_.path());
    std::vector<SessionSearchHit> hits;
    std::vector<std::string> problems;
    EXPECT_FALSE(set.searchAllSessions("Objection", hits, &problems));
    ASSERT_EQ(hits.size(), 2u);
    EXPECT_EQ(hits[0].locationName, "COURT1");
    EXPECT_EQ(hits[0].date.text, "03/15/2010");
    ASSERT_EQ(hits[0].annotations.size(), 2u);
    EXPECT_EQ(hits[0].annotations[1].event(), "Objection sustained");
    EXPECT_EQ(hits[1].locationName, "Salle d'audience \xC3\xA9t\xC3\xA9");
    // The malformed record and the record name without a day.
    ASSERT_EQ(problems.size(), 2u);
    EXPECT_NE(problems[0].find("broken.xml"), std::string::npos) << problems[0];
    EXPECT_NE(problems[1].find("COURT9~20100301.xml"), std::string::npos) << problems[1];

    problems.clear();
    EXPECT_FALSE(set.searchAllSessions("", hits, &problems));
    EXPECT_EQ(problems.size(), 3u);

    fs::remove(south.databasesPath() + "/COURT9~20100301.xml");
    fs::remove(south.databasesPath() + "/COURT8~20100301.xml");
    const ArchiveSessionSet clean(scratch_.path());
    EXPECT_TRUE(clean.searchAllSessions("never said", hits));
    EXPECT_TRUE(hits.empty());
    EXPECT_TRUE(clean.searchAllSessions("", hits));
    EXPECT_EQ(hits.size(), 4u);
}

}  // namespace
