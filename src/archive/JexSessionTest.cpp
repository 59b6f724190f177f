#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "FileIo.h"
#include "JexSession.h"
#include "TemporaryDirectory.h"
#include "TestArchiveBuilder.h"

namespace fs = std::filesystem;

namespace {

using RecordState = JexSession::RecordState;

constexpr double kNine = 1268661600.0;  // 2010-03-15 09:00:00 at UTC-5

std::string readFile(const std::string& path) {
    std::string bytes;
    FileIo::readWholeFile(path, bytes);
    return bytes;
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

class JexSessionTest : public ::testing::Test {
protected:
    TemporaryDirectory scratch_{"jexsession-"};
    TestArchiveBuilder archive_{scratch_.path()};

    std::string recordOf(const std::vector<JexAnnotation>& annotations) {
        return archive_.addSessionRecord("COURT1", 2010, 3, 15, annotations);
    }
};

TEST_F(JexSessionTest, WritesTheRecordInTheOrderThisSystemWritesIt) {
    JexSession session("COURT1", 2010, 3, 15);
    session.setDatabasesDirectory(archive_.databasesPath());
    ASSERT_TRUE(session.save());
    EXPECT_EQ(readFile(session.recordPath()),
              "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n"
              "<database date=\"20100315\" location=\"COURT1\">\n"
              "    <annotations />\n"
              "</database>\n");

    session.addAnnotation(
        TestArchiveBuilder::annotation(kNine, "Judge Amsel", "Court <in> & on", 0, -5));
    JexAnnotation custom = TestArchiveBuilder::annotation(kNine + 0.25, "Clerk", "", 1, -5);
    custom.setLocation("COURT1");
    custom.setCustomData("note", "a.wav", "/x/a.wav");
    session.addAnnotation(custom);
    ASSERT_TRUE(session.save());
    EXPECT_EQ(
        readFile(session.recordPath()),
        "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n"
        "<database date=\"20100315\" location=\"COURT1\">\n"
        "    <annotations>\n"
        "        <annotation ts=\"1268661600.000000\" displaytime=\"09:00:00 AM\" "
        "displaytimemilitary=\"09:00:00\" displaydate=\"03/15/2010\" user=\"Recorder\" "
        "labeltitle=\"Speaker\" labeldata=\"Judge Amsel\" index=\"0\" location=\"\">"
        "Court &lt;in&gt; &amp; on</annotation>\n"
        "        <annotation ts=\"1268661600.250000\" displaytime=\"09:00:00 AM\" "
        "displaytimemilitary=\"09:00:00\" displaydate=\"03/15/2010\" user=\"Recorder\" "
        "labeltitle=\"Speaker\" labeldata=\"Clerk\" index=\"1\" location=\"COURT1\" "
        "custom=\"note\" originalfilename=\"a.wav\" storedfilepath=\"/x/a.wav\"></annotation>\n"
        "    </annotations>\n"
        "</database>\n");
    // Nothing is left beside the record.
    EXPECT_EQ(
        std::distance(fs::directory_iterator(archive_.databasesPath()), fs::directory_iterator()),
        1);

    JexSession again("COURT1", 2010, 3, 15);
    ASSERT_EQ(again.load(archive_.databasesPath()), RecordState::kLoaded);
    ASSERT_EQ(again.annotationCount(), 2u);
    JexAnnotation first;
    ASSERT_TRUE(again.annotationAt(0, first));
    EXPECT_EQ(first.event(), "Court <in> & on");
    JexAnnotation second;
    ASSERT_TRUE(again.annotationAt(1, second));
    EXPECT_TRUE(second.hasCustomData());
    EXPECT_EQ(second.storedFilePath(), "/x/a.wav");
    // Reading keeps whole seconds only.
    EXPECT_EQ(second.timeStamp()->epochTimeSecondsInUtc(), 1268661600u);
    EXPECT_EQ(second.timeStamp()->microseconds(), 0u);
    EXPECT_EQ(again.recordedLocation(), "COURT1");
    EXPECT_EQ(again.recordedDate(), "20100315");
}

TEST_F(JexSessionTest, ReadsRecordsAsTheRecorderWritesThem) {
    const std::string path = archive_.addRawRecord(
        "COURT1~20100315.xml",
        "<?xml version=\"1.0\" ?>\n<!-- written by the recorder -->\n"
        "<database date=\"20100315\" location=\"COURT1\"><annotations>"
        "<annotation ts=\"1268661600.500000\" createdbyuser=\"rec\" displaytime=\"09:00:00 AM\" "
        "labeldata=\"Judge\" index=\"3\" colour=\"red\">First</annotation>"
        "<note labeldata=\"Any name\"/>"
        "<annotation user=\"u\">S&#233;ance &lt;2&gt;</annotation>"
        "</annotations></database>");
    JexSession session("COURT1", 2010, 3, 15);
    ASSERT_EQ(session.load(archive_.databasesPath()), RecordState::kLoaded);
    EXPECT_EQ(session.recordPath(), path);
    const std::vector<JexAnnotation> annotations = session.annotations();
    ASSERT_EQ(annotations.size(), 3u);
    EXPECT_EQ(annotations[0].user(), "rec");
    EXPECT_EQ(annotations[0].timeStamp()->epochTimeSecondsInUtc(), 1268661600u);
    EXPECT_EQ(annotations[0].index(), 3);
    EXPECT_EQ(annotations[0].event(), "First");
    EXPECT_EQ(annotations[1].labelData(), "Any name");
    EXPECT_EQ(annotations[1].event(), "");
    EXPECT_EQ(annotations[2].timeStamp(), nullptr);
    EXPECT_EQ(annotations[2].event(),
              "S\xC3\xA9"
              "ance <2>");

    // Tens of thousands of annotations load and save.
    JexSession big("BIG", 2010, 3, 15);
    for (int i = 0; i < 30000; ++i) {
        big.addAnnotation(
            TestArchiveBuilder::annotation(kNine + i, "Speaker", "event " + std::to_string(i)));
    }
    big.setDatabasesDirectory(archive_.databasesPath());
    ASSERT_TRUE(big.save());
    JexSession bigAgain("BIG", 2010, 3, 15);
    ASSERT_EQ(bigAgain.load(archive_.databasesPath()), RecordState::kLoaded);
    EXPECT_EQ(bigAgain.annotationCount(), 30000u);
    EXPECT_EQ(bigAgain.findAnnotations("event 29999"), std::vector<size_t>{29999});
}

TEST_F(JexSessionTest, ADamagedRecordIsReportedAndNeverOverwritten) {
    const std::string good = readFile(recordOf({TestArchiveBuilder::annotation(kNine, "J", "E")}));
    const std::string path = archive_.databasesPath() + "/COURT1~20100315.xml";
    const std::vector<std::string> damaged = {
        good.substr(0, good.size() / 2),                                // truncated
        std::string(good).replace(good.find("<annotations>"), 1, "{"),  // flipped byte
        "",                                                             // emptied
        "<database>" + std::string(5000, '<') + "</database>",          // garbage
        std::string(300000, '<') + "a>",                                // nested too deeply
        "<?xml version=\"1.0\"?>",                                      // no element
    };
    for (const std::string& bytes : damaged) {
        writeFile(path, bytes);
        JexSession session("COURT1", 2010, 3, 15);
        EXPECT_EQ(session.load(archive_.databasesPath()), RecordState::kMalformed)
            << bytes.substr(0, 60);
        EXPECT_NE(session.lastError().find(path), std::string::npos) << session.lastError();
        EXPECT_EQ(session.annotationCount(), 0u);
        session.addAnnotation(TestArchiveBuilder::annotation(kNine, "J", "new"));
        std::string error;
        EXPECT_FALSE(session.save(&error));
        EXPECT_NE(error.find("left as it is"), std::string::npos) << error;
        EXPECT_EQ(readFile(path), bytes);
    }

    // A record too large to read is refused without being read.
    writeFile(path, "");
    ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(JexSession::kMaximumRecordBytes + 1)), 0);
    JexSession large("COURT1", 2010, 3, 15);
    EXPECT_EQ(large.load(archive_.databasesPath()), RecordState::kUnreadable);
    EXPECT_NE(large.lastError().find("too large"), std::string::npos) << large.lastError();
    EXPECT_FALSE(large.save());

