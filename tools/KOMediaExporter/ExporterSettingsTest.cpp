// The settings file as the player writes it: its keys, their defaults and checks, and every
// reading of the media folder that leads to the session.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "ExporterSettings.h"
#include "FileIo.h"
#include "SampleArchiveWriter.h"
#include "TemporaryDirectory.h"

namespace {

std::string settingsText(const std::string& mediaFolder, const std::string& recorder,
                         const std::string& rest) {
    return "<ExporterSettings>\n    <mediaFolder>" + mediaFolder + "</mediaFolder>\n" +
           "    <recorderName>" + recorder + "</recorderName>\n" + rest + "</ExporterSettings>\n";
}

const std::string kDay = "<year>2010</year><month>3</month><day>15</day>";

class ExporterSettingsTest : public ::testing::Test {
protected:
    bool read(const std::string& text) {
        const std::string path = directory_.file(ExporterSettings::kFileName);
        EXPECT_TRUE(FileIo::writeFileAtomically(path, text));
        return settings_.readFromFile(path);
    }

    TemporaryDirectory directory_{"exporter-settings-"};
    ExporterSettings settings_;
};

TEST_F(ExporterSettingsTest, ReadsWhatThePlayerWritesAndDefaultsTheRest) {
    ASSERT_TRUE(read(settingsText("/a/b", "COURT1",
                                  kDay + "<includeVideo>0</includeVideo>"
                                         "<mixAudioChannels>1</mixAudioChannels>"
                                         "<outputPath>out.mkv</outputPath>"
                                         "<framesPerSecond>25</framesPerSecond>")))
        << settings_.errorText();
    EXPECT_EQ(settings_.mediaFolder(), "/a/b");
    EXPECT_EQ(settings_.recorderName(), "COURT1");
    EXPECT_EQ(settings_.year(), 2010);
    EXPECT_EQ(settings_.month(), 3);
    EXPECT_EQ(settings_.day(), 15);
    EXPECT_FALSE(settings_.includeVideo());
    EXPECT_TRUE(settings_.mixAudioChannels());
    EXPECT_EQ(settings_.outputPath(), "out.mkv");
    EXPECT_EQ(settings_.framesPerSecond(), 25);
    EXPECT_EQ(settings_.settingsDirectory(), directory_.path());

    // A second file read into the same object: what it lacks takes the defaults again.
    ASSERT_TRUE(read(settingsText("/a/b", "COURT1", kDay + "<includeVideo>true</includeVideo>")));
    EXPECT_TRUE(settings_.includeVideo());
    EXPECT_FALSE(settings_.mixAudioChannels());
    EXPECT_EQ(settings_.outputPath(), "");
    EXPECT_EQ(settings_.framesPerSecond(), 20);
}

TEST_F(ExporterSettingsTest, RefusesFilesThatCannotNameASessionAndSaysWhy) {
    struct Case {
        std::string name;
        std::string text;
        std::string words;
    };
    const Case cases[] = {
        {"missing keys", settingsText("/a", "COURT1", "<year>2010</year>"),
         "lacks \"month\", \"day\""},
        {"no media folder", "<ExporterSettings>" + kDay + "</ExporterSettings>",
         "lacks \"mediaFolder\", \"recorderName\""},
        {"another file", "<galewickconfiguration><rootpath>/a</rootpath></galewickconfiguration>",
         "not an ExporterSettings file"},
        {"not XML", "this is not a settings file", "not an ExporterSettings file"},
        {"an empty location", settingsText("/a", " ", kDay), "\"recorderName\" empty"},
        {"no day", settingsText("/a", "COURT1", "<year>2010</year><month>13</month><day>1</day>"),
         "names no day"},
        {"a word for a number",
         settingsText("/a", "COURT1", "<year>twenty</year><month>3</month><day>1</day>"),
         "names no day"},
        {"a rate of 0", settingsText("/a", "COURT1", kDay + "<framesPerSecond>0</framesPerSecond>"),
         "from 1 to 120"},
        {"a flag that is neither",
         settingsText("/a", "COURT1", kDay + "<includeVideo>yes</includeVideo>"),
         "\"includeVideo\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(read(c.text));
        EXPECT_NE(settings_.errorText().find(c.words), std::string::npos) << settings_.errorText();
    }
    EXPECT_FALSE(settings_.readFromFile(directory_.file("absent.xml")));
    EXPECT_NE(settings_.errorText().find("cannot read"), std::string::npos);
}

TEST_F(ExporterSettingsTest, TheMediaFolderLeadsToTheSessionHoweverItWasJoined) {
    const std::string parent = directory_.file("archives");
    const std::string root = parent + "/main";
    std::filesystem::create_directories(parent);
    SampleArchiveWriter::Settings archive;
    archive.locations = {"Court1"};
    archive.channels = 1;
    archive.hours = 0.01;
    archive.video = false;
    archive.annotationsPerHour = 0;
    SampleArchiveWriter writer(archive);
    ASSERT_TRUE(writer.write(root)) << writer.errorText();

    const std::string elsewhere = directory_.file("elsewhere");
    std::filesystem::create_directories(elsewhere);
    struct Case {
        std::string name;
        std::string folder;
        std::string recorder;
    };
    const Case cases[] = {
        {"the archive root", root, "Court1"},
        {"its Recordings directory", root + "/Recordings/", "Court1"},
        {"the player's join without separators", root + "Court1\\Recordings", "Court1"},
        {"the join with a slash", root + "/Court1/Recordings", "Court1"},
        {"another case of the location", root + "COURT1/Recordings", "COURT1"},
        {"a parent of roots", parent + "Court1\\Recordings", "Court1"},
        {"several roots", elsewhere + ";" + root + "Court1\\Recordings", "Court1"},
        {"backslashes throughout", parent + "\\main\\Recordings", "Court1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(read(settingsText(c.folder, c.recorder, kDay))) << settings_.errorText();
        std::string recordings;
        std::string location;
        ASSERT_TRUE(settings_.findSession(recordings, location)) << settings_.errorText();
        EXPECT_EQ(recordings, root + "/Recordings");
        EXPECT_EQ(location, "Court1");
    }

    ASSERT_TRUE(read(settingsText(elsewhere + "Court1/Recordings", "Court1", kDay)));
    std::string recordings;
    std::string location;
    EXPECT_FALSE(settings_.findSession(recordings, location));
    EXPECT_NE(settings_.errorText().find("no session Court1 2010-03-15 under the media folder"),
              std::string::npos)
        << settings_.errorText();
    ASSERT_TRUE(
        read(settingsText(root, "Court1", "<year>2010</year><month>3</month><day>16</day>")));
    EXPECT_FALSE(settings_.findSession(recordings, location));
}

}  // namespace
