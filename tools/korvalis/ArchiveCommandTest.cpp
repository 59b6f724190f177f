// korvalis sessions, annotations and search, run as a user runs them, on generated archives.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "FileIo.h"
#include "TemporaryDirectory.h"
#include "TestArchiveBuilder.h"

namespace {

constexpr double kNine = 1268661600.0;  // 2010-03-15 09:00:00 at UTC-5

struct CommandRun {
    int status = -1;
    std::string out;
    std::string err;
};

std::string quoted(const std::string& argument) {
    std::string text = "'";
    for (const char c : argument) {
        text += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return text + "'";
}

class ArchiveCommandTest : public ::testing::Test {
protected:
    TemporaryDirectory scratch_{"archive-command-"};

    // Runs the tool; with `asNobody` (when the test runs as root) as the unprivileged user, for
    // whom permissions count.
    CommandRun korvalis(const std::vector<std::string>& arguments, bool asNobody = false) {
        std::string command = quoted(KORVALIS_EXECUTABLE);
        if (asNobody && ::geteuid() == 0) {
            command = "setpriv --reuid=65534 --regid=65534 --clear-groups " + command;
        }
        for (const std::string& argument : arguments) {
            command += " " + quoted(argument);
        }
        const std::string out = scratch_.file("stdout");
        const std::string err = scratch_.file("stderr");
        command += " >" + quoted(out) + " 2>" + quoted(err);
        CommandRun run;
        const int status = std::system(command.c_str());
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        FileIo::readWholeFile(out, run.out);
        FileIo::readWholeFile(err, run.err);
        return run;
    }

    // COURT1 on two days (three and two channels), COURT2, and a second root below "archives".
    void buildArchives() {
        TestArchiveBuilder north(scratch_.file("archives/north"));
        north.addSessionRecord(
            "COURT1", 2010, 3, 15,
            {TestArchiveBuilder::annotation(kNine, "Judge Amsel", "Court in session", 0, -5),
             TestArchiveBuilder::annotation(kNine + 610, "Counsel", "Objection:\thearsay", 1, -5)});
        north.addSessionMedia("COURT1", 2010, 3, 15, 3, kNine, 2);
        north.addSessionRecord("COURT1", 2010, 3, 16, {});
        north.addSessionMedia("COURT1", 2010, 3, 16, 2, kNine + 86400, 1, false);
        north.addSessionRecord(
            "COURT2", 2010, 3, 15,
            {TestArchiveBuilder::annotation(kNine, "Judge Brandt", "Objection sustained", 0, -5)});
        TestArchiveBuilder south(scratch_.file("archives/south"));
        south.addSessionRecord(
            "Hearing Room 3", 2011, 1, 4,
            {TestArchiveBuilder::annotation(kNine, "Clerk", "No objection", 0, -5)});
        south.addSessionMedia("Hearing Room 3", 2011, 1, 4, 1, kNine, 1);
    }
};

TEST_F(ArchiveCommandTest, SessionsListsRootsThenEverySessionWithItsChannels) {
    buildArchives();
    TestArchiveBuilder(scratch_.file("archives/south")).addRawRecord("notes.xml", "<database/>");
    const CommandRun run =
        korvalis({"sessions", scratch_.file("archives") + ";" + scratch_.file("none")});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "root: " + scratch_.file("archives/north") + "\n" +
                           "root: " + scratch_.file("archives/south") + "\n" +
                           "COURT1 2010-03-15 channels=3\n"
                           "COURT1 2010-03-16 channels=2\n"
                           "COURT2 2010-03-15 channels=0\n"
                           "Hearing Room 3 2011-01-04 channels=1\n");
    EXPECT_NE(run.err.find("skipped notes.xml"), std::string::npos) << run.err;

    const CommandRun empty = korvalis({"sessions", scratch_.file("none")});
    EXPECT_EQ(empty.status, 1);
    EXPECT_EQ(empty.out, "");
    EXPECT_NE(empty.err.find("no archive"), std::string::npos) << empty.err;
    EXPECT_EQ(korvalis({"sessions"}).status, 2);
    EXPECT_EQ(korvalis({"sessions", "a", "b"}).status, 2);
}

TEST_F(ArchiveCommandTest, AnnotationsPrintsTheExportFormats) {
    buildArchives();
    const std::string roots = scratch_.file("archives");
    const CommandRun text = korvalis({"annotations", roots, "COURT1", "20100315"});
    EXPECT_EQ(text.status, 0) << text.err;
    EXPECT_EQ(text.out,
              "Session : COURT1, 3/15/2010\n\n"
              "03/15/2010  09:00:00 AM\t\tJudge Amsel\t\tCourt in session\n\n"
              "03/15/2010  09:10:10 AM\t\tCounsel\t\tObjection:\thearsay\n\n");
    EXPECT_EQ(korvalis({"annotations", roots, "COURT1", "20100315", "--text"}).out, text.out);

    const CommandRun html = korvalis({"annotations", roots, "COURT2", "20100315", "--html"});
    EXPECT_EQ(html.status, 0) << html.err;
    EXPECT_EQ(html.out,
              "<html><table border=\"1\"><th>Location</th><th>Date</th><tr><td>COURT2</td><td>"
              "3/15/2010</td></tr></table><br><body><table border=\"1\"><th>Time</th>"
              "<th>Speaker</th><th>Event</th><tr><td>03/15/2010  09:00:00 AM&nbsp;</td><td>"
              "&nbsp;Judge Brandt </td><td>&nbsp;Objection sustained </td></tr>\n"
              "</table></body></html>");

    const CommandRun missing = korvalis({"annotations", roots, "COURT2", "20100316"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("no session record"), std::string::npos) << missing.err;
    EXPECT_EQ(korvalis({"annotations", roots, "COURT7", "20100315"}).status, 1);

    TestArchiveBuilder(scratch_.file("archives/north"))
        .addRawRecord("COURT2~20100317.xml", "<database><annotations>");
    const CommandRun malformed = korvalis({"annotations", roots, "COURT2", "20100317"});
    EXPECT_EQ(malformed.status, 1);
    EXPECT_NE(malformed.err.find("is not a readable session record"), std::string::npos)
        << malformed.err;

    for (const std::vector<std::string>& wrong :
         {std::vector<std::string>{"annotations", roots, "COURT1"},
          {"annotations", roots, "COURT1", "2010-03-15"},
          {"annotations", roots, "COURT1", "20101315"},
          {"annotations", roots, "COURT1", "20100315", "--html", "--text"},
          {"annotations", roots, "COURT1", "20100315", "--pdf"}}) {
        const CommandRun run = korvalis(wrong);
        EXPECT_EQ(run.status, 2) << wrong.back();
        EXPECT_NE(run.err.find("Usage: korvalis annotations"), std::string::npos);
    }
}

TEST_F(ArchiveCommandTest, SearchPrintsOneLinePerMatchAndFailsOnUnreadableRecords) {
    buildArchives();
    const std::string roots = scratch_.file("archives");
    const CommandRun run = korvalis({"search", roots, "bjection"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "COURT1 2010-03-15 09:10:10 AM\tCounsel\tObjection: hearsay\n"
              "COURT2 2010-03-15 09:00:00 AM\tJudge Brandt\tObjection sustained\n"
              "Hearing Room 3 2011-01-04 09:00:00 AM\tClerk\tNo objection\n");
    EXPECT_EQ(korvalis({"search", roots, "never said"}).out, "");

    TestArchiveBuilder(scratch_.file("archives/south"))
        .addRawRecord("COURT5~20100101.xml", std::string(200000, '<') + "Objection");
    const CommandRun damaged = korvalis({"search", roots, "Objection"});
    EXPECT_EQ(damaged.status, 1);
    EXPECT_EQ(damaged.out,
              "COURT1 2010-03-15 09:10:10 AM\tCounsel\tObjection: hearsay\n"
              "COURT2 2010-03-15 09:00:00 AM\tJudge Brandt\tObjection sustained\n");
    EXPECT_NE(damaged.err.find("COURT5~20100101.xml"), std::string::npos) << damaged.err;
    EXPECT_EQ(korvalis({"search", roots}).status, 2);
}

TEST_F(ArchiveCommandTest, SearchFindsTheSameTextWhateverTheRecordsEncoding) {
    TestArchiveBuilder archive(scratch_.file("archives/north"));
    archive.addRawRecord("COURT1~20100315.xml",
                         "<database date=\"20100315\" location=\"COURT1\"><annotations>"
                         "<annotation displaytime=\"09:00:00 AM\" labeldata=\"Clerk\">"
                         "Caf\xC3\xA9 &#233; &#8364;</annotation></annotations></database>");
    archive.addRawRecord("COURT2~20100315.xml",
                         "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
                         "<database date=\"20100315\" location=\"COURT2\"><annotations>"
                         "<annotation displaytime=\"09:00:00 AM\" labeldata=\"Clerk\">"
                         "Caf\xE9 au lait</annotation></annotations></database>");
    const CommandRun run = korvalis({"search", scratch_.file("archives"), "Caf\xC3\xA9"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "COURT1 2010-03-15 09:00:00 AM\tClerk\tCaf\xC3\xA9 \xC3\xA9 \xE2\x82\xAC\n"
              "COURT2 2010-03-15 09:00:00 AM\tClerk\tCaf\xC3\xA9 au lait\n");
}

TEST_F(ArchiveCommandTest, AnUnreadableDatabasesDirectoryIsReported) {
    buildArchives();
    const std::string roots = scratch_.file("archives");
    const std::string databases = scratch_.file("archives/south/Databases");
    for (const std::string& directory : {scratch_.path(), roots, scratch_.file("archives/north"),
                                         scratch_.file("archives/south")}) {
        ::chmod(directory.c_str(), 0755);
    }
    ASSERT_EQ(::chmod(databases.c_str(), 0300), 0);
    for (const char* command : {"sessions", "search"}) {
        SCOPED_TRACE(command);
        std::vector<std::string> arguments{command, roots};
        if (std::string(command) == "search") {
            arguments.push_back("Objection");
        }
        const CommandRun run = korvalis(arguments, true);
        EXPECT_EQ(run.status, 1) << run.err;
        EXPECT_NE(run.err.find(databases + " could not be read"), std::string::npos) << run.err;
        // What the readable root holds is still shown.
        EXPECT_NE(run.out.find("COURT2"), std::string::npos) << run.out;
    }
    ::chmod(databases.c_str(), 0755);
}

TEST_F(ArchiveCommandTest, ControlCharactersOfRecordsAreShownEscaped) {
    TestArchiveBuilder archive(scratch_.file("archives/north"));
    archive.addRawRecord("COURT1~20100315.xml",
                         "<database date=\"20100315\" location=\"COURT1\"><annotations>"
                         "<annotation displaytime=\"09:00:00 AM\" labeldata=\"\x1b]0;owned\x07\">"
                         "Objection \x1b[2J&#27;[31m&#13;gone&#x9b;</annotation></annotations>"
                         "</database>");
    const std::string roots = scratch_.file("archives");
    const CommandRun text = korvalis({"annotations", roots, "COURT1", "20100315", "--text"});
    EXPECT_EQ(text.status, 0) << text.err;
    EXPECT_EQ(text.out,
              "Session : COURT1, 3/15/2010\n\n"
              "  09:00:00 AM\t\t\\x1B]0;owned\\x07\t\t"
              "Objection \\x1B[2J\\x1B[31m\\x0Dgone\\xC2\\x9B\n\n");
    const CommandRun search = korvalis({"search", roots, "Objection"});
    EXPECT_EQ(search.status, 0) << search.err;
    EXPECT_EQ(search.out,
              "COURT1 2010-03-15 09:00:00 AM\t\\x1B]0;owned\\x07\t"
              "Objection \\x1B[2J\\x1B[31m gone\\xC2\\x9B\n");
}

}  // namespace