    if (::geteuid() != 0) {  // root reads whatever the permissions say
        writeFile(path, good);
        ::chmod(path.c_str(), 0);
        JexSession locked("COURT1", 2010, 3, 15);
        EXPECT_EQ(locked.load(archive_.databasesPath()), RecordState::kUnreadable);
        EXPECT_FALSE(locked.save());
        ::chmod(path.c_str(), 0644);
        EXPECT_EQ(readFile(path), good);
    }
}

TEST_F(JexSessionTest, LoadsEveryRecordSaveCanWrite) {
    // A record of a little more than the former read limit (64 MiB) loads.
    const std::string head =
        "<database date=\"20100315\" location=\"COURT1\"><annotations>"
        "<annotation ts=\"1268661600\">Court in session</annotation></annotations></database>";
    const std::string path = archive_.addRawRecord("COURT1~20100315.xml", head);
    {
        std::ofstream out(path, std::ios::binary | std::ios::app);
        const std::string blanks(1 << 20, ' ');
        for (int i = 0; i < 65; ++i) {
            out << blanks;
        }
    }
    JexSession large("COURT1", 2010, 3, 15);
    ASSERT_EQ(large.load(archive_.databasesPath()), RecordState::kLoaded) << large.lastError();
    EXPECT_EQ(large.annotationCount(), 1u);

    // What could not be read back is not written: the record stays as it was.
    static_assert(JexSession::kMaximumSavedRecordBytes <= JexSession::kMaximumRecordBytes / 2);
    ASSERT_TRUE(large.save());
    const std::string saved = readFile(path);
    large.addAnnotation(TestArchiveBuilder::annotation(
        kNine, "Clerk", std::string(JexSession::kMaximumSavedRecordBytes, 'x')));
    std::string error;
    EXPECT_FALSE(large.save(&error));
    EXPECT_NE(error.find("would be larger than 128 MB"), std::string::npos) << error;
    EXPECT_EQ(readFile(path), saved);
}

