// The pieces under the main window that need no window: the clock times typed into the time
// edits, opening a session on a worker thread, and the engine's callbacks brought to the
// window's thread.
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QTimer>

#include "AudioOutputDeviceFactory.h"
#include "ClockTimeEntry.h"
#include "EngineBridge.h"
#include "GalewickWindowTestSupport.h"
#include "JexSession.h"
#include "PlaybackEngine.h"
#include "SessionLoader.h"
#include "WallClockTime.h"

using GalewickWindowTestSupport::sampleArchive;

namespace {

std::unique_ptr<AudioOutputDevice> fastOutput() {
    std::string error;
    return AudioOutputDeviceFactory::create("null:fast", "", error);
}

SessionLoader::Request requestFor(const GalewickWindowTestSupport::SampleArchive& archive) {
    SessionLoader::Request request;
    request.browseLocation = archive.root;
    request.locationName = archive.location;
    request.year = archive.date.year;
    request.month = archive.date.month;
    request.day = archive.date.day;
    return request;
}

}  // namespace

class SessionLoaderTest final : public QObject {
    Q_OBJECT
private slots:
    void clockTimesTypedIntoTheEditsAreRead();
    void clockTimesBecomeEpochSecondsOnTheSessionsDay();
    void aSessionOpensOnAWorkerWhileTheWindowsThreadTurns();
    void aLocationNoArchiveHoldsIsReportedAndNothingOpens();
    void aDamagedFileIsLeftOutAndNamed();
    void positionsArriveOnTheWindowsThreadAndStopAtShutdown();
};

void SessionLoaderTest::clockTimesTypedIntoTheEditsAreRead() {
    const struct {
        const char* text;
        int seconds;  // -1: refused
    } cases[] = {
        {"09:15:30", 9 * 3600 + 15 * 60 + 30},
        {"9:15", 9 * 3600 + 15 * 60},
        {" 21:05:01 ", 21 * 3600 + 5 * 60 + 1},
        {"09:15:30 AM", 9 * 3600 + 15 * 60 + 30},
        {"09:15:30 pm", 21 * 3600 + 15 * 60 + 30},
        {"12:00:10 AM", 10},
        {"12:00:10 PM", 12 * 3600 + 10},
        {"00:00:00", 0},
        {"23:59:59", 86399},
        {"24:00:00", -1},
        {"13:00:00 PM", -1},
        {"0:10 AM", -1},
        {"09:60:00", -1},
        {"09:15:61", -1},
        {"--:--:--", -1},
        {"", -1},
        {"9", -1},
        {"123:00", -1},
        {"09:15:30 XM", -1},
        {"09:15:30 AM trailing", -1},
    };
    for (const auto& c : cases) {
        int seconds = -1;
        const bool read = ClockTimeEntry::parseTimeOfDay(c.text, seconds);
        QVERIFY2(read == (c.seconds >= 0), c.text);
        if (read) {
            QCOMPARE(seconds, c.seconds);
        }
    }
}

void SessionLoaderTest::clockTimesBecomeEpochSecondsOnTheSessionsDay() {
    // 2010-03-15 00:00:00 UTC is 1268611200.
    QCOMPARE(ClockTimeEntry::epochTimeOf(2010, 3, 15, 0, 0), 1268611200.0);
    // 09:00 at a location 5 hours behind UTC is 14:00 UTC.
    QCOMPARE(ClockTimeEntry::epochTimeOf(2010, 3, 15, -5 * 3600, 9 * 3600),
             1268611200.0 + 14 * 3600);
    double epoch = 0.0;
    QVERIFY(ClockTimeEntry::epochTimeFromText("01:30:00 AM", 2010, 3, 15, 2 * 3600, epoch));
    QCOMPARE(epoch, 1268611200.0 - 2 * 3600 + 5400);
    // Shown back through the location's clock it is the time typed.
    const WallClockTime shown(epoch + 2 * 3600, 2);
    int hour = 0, minute = 0, second = 0, micro = 0;
    shown.getLocalTime(hour, minute, second, micro);
    QCOMPARE(hour * 3600 + minute * 60 + second, 5400);
    QVERIFY(!ClockTimeEntry::epochTimeFromText("later", 2010, 3, 15, 0, epoch));
}

