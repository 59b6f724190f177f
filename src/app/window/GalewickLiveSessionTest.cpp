// The main window with sessions that another program starts or is still recording: the
// autoload file and the wait for the session's media, and auto refresh following a session
// that grows.
#include <QSignalSpy>
#include <QTest>
#include <fstream>

#include "GalewickUserInterface.h"
#include "PlaybackEngine.h"
#include "SampleArchiveWriter.h"
#include "TemporaryDirectory.h"
#include "TransportBar.h"
#include "Win32_WindowlessTextDisplay.h"
#include "Win32_WindowlessTimeSlider.h"

namespace {

GalewickUserInterface::Options optionsIn(const TemporaryDirectory& directory) {
    GalewickUserInterface::Options options;
    options.audioOutput = "null:fast";
    options.configurationPath = directory.file("galewickConfiguration.xml");
    options.inputSources = false;
    return options;
}

SampleArchiveWriter::Settings liveSettings() {
    SampleArchiveWriter::Settings settings;
    settings.locations = {"COURT1"};
    settings.openEnded = true;
    settings.fileMinutes = 0.5;
    settings.videoWidth = 160;
    settings.videoHeight = 120;
    settings.videoFrameRate = 5;
    return settings;
}

}  // namespace

class GalewickLiveSessionTest final : public QObject {
    Q_OBJECT
private slots:
    void autoloadWaitsForTheSessionsMediaThenOpensItWithAutoRefresh();
    void autoRefreshFollowsASessionThatGrows();
    void aMissingAutoloadFileChangesNothing();
};

void GalewickLiveSessionTest::autoloadWaitsForTheSessionsMediaThenOpensItWithAutoRefresh() {
    TemporaryDirectory directory("galewick-live-");
    const std::string root = directory.file("archive");
    {
        std::ofstream file(directory.file("galewick_autoload.xml"));
        file << "<galewick_autoload><rootpath>" << root
             << "</rootpath><location>COURT1</location><year>2010</year><month>3</month>"
                "<day>15</day></galewick_autoload>\n";
    }
    GalewickUserInterface::Options options = optionsIn(directory);
    options.autoload = true;
    options.autoloadPath = directory.file("galewick_autoload.xml");
    GalewickUserInterface window(options);
    QVERIFY(window.Initialize());
    QVERIFY(window.configuration().autoRefresh);
    QSignalSpy loaded(&window, &GalewickUserInterface::sessionLoaded);

    // Nothing recorded yet: the window waits.
    QTest::qWait(700);
    QCOMPARE(loaded.size(), 0);
    QVERIFY(!window.hasSession());

    // The recorder starts: the session opens once its first files are there.
    SampleArchiveWriter writer(liveSettings());
    QVERIFY(writer.begin(root));
    const double start = writer.sessionStart(SampleArchiveWriter::Date{});
    QVERIFY(writer.advanceTo(start + 20.0));
    QVERIFY(loaded.wait(15000));
    QVERIFY(loaded.first().first().toBool());
    QCOMPARE(window.openSession().location, std::string("COURT1"));
    QCOMPARE(window.openSession().root, root);
    QVERIFY(window.engine()->autoRefreshIs());
    QVERIFY(writer.finish());
    window.close();
}

void GalewickLiveSessionTest::autoRefreshFollowsASessionThatGrows() {
    TemporaryDirectory directory("galewick-live-");
    const std::string root = directory.file("archive");
    SampleArchiveWriter writer(liveSettings());
    QVERIFY(writer.begin(root));
    const double start = writer.sessionStart(SampleArchiveWriter::Date{});
    QVERIFY(writer.advanceTo(start + 40.0));

    GalewickUserInterface window(optionsIn(directory));
    QVERIFY(window.Initialize());
    window.configuration().autoRefresh = true;
    QSignalSpy loaded(&window, &GalewickUserInterface::sessionLoaded);
    QVERIFY(window.LoadSession({root, "COURT1", 2010, 3, 15}));
    QVERIFY(loaded.wait(15000));
    QVERIFY(loaded.first().first().toBool());
    Win32_WindowlessTimeSlider& slider = window.transport().slider();
    const double endAtOpen = slider.sessionEnd();
    QVERIFY(endAtOpen < start + 41.0);

    // The recorder goes on: the refresh finds the new files and the slider grows with them.
    QVERIFY(writer.advanceTo(start + 100.0));
    QTRY_VERIFY_WITH_TIMEOUT(slider.sessionEnd() > start + 90.0, 15000);
    QVERIFY(window.openSession().end > start + 90.0);
    QVERIFY(!slider.recordedSegments().empty());
    QVERIFY(slider.recordedSegments().back().end > start + 90.0);
    // And what was added plays.
    window.playFrom(start + 80.0);
    QTRY_VERIFY_WITH_TIMEOUT(slider.position() >= start + 85.0, 15000);
    window.stop();
    QVERIFY(writer.finish());
}

void GalewickLiveSessionTest::aMissingAutoloadFileChangesNothing() {
    TemporaryDirectory directory("galewick-live-");
    GalewickUserInterface::Options options = optionsIn(directory);
    options.autoload = true;
    options.autoloadPath = directory.file("absent.xml");
    GalewickUserInterface window(options);
    QVERIFY(window.Initialize());
    QVERIFY(!window.configuration().autoRefresh);
    QSignalSpy loaded(&window, &GalewickUserInterface::sessionLoaded);
    QTest::qWait(300);
    QCOMPARE(loaded.size(), 0);
    QCOMPARE(window.transport().status().text(), QString(TransportBar::kNoSessionText));
}

QTEST_MAIN(GalewickLiveSessionTest)
#include "GalewickLiveSessionTest.moc"