TEST_F(JexSessionTest, AMissingRecordIsAnEmptySessionThatSaveCreates) {
    JexSession session("COURT9", 2010, 3, 15);
    EXPECT_EQ(session.load(archive_.databasesPath()), RecordState::kMissing);
    EXPECT_EQ(session.lastError(), "");
    session.addAnnotation(TestArchiveBuilder::annotation(kNine, "J", "first"));
    ASSERT_TRUE(session.save());
    EXPECT_TRUE(fs::exists(archive_.databasesPath() + "/COURT9~20100315.xml"));

    // A copied session's record goes into a Databases directory that may not exist yet.
    JexSession copy("COURT9", 2010, 3, 15);
    copy.setDatabasesDirectory(scratch_.file("copy/Databases"));
    WallClockTime start(kNine, 0);
    WallClockTime end(kNine + 600, 0);
    copy.addCopyMarkers(start, end);
    ASSERT_TRUE(copy.save());
    JexSession copied("COURT9", 2010, 3, 15);
    ASSERT_EQ(copied.load(scratch_.file("copy/Databases")), RecordState::kLoaded);
    const auto markers = copied.annotations();
    ASSERT_EQ(markers.size(), 2u);
    EXPECT_EQ(markers[0].event(), "Copy Started");
    EXPECT_EQ(markers[1].event(), "Copy Stopped");
    EXPECT_EQ(markers[1].timeStamp()->epochTimeSecondsInUtc(), 1268662200u);

    // A place that cannot hold a directory fails the save with the reason.
    writeFile(scratch_.file("plain-file"), "x");
    JexSession nowhere("COURT9", 2010, 3, 15);
    nowhere.setDatabasesDirectory(scratch_.file("plain-file/Databases"));
    std::string error;
    EXPECT_FALSE(nowhere.save(&error));
    EXPECT_NE(error.find("could not be written"), std::string::npos) << error;
}

