// KOMediaExporter run as the player starts it: a settings file in the working directory or
// named on the command line, the file written, the exit status and what is left behind.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "ExportTestSupport.h"
#include "FileIo.h"
#include "SampleArchiveWriter.h"
#include "TemporaryDirectory.h"

namespace {

using Support = ExportTestSupport;

class KOMediaExporterTest : public ::testing::Test {
protected:
    void SetUp() override {
        SampleArchiveWriter::Settings settings;
        settings.locations = {"COURT1"};
        settings.channels = 2;
        settings.hours = 90.0 / 3600.0;
        settings.fileMinutes = 0.5;
        settings.videoWidth = 96;
        settings.videoHeight = 72;
        settings.annotationsPerHour = 0;
        SampleArchiveWriter writer(settings);
        ASSERT_TRUE(writer.write(archive_.path())) << writer.errorText();
        std::filesystem::create_directories(work_.file("run"));
    }

    // The settings as the player writes them: the root, the location and "\Recordings" joined.
    void writeSettings(const std::string& path, const std::string& extra,
                       const std::string& day = "<day>15</day>") {
        const std::string text = "<ExporterSettings>\n    <mediaFolder>" + archive_.path() +
                                 "COURT1\\Recordings</mediaFolder>\n"
                                 "    <recorderName>COURT1</recorderName>\n"
                                 "    <year>2010</year>\n    <month>3</month>\n    " +
                                 day + extra + "\n</ExporterSettings>\n";
        ASSERT_TRUE(FileIo::writeFileAtomically(path, text));
    }

    Support::ProgramRun exporter(const std::vector<std::string>& arguments,
                                 const std::string& directory) {
        std::vector<std::string> command{KOMEDIAEXPORTER_EXECUTABLE};
        command.insert(command.end(), arguments.begin(), arguments.end());
        return Support::run(command, scratch_.path(), directory);
    }

    TemporaryDirectory archive_{"exporter-archive-"};
    TemporaryDirectory work_{"exporter-work-"};
    TemporaryDirectory scratch_{"exporter-scratch-"};
};

TEST_F(KOMediaExporterTest, ExportsTheSessionTheSettingsNameBesideThem) {
    const std::string run = work_.file("run");
    writeSettings(run + "/ExporterSettings.xml",
                  "<includeVideo>1</includeVideo><mixAudioChannels>0</mixAudioChannels>"
                  "<outputPath></outputPath><framesPerSecond>20</framesPerSecond>");
    Support::ProgramRun result = exporter({}, run);
    ASSERT_EQ(result.status, 0) << result.err;
    const std::string output = run + "/COURT1_2010-03-15.mp4";
    EXPECT_EQ(result.out, "exported ./COURT1_2010-03-15.mp4\n");
    // Not on a terminal: whole lines, the last one complete.
    EXPECT_NE(result.err.find("exported 1:30 of 1:30 (100 %)\n"), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find('\r'), std::string::npos);
    Support::Probe probe = Support::probe(output, scratch_.path());
    ASSERT_TRUE(probe.readable);
    EXPECT_EQ(probe.countOf("video"), 1);
    EXPECT_EQ(probe.countOf("audio"), 1);
    EXPECT_DOUBLE_EQ(probe.first("video")->framesPerSecond, 20.0);
    EXPECT_NEAR(probe.duration, 90.0, 0.9);

    // Named on the command line, with an output path of its own (relative to the settings) and
    // the video left out.
    const std::string other = work_.file("other");
    std::filesystem::create_directories(other);
    writeSettings(other + "/mine.xml",
                  "<includeVideo>0</includeVideo><outputPath>sound.mkv</outputPath>");
    result = exporter({other + "/mine.xml"}, run);
    ASSERT_EQ(result.status, 0) << result.err;
    probe = Support::probe(other + "/sound.mkv", scratch_.path());
    ASSERT_TRUE(probe.readable);
    EXPECT_EQ(probe.countOf("video"), 0);
    EXPECT_EQ(probe.countOf("audio"), 1);
}

TEST_F(KOMediaExporterTest, FailsWithAMessageAndWritesNothing) {
    const std::string run = work_.file("run");
    struct Case {
        std::string name;
        std::string extra;
        std::string day;
        std::string words;
    };
    const Case cases[] = {
        {"missing keys", "", "", "lacks \"day\""},
        {"no session that day", "", "<day>16</day>", "no session COURT1 2010-03-16"},
        {"an output of no known kind", "<outputPath>x.avi</outputPath>", "<day>15</day>",
         ".mp4, .mkv"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeSettings(run + "/ExporterSettings.xml", c.extra, c.day);
        const Support::ProgramRun result = exporter({}, run);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err.rfind("KOMediaExporter: ", 0), 0u) << result.err;
        EXPECT_NE(result.err.find(c.words), std::string::npos) << result.err;
        EXPECT_EQ(Support::filesBelow(run),
                  std::vector<std::string>{run + "/ExporterSettings.xml"});
    }
    std::filesystem::remove(run + "/ExporterSettings.xml");
    const Support::ProgramRun result = exporter({}, run);
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("cannot read the settings file \"ExporterSettings.xml\""),
              std::string::npos)
        << result.err;
    EXPECT_TRUE(Support::filesBelow(run).empty());
}

}  // namespace