void SessionLoaderTest::aSessionOpensOnAWorkerWhileTheWindowsThreadTurns() {
    const auto& archive = sampleArchive();
    EngineBridge bridge(fastOutput());
    SessionLoader loader(*bridge.engine());
    QSignalSpy finished(&loader, &SessionLoader::finished);
    int ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
    ticker.start(0);

    QVERIFY(loader.start(requestFor(archive)));
    QVERIFY(loader.isLoading());
    // A second load while one runs is refused.
    QVERIFY(!loader.start(requestFor(archive)));
    QVERIFY(finished.wait(20000));
    QVERIFY(!loader.isLoading());
    // The window's thread went on turning while the worker opened the session.
    QVERIFY(ticks > 0);

    const auto result = finished.at(0).at(0).value<SessionLoader::Result>();
    QVERIFY(result.opened);
    QCOMPARE(result.root, archive.root);
    QCOMPARE(result.offsetSeconds, 0);
    QCOMPARE(bridge.engine()->channelCountIs(), 4u);
    QVERIFY(bridge.engine()->hasVideoIs());
    double start = 0.0, end = 0.0;
    QVERIFY(bridge.engine()->sessionRangeIs(start, end));
    QVERIFY(std::abs(start - archive.start) < 1.0);
    QVERIFY(std::abs(end - archive.end) < 1.0);
    QVERIFY(bridge.engine()->recordIs() != nullptr);
    QVERIFY(bridge.engine()->recordIs()->annotationCount() > 10);
    // The same loader opens the next session.
    QVERIFY(loader.start(requestFor(archive)));
    QVERIFY(finished.wait(20000));
}

void SessionLoaderTest::aLocationNoArchiveHoldsIsReportedAndNothingOpens() {
    EngineBridge bridge(fastOutput());
    SessionLoader loader(*bridge.engine());
    QSignalSpy finished(&loader, &SessionLoader::finished);
    SessionLoader::Request request = requestFor(sampleArchive());
    request.locationName = "NOWHERE";
    QVERIFY(loader.start(request));
    QVERIFY(finished.wait(20000));
    const auto result = finished.at(0).at(0).value<SessionLoader::Result>();
    QVERIFY(!result.opened);
    QVERIFY(result.errorText.find("NOWHERE") != std::string::npos);
    QVERIFY(result.errorText.find("03/15/2010") != std::string::npos);
    QVERIFY(!bridge.engine()->hasSession());
}

void SessionLoaderTest::aDamagedFileIsLeftOutAndNamed() {
    std::string corrupt;
    const auto& archive = GalewickWindowTestSupport::archiveWithCorruptFile(corrupt);
    EngineBridge bridge(fastOutput());
    SessionLoader loader(*bridge.engine());
    QSignalSpy skipped(&bridge, &EngineBridge::fileSkipped);
    QSignalSpy finished(&loader, &SessionLoader::finished);
    QVERIFY(loader.start(requestFor(archive)));
    QVERIFY(finished.wait(20000));
    // What was left out arrives before the load's end: both come from the worker in order.
    QCOMPARE(skipped.size(), 1);
    const QString text = skipped.at(0).at(0).toString();
    QVERIFY2(text.startsWith(QString::fromStdString(corrupt)), qPrintable(text));
    QVERIFY(text.contains(QStringLiteral("no MPEG audio frame")));
    // The rest of the session opened and plays.
    QCOMPARE(bridge.engine()->channelCountIs(), 4u);
}

void SessionLoaderTest::positionsArriveOnTheWindowsThreadAndStopAtShutdown() {
    const auto& archive = sampleArchive();
    EngineBridge bridge(fastOutput());
    SessionLoader loader(*bridge.engine());
    QSignalSpy finished(&loader, &SessionLoader::finished);
    QVERIFY(loader.start(requestFor(archive)));
    QVERIFY(finished.wait(20000));

    QList<double> positions;
    bool offThread = false;
    QThread* windowThread = QThread::currentThread();
    connect(&bridge, &EngineBridge::positionHeard, this, [&](double position) {
        offThread |= QThread::currentThread() != windowThread;
        positions.append(position);
    });
    QSignalSpy playing(&bridge, &EngineBridge::playStateChanged);
    bridge.engine()->playFrom(archive.start + 30.0);
    QTRY_VERIFY_WITH_TIMEOUT(positions.size() > 3 && positions.last() > archive.start + 35.0,
                             20000);
    QVERIFY(!offThread);
    QVERIFY(positions.first() >= archive.start + 29.9);
    for (int i = 1; i < positions.size(); ++i) {
        QVERIFY(positions[i] >= positions[i - 1]);
    }
    QTRY_VERIFY(!playing.isEmpty() && playing.first().first().toBool());

    bridge.shutdown();
    QVERIFY(bridge.engine() == nullptr);
    const int heard = positions.size();
    QTest::qWait(100);
    QCOMPARE(positions.size(), heard);
}

QTEST_MAIN(SessionLoaderTest)
#include "SessionLoaderTest.moc"