TEST_F(JexSessionTest, ReloadReportsChangesAndSaveRespectsOtherWriters) {
    const std::string path = recordOf({TestArchiveBuilder::annotation(kNine, "J", "one")});
    JexSession session("COURT1", 2010, 3, 15);
    ASSERT_EQ(session.load(archive_.databasesPath()), RecordState::kLoaded);
    bool changed = true;
    EXPECT_EQ(session.reload(changed), RecordState::kLoaded);
    EXPECT_FALSE(changed);

    // Touched without a change: not a change.
    const std::string first = readFile(path);
    writeFile(path, first);
    EXPECT_EQ(session.reload(changed), RecordState::kLoaded);
    EXPECT_FALSE(changed);

    // The recorder adds an annotation: saving over it would lose it, so save refuses.
    session.addAnnotation(TestArchiveBuilder::annotation(kNine + 5, "J", "mine"));
    recordOf({TestArchiveBuilder::annotation(kNine, "J", "one"),
              TestArchiveBuilder::annotation(kNine + 9, "J", "recorder's")});
    const std::string recorders = readFile(path);
    std::string error;
    EXPECT_FALSE(session.save(&error));
    EXPECT_NE(error.find("changed by another program"), std::string::npos) << error;
    EXPECT_EQ(readFile(path), recorders);
    EXPECT_EQ(session.reload(changed), RecordState::kLoaded);
    EXPECT_TRUE(changed);
    EXPECT_EQ(session.findAnnotations("recorder's"), std::vector<size_t>{1});
    session.addAnnotation(TestArchiveBuilder::annotation(kNine + 5, "J", "mine"));
    EXPECT_TRUE(session.save());
    EXPECT_EQ(session.reload(changed), RecordState::kLoaded);
    EXPECT_FALSE(changed);

    // Half-written by another program: the list stays, then follows the finished file.
    writeFile(path, recorders.substr(0, 100));
    EXPECT_EQ(session.reload(changed), RecordState::kMalformed);
    EXPECT_FALSE(changed);
    EXPECT_EQ(session.annotationCount(), 3u);
    EXPECT_FALSE(session.save());
    writeFile(path, recorders);
    EXPECT_EQ(session.reload(changed), RecordState::kLoaded);
    EXPECT_TRUE(changed);
    EXPECT_EQ(session.annotationCount(), 2u);

    // Removed: the session is empty.
    fs::remove(path);
    EXPECT_EQ(session.reload(changed), RecordState::kMissing);
    EXPECT_TRUE(changed);
    EXPECT_EQ(session.annotationCount(), 0u);

    JexSession neverLoaded("COURT1", 2010, 3, 15);
    EXPECT_EQ(neverLoaded.reload(changed), RecordState::kNotRead);
    EXPECT_FALSE(neverLoaded.lastError().empty());
}

// True when `text` is well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
bool isUtf8(const std::string& text) {
    size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        int length = c < 0x80                 ? 1
                     : c >= 0xC2 && c <= 0xDF ? 2
                     : c >= 0xE0 && c <= 0xEF ? 3
                     : c >= 0xF0 && c <= 0xF4 ? 4
                                              : 0;
        if (length == 0 || i + length > text.size()) {
            return false;
        }
        const auto second = static_cast<unsigned char>(text[i + (length > 1 ? 1 : 0)]);
        if ((c == 0xE0 && second < 0xA0) || (c == 0xED && second > 0x9F) ||
            (c == 0xF0 && second < 0x90) || (c == 0xF4 && second > 0x8F)) {
            return false;
        }
        for (int k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
                return false;
            }
        }
        i += length;
    }
    return true;
}

