// Handing a session to the exporter: the settings file, where it goes, and starting the program.
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <chrono>
#include <filesystem>
#include <vector>

#include "AnnotationCommands.h"
#include "AnnotationPanel.h"
#include "AnnotationTestSupport.h"
#include "ExporterLauncher.h"
#include "FileIo.h"
#include "XmlPacker.h"

namespace {

bool makeDirectory(const QString& path) {
    return QDir().mkpath(path);
}

// A stand-in exporter: records its working directory, its argument and the settings it was given.
QString writeFakeExporter(const QString& directory) {
    const QString path = QDir(directory).filePath(QStringLiteral("KOMediaExporter"));
    QFile script(path);
    if (!script.open(QIODevice::WriteOnly)) {
        return {};
    }
    script.write(
        "#!/bin/sh\n"
        "pwd > ran.tmp\n"
        "printf '%s\\n' \"$1\" >> ran.tmp\n"
        "cat ExporterSettings.xml >> ran.tmp\n"
        "mv ran.tmp ran.txt\n");
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

}  // namespace

class ExporterLauncherTest final : public QObject {
    Q_OBJECT

private slots:
    void settingsAreWrittenInTheirOrder();
    void mediaFolderIsTheLocationsRecordings();
    void theExporterRunsInItsOwnDirectoryWithTheSettings();
    void aMissingExporterIsReportedPlainly();
    void staleRunDirectoriesWithOnlyTheirSettingsArePruned();
};

void ExporterLauncherTest::settingsAreWrittenInTheirOrder() {
    QTemporaryDir directory;
    ExporterLauncher::Settings settings;
    settings.mediaFolder = "/archive/COURT1/Recordings";
    settings.recorderName = "COURT1";
    settings.year = 2010;
    settings.month = 3;
    settings.day = 15;
    std::string path;
    std::string error;
    QVERIFY(ExporterLauncher::writeSettings(
        settings, directory.filePath(QStringLiteral("run")).toStdString(), path, error));
    QCOMPARE(QString::fromStdString(path),
             directory.filePath(QStringLiteral("run/ExporterSettings.xml")));

    const std::string text = AnnotationTestSupport::fileText(QString::fromStdString(path));
    QVERIFY(text.starts_with("<ExporterSettings>"));
    size_t previous = 0;
    for (const char* key :
         {"<mediaFolder>", "<recorderName>", "<year>", "<month>", "<day>", "<includeVideo>",
          "<mixAudioChannels>", "<outputPath", "<framesPerSecond>"}) {
        const size_t at = text.find(key);
        QVERIFY2(at != std::string::npos && at > previous, key);
        previous = at;
    }

    XmlPacker reader("ExporterSettings");
    QVERIFY(reader.readFromFile(path));
    std::string mediaFolder;
    std::string recorderName;
    std::string outputPath;
    int year = 0;
    int month = 0;
    int day = 0;
    int framesPerSecond = 0;
    bool includeVideo = false;
    bool mixAudioChannels = true;
    QVERIFY(reader.unpack("mediaFolder", mediaFolder));
    QVERIFY(reader.unpack("recorderName", recorderName));
    QVERIFY(reader.unpack("year", year));
    QVERIFY(reader.unpack("month", month));
    QVERIFY(reader.unpack("day", day));
    QVERIFY(reader.unpack("includeVideo", includeVideo));
    QVERIFY(reader.unpack("mixAudioChannels", mixAudioChannels));
    QVERIFY(reader.unpack("outputPath", outputPath));
    QVERIFY(reader.unpack("framesPerSecond", framesPerSecond));
    QCOMPARE(mediaFolder, std::string("/archive/COURT1/Recordings"));
    QCOMPARE(recorderName, std::string("COURT1"));
    QCOMPARE(year, 2010);
    QCOMPARE(month, 3);
    QCOMPARE(day, 15);
    QVERIFY(includeVideo);
    QVERIFY(!mixAudioChannels);
    QCOMPARE(outputPath, std::string());
    QCOMPARE(framesPerSecond, 20);

    // A directory that cannot be made is reported.
    QFile blocker(directory.filePath(QStringLiteral("file")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QVERIFY(!ExporterLauncher::writeSettings(
        settings, directory.filePath(QStringLiteral("file/run")).toStdString(), path, error));
    QVERIFY(!error.empty());
}

void ExporterLauncherTest::mediaFolderIsTheLocationsRecordings() {
    QTemporaryDir directory;
    // A folder per location below the browse location: BROWSE/LOCATION/Recordings.
    const QString browse = directory.filePath(QStringLiteral("browse"));
    QVERIFY(makeDirectory(browse + "/COURT1/Recordings"));
    QVERIFY(makeDirectory(browse + "/COURT1/Databases"));
    auto settings = ExporterLauncher::settingsFor(browse.toStdString(), "COURT1", 2010, 3, 15);
    QCOMPARE(QString::fromStdString(settings.mediaFolder), browse + "/COURT1/Recordings");
    QCOMPARE(settings.recorderName, std::string("COURT1"));
    QCOMPARE(settings.year * 10000 + settings.month * 100 + settings.day, 20100315);
    QVERIFY(settings.includeVideo);
    QVERIFY(!settings.mixAudioChannels);
    QCOMPARE(settings.framesPerSecond, 20);
    settings = ExporterLauncher::settingsFor((browse + "/").toStdString(), "COURT1", 2010, 3, 15);
    QCOMPARE(QString::fromStdString(settings.mediaFolder), browse + "/COURT1/Recordings");

    // The browse location is itself the archive root of the location.
    const QString root = directory.filePath(QStringLiteral("root"));
    QVERIFY(AnnotationTestSupport::writeRecord(root.toStdString(), "COURT2", 2010, 3, 15,
                                               {AnnotationTestSupport::annotation(1, "A", "B")}));
    settings = ExporterLauncher::settingsFor(root.toStdString(), "COURT2", 2010, 3, 15);
    QCOMPARE(QString::fromStdString(settings.mediaFolder), root + "/Recordings");
}

void ExporterLauncherTest::theExporterRunsInItsOwnDirectoryWithTheSettings() {
    QTemporaryDir directory;
    const QString program = writeFakeExporter(directory.path());
    QVERIFY(!program.isEmpty());
    qputenv("XDG_STATE_HOME", directory.filePath(QStringLiteral("state")).toLocal8Bit());
    const auto settings = ExporterLauncher::settingsFor("/archive", "COURT1", 2010, 3, 15);

    ExporterLauncher launcher(program.toStdString());
    std::string message;
    QCOMPARE(launcher.launch(settings, message), ExporterLauncher::Result::kStarted);
    const QString run = QString::fromStdString(launcher.lastRunDirectory());
    QCOMPARE(QString::fromStdString(message),
             QStringLiteral("The export of COURT1 on 03/15/2010 was started. The exporter writes "
                            "the exported file into ") +
                 run + ".");
    QVERIFY2(run.startsWith(directory.filePath(QStringLiteral("state/galewick/export-"))),
             qPrintable(run));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(run + "/ran.txt"), 10000);
    const QStringList lines =
        QString::fromStdString(AnnotationTestSupport::fileText(run + "/ran.txt")).split('\n');
    QCOMPARE(lines.value(0), run);
    QCOMPARE(lines.value(1), run + "/ExporterSettings.xml");
    QCOMPARE(lines.value(2), QStringLiteral("<ExporterSettings>"));

    // Two exports never share their settings.
    ExporterLauncher second(program.toStdString());
    QCOMPARE(second.launch(settings, message), ExporterLauncher::Result::kStarted);
    QVERIFY(second.lastRunDirectory() != launcher.lastRunDirectory());
    QTRY_VERIFY_WITH_TIMEOUT(
        QFile::exists(QString::fromStdString(second.lastRunDirectory()) + "/ran.txt"), 10000);

    // Through the menu command, with the open session's location and day.
    auto record = AnnotationTestSupport::writeRecord(
        directory.filePath(QStringLiteral("archive")).toStdString(), "COURT3", 2011, 12, 1,
        {AnnotationTestSupport::annotation(1, "A", "B")});
    QVERIFY(record);
    AnnotationPanel panel;
    panel.setSession(record.get(), 0);
    AnnotationCommands commands(panel, nullptr);
    std::vector<QString> messages;
    commands.setMessagePresenter(
        [&messages](const QString&, const QString& text) { messages.push_back(text); });
    commands.setBrowseLocation(directory.filePath(QStringLiteral("archive")));
    commands.setExporterProgram(program);
    const QString commandRun = directory.filePath(QStringLiteral("command-run"));
    commands.setExporterRunDirectory(commandRun);
    // The user is asked where the video goes, LOCATION_YYYY-MM-DD.mp4 offered first.
    qputenv("HOME", directory.path().toLocal8Bit());
    QString offered;
    QString answer;
    commands.setFileNameChooser(
        [&offered, &answer](const QString&, const QString& filter, const QString& suggested) {
            offered = suggested;
            return filter == QStringLiteral("Video (*.mp4 *.mkv)") ? answer : QString();
        });
    QSignalSpy stops(&commands, &AnnotationCommands::stopPlaybackRequested);
    QVERIFY(commands.runCommand(AnnotationCommands::kExportSessionCommand));
    QVERIFY2(offered.endsWith(QStringLiteral("/COURT3_2011-12-01.mp4")), qPrintable(offered));
    QVERIFY(!QFile::exists(commandRun));  // cancelled: nothing written, nothing started
    QVERIFY(messages.empty());

    answer = directory.filePath(QStringLiteral("videos/hearing"));
    QVERIFY(commands.runCommand(AnnotationCommands::kExportSessionCommand));
    QCOMPARE(commands.lastExportResult(), ExporterLauncher::Result::kStarted);
    QCOMPARE(messages.size(), size_t{1});
    QVERIFY2(messages[0].endsWith(QStringLiteral("The exporter writes it to ") + answer + ".mp4."),
             qPrintable(messages[0]));
    QCOMPARE(stops.count(), 0);  // the export does not stop playback
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(commandRun + "/ran.txt"), 10000);
    const std::string ran = AnnotationTestSupport::fileText(commandRun + "/ran.txt");
    QVERIFY(ran.find("<mediaFolder>" +
                     directory.filePath(QStringLiteral("archive/Recordings")).toStdString() +
                     "</mediaFolder>") != std::string::npos);
    QVERIFY(ran.find("<recorderName>COURT3</recorderName>") != std::string::npos);
    QVERIFY(ran.find("<year>2011</year>") != std::string::npos);
    QVERIFY(ran.find("<month>12</month>") != std::string::npos);
    QVERIFY(ran.find("<day>1</day>") != std::string::npos);
    QVERIFY(ran.find("<outputPath>" + answer.toStdString() + ".mp4</outputPath>") !=
            std::string::npos);
}

void ExporterLauncherTest::aMissingExporterIsReportedPlainly() {
    QTemporaryDir directory;
    const QString run = directory.filePath(QStringLiteral("run"));
    ExporterLauncher launcher("", run.toStdString());
    std::string message;
    QCOMPARE(
        launcher.launch(ExporterLauncher::settingsFor("/archive", "COURT1", 2010, 3, 15), message),
        ExporterLauncher::Result::kNotInstalled);
    QVERIFY2(message.starts_with("The export program KOMediaExporter is not installed"),
             message.c_str());
    QVERIFY(!QFile::exists(run + "/ExporterSettings.xml"));

    // A path that names no program does not start.
    ExporterLauncher broken(
        directory.filePath(QStringLiteral("gone/KOMediaExporter")).toStdString(),
        run.toStdString());
    QCOMPARE(
        broken.launch(ExporterLauncher::settingsFor("/archive", "COURT1", 2010, 3, 15), message),
        ExporterLauncher::Result::kStartFailed);
    QVERIFY2(message.find("could not be started") != std::string::npos, message.c_str());

    // The menu command says so in a message box.
    auto record = AnnotationTestSupport::writeRecord(
        directory.filePath(QStringLiteral("archive")).toStdString(), "COURT1", 2010, 3, 15,
        {AnnotationTestSupport::annotation(1, "A", "B")});
    QVERIFY(record);
    AnnotationPanel panel;
    panel.setSession(record.get(), 0);
    AnnotationCommands commands(panel, nullptr);
    std::vector<std::pair<QString, QString>> messages;
    commands.setMessagePresenter([&messages](const QString& caption, const QString& text) {
        messages.emplace_back(caption, text);
    });
    int asked = 0;
    commands.setFileNameChooser([&asked](const QString&, const QString&, const QString&) {
        ++asked;
        return QStringLiteral("/tmp/never.mp4");
    });
    commands.setExporterProgram(QString());
    commands.exportSession();
    QCOMPARE(asked, 0);  // nothing to choose for
    QCOMPARE(commands.lastExportResult(), ExporterLauncher::Result::kNotInstalled);
    QCOMPARE(messages.size(), size_t{1});
    QCOMPARE(messages[0].first, QStringLiteral("Export Session"));
    QVERIFY(messages[0].second.contains(QStringLiteral("KOMediaExporter is not installed")));
}

void ExporterLauncherTest::staleRunDirectoriesWithOnlyTheirSettingsArePruned() {
    namespace fs = std::filesystem;
    QTemporaryDir directory;
    const fs::path state = directory.path().toStdString();
    const auto month = fs::file_time_type::clock::now() - std::chrono::hours(24 * 30);
    // name, files inside, a month old
    const struct {
        const char* name;
        std::vector<const char*> files;
        bool old;
    } runs[] = {
        {"export-stale1", {"ExporterSettings.xml"}, true},
        {"export-stale2", {}, true},
        {"export-output", {"ExporterSettings.xml", "COURT1_20100315.mp4"}, true},
        {"export-recent", {"ExporterSettings.xml"}, false},
        {"unrelated", {"ExporterSettings.xml"}, true},
    };
    for (const auto& run : runs) {
        fs::create_directories(state / run.name);
        for (const char* file : run.files) {
            QVERIFY(FileIo::writeFileAtomically((state / run.name / file).string(), "x"));
        }
        if (run.old) {
            fs::last_write_time(state / run.name, month);
        }
    }
    QCOMPARE(ExporterLauncher::pruneRunDirectories(state.string(), 14), 2);
    QVERIFY(!fs::exists(state / "export-stale1"));
    QVERIFY(!fs::exists(state / "export-stale2"));
    QVERIFY(fs::exists(state / "export-output/COURT1_20100315.mp4"));
    QVERIFY(fs::exists(state / "export-recent/ExporterSettings.xml"));
    QVERIFY(fs::exists(state / "unrelated/ExporterSettings.xml"));
    // A state directory that is not there yet prunes nothing.
    QCOMPARE(ExporterLauncher::pruneRunDirectories((state / "missing").string(), 14), 0);
}

QTEST_MAIN(ExporterLauncherTest)
#include "ExporterLauncherTest.moc"