TEST_F(JexSessionTest, TextKeepsItsCharactersThroughLoadAndSave) {
    const std::string cafe = "Caf\xC3\xA9";
    const std::string euro = "\xE2\x82\xAC";
    const struct {
        const char* name;
        std::string bytes;
        std::string event;
    } kRecords[] = {
        {"undeclared UTF-8 with character references",
         "<database date=\"20100315\" location=\"COURT1\"><annotations>"
         "<annotation ts=\"1268661600\" labeldata=\"Ren\xC3\xA9"
         "e\">Caf\xC3\xA9 &#233; &#8364;"
         "</annotation></annotations></database>",
         cafe + " \xC3\xA9 " + euro},
        {"declared ISO-8859-1",
         "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
         "<database date=\"20100315\" location=\"COURT1\"><annotations>"
         "<annotation ts=\"1268661600\" labeldata=\"Ren\xE9"
         "e\">Caf\xE9 &#233; &#8364;"
         "</annotation></annotations></database>",
         cafe + " \xC3\xA9 " + euro},
        {"text that is a character reference, spelled out",
         "<database><annotations><annotation labeldata=\"Ren\xC3\xA9"
         "e\">&amp;#x41; &amp;#65;"
         "</annotation></annotations></database>",
         "&#x41; &#65;"},
    };
    for (const auto& record : kRecords) {
        SCOPED_TRACE(record.name);
        const std::string path = archive_.addRawRecord("COURT1~20100315.xml", record.bytes);
        JexSession session("COURT1", 2010, 3, 15);
        ASSERT_EQ(session.load(archive_.databasesPath()), RecordState::kLoaded)
            << session.lastError();
        ASSERT_EQ(session.annotationCount(), 1u);
        EXPECT_EQ(session.annotations()[0].event(), record.event);
        EXPECT_EQ(session.annotations()[0].labelData(),
                  "Ren\xC3\xA9"
                  "e");

        ASSERT_TRUE(session.save());
        const std::string saved = readFile(path);
        EXPECT_TRUE(isUtf8(saved)) << saved;
        EXPECT_EQ(saved.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n", 0), 0u) << saved;
        JexSession again("COURT1", 2010, 3, 15);
        ASSERT_EQ(again.load(archive_.databasesPath()), RecordState::kLoaded);
        EXPECT_EQ(again.annotations()[0].event(), record.event);
        EXPECT_EQ(again.annotations()[0].labelData(),
                  "Ren\xC3\xA9"
                  "e");
        EXPECT_EQ(again.recordText(), saved);
    }

    // Bytes that are not UTF-8 in a record that names no other encoding are read as the
    // Windows code page the recorder wrote; a named encoding nobody knows is refused.
    archive_.addRawRecord("COURT1~20100315.xml",
                          "<database><annotations><annotation>Caf\xE9 \x80 "
                          "\xE2\x82\xAC</annotation></annotations></database>");
    JexSession legacy("COURT1", 2010, 3, 15);
    ASSERT_EQ(legacy.load(archive_.databasesPath()), RecordState::kLoaded);
    EXPECT_EQ(legacy.annotations()[0].event(), cafe + " " + euro + " " + euro);
    archive_.addRawRecord("COURT1~20100315.xml",
                          "<?xml version=\"1.0\" encoding=\"X-UNHEARD-OF\"?><database/>");
    JexSession unknown("COURT1", 2010, 3, 15);
    EXPECT_EQ(unknown.load(archive_.databasesPath()), RecordState::kMalformed);
    EXPECT_NE(unknown.lastError().find("X-UNHEARD-OF"), std::string::npos) << unknown.lastError();
}

TEST_F(JexSessionTest, EditsAndFindsAnnotations) {
    JexSession session("COURT1", 2010, 3, 15);
    for (const char* event : {"Objection", "Recess", "Objection sustained", "objection"}) {
        session.addAnnotation(TestArchiveBuilder::annotation(kNine, "J", event));
    }
    EXPECT_EQ(session.findAnnotations("Objection"), (std::vector<size_t>{0, 2}));
    EXPECT_EQ(session.annotationsContaining("sustained").size(), 1u);
    EXPECT_EQ(session.findAnnotations("").size(), 4u);
    size_t found = 0;
    ASSERT_TRUE(session.findNextAnnotation("Objection", 1, found));
    EXPECT_EQ(found, 2u);
    EXPECT_FALSE(session.findNextAnnotation("Objection", 3, found));

    EXPECT_TRUE(session.removeAnnotation(1));
    EXPECT_FALSE(session.removeAnnotation(3));
    EXPECT_TRUE(session.replaceAnnotation(2, TestArchiveBuilder::annotation(kNine, "J", "Adj.")));
    EXPECT_FALSE(session.replaceAnnotation(3, JexAnnotation()));
    JexAnnotation annotation;
    EXPECT_FALSE(session.annotationAt(3, annotation));
    std::vector<std::string> events;
    for (const JexAnnotation& a : session.annotations()) {
        events.push_back(a.event());
    }
    EXPECT_EQ(events, (std::vector<std::string>{"Objection", "Objection sustained", "Adj."}));
}

TEST_F(JexSessionTest, FindsInRecordsWhatALoadedSessionWouldFind) {
    const std::string path = archive_.addRawRecord(
        "COURT1~20100315.xml",
        "<database><annotations>"
        "<annotation labeldata=\"a\">Obj&#101;ction by the defence</annotation>"
        "<annotation labeldata=\"b\">Court   in\n   session</annotation>"
        "<annotation labeldata=\"c\">Smith &amp; Jones</annotation>"
        "<annotation labeldata=\"d\"><![CDATA[Exhibit <4>]]></annotation>"
        "<annotation labeldata=\"Objection\">Recess</annotation>"
        "</annotations></database>");
    JexSession session("COURT1", 2010, 3, 15);
    ASSERT_EQ(session.load(archive_.databasesPath()), RecordState::kLoaded);
    for (const char* text : {"Objection", "in session", "Smith & Jones", "Exhibit <4>", "Recess",
                             "Court", "", "absent", "by  the", "Smith & Miller", "\t"}) {
        std::vector<JexAnnotation> found;
        std::string error;
        ASSERT_EQ(JexSession::findInRecord(path, text, found, error), RecordState::kLoaded);
        const std::vector<JexAnnotation> expected = session.annotationsContaining(text);
        ASSERT_EQ(found.size(), expected.size()) << text;
        for (size_t i = 0; i < found.size(); ++i) {
            EXPECT_EQ(found[i].labelData(), expected[i].labelData());
        }
    }

    EXPECT_FALSE(JexSession::recordMayHoldEvent("<a>Recess</a>", "Objection"));
    EXPECT_TRUE(JexSession::recordMayHoldEvent("<a>Obj&#101;ction</a>", "Objection"));
    EXPECT_FALSE(JexSession::recordMayHoldEvent("<a>x</a>", "x y"));
    EXPECT_TRUE(JexSession::recordMayHoldEvent("<a>x\n  y</a>", "x y"));
    EXPECT_TRUE(JexSession::recordMayHoldEvent("<a>x</a>", "<"));
    EXPECT_TRUE(JexSession::recordMayHoldEvent("<a>x</a>", ""));

    std::vector<JexAnnotation> found;
    std::string error;
    EXPECT_EQ(JexSession::findInRecord(scratch_.file("none.xml"), "x", found, error),
              RecordState::kMissing);
    writeFile(path, "<database><annotations><annotation>Objection");
    EXPECT_EQ(JexSession::findInRecord(path, "Objection", found, error), RecordState::kMalformed);
    EXPECT_NE(error.find(path), std::string::npos) << error;
    // A damaged record that cannot hold the text is not parsed.
    EXPECT_EQ(JexSession::findInRecord(path, "Recess", found, error), RecordState::kLoaded);
    EXPECT_TRUE(found.empty());
}

TEST_F(JexSessionTest, ExportsHtmlAndTextExactly) {
    JexSession session("COURT1", 2010, 3, 5);
    std::ostringstream emptyHtml;
    EXPECT_TRUE(session.exportAsHtml(emptyHtml));
    EXPECT_EQ(emptyHtml.str(),
              "<html><table border=\"1\"><th>Location</th><th>Date</th><tr><td>COURT1</td><td>"
              "3/5/2010</td></tr></table><br><body><table border=\"1\"><th>Time</th>"
              "<th>Speaker</th><th>Event</th></table></body></html>");

    session.addAnnotation(
        TestArchiveBuilder::annotation(kNine, "Judge Amsel", "Court in session", 0, -5));
    session.addAnnotation(
        TestArchiveBuilder::annotation(kNine + 95, "Counsel", "Exhibit <4> & 5", 1, -5));
    std::ostringstream html;
    EXPECT_TRUE(session.exportAsHtml(html));
    EXPECT_EQ(html.str(),
              "<html><table border=\"1\"><th>Location</th><th>Date</th><tr><td>COURT1</td><td>"
              "3/5/2010</td></tr></table><br><body><table border=\"1\"><th>Time</th>"
              "<th>Speaker</th><th>Event</th>"
              "<tr><td>03/15/2010  09:00:00 AM&nbsp;</td><td>&nbsp;Judge Amsel </td><td>&nbsp;"
              "Court in session </td></tr>\n"
              "<tr><td>03/15/2010  09:01:35 AM&nbsp;</td><td>&nbsp;Counsel </td><td>&nbsp;"
              "Exhibit &lt;4&gt; &amp; 5 </td></tr>\n"
              "</table></body></html>");

    std::ostringstream text;
    EXPECT_TRUE(session.exportAsText(text));
    EXPECT_EQ(text.str(),
              "Session : COURT1, 3/5/2010\n\n"
              "03/15/2010  09:00:00 AM\t\tJudge Amsel\t\tCourt in session\n\n"
              "03/15/2010  09:01:35 AM\t\tCounsel\t\tExhibit <4> & 5\n\n");

    std::ostringstream broken;
    broken.setstate(std::ios::badbit);
    EXPECT_FALSE(session.exportAsHtml(broken));
    EXPECT_FALSE(session.exportAsText(broken));
}

}  // namespace
