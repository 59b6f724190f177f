#include <QTest>
#include <QWidget>

#include "FakeTransportTarget.h"
#include "GalewickInputHub.h"
#include "HoldRepeater.h"
#include "JogController.h"

namespace {
GalewickInputHub::Options quietOptions(bool repeatThread) {
    GalewickInputHub::Options options;
    options.pedal = false;
    options.repeatThread = repeatThread;
    options.applicationShortcuts = false;
    options.globalHotKeys = false;
    options.mpris = false;
    options.recorderSignals = false;
    return options;
}
}  // namespace

class GalewickInputHubThreadTest final : public QObject {
    Q_OBJECT
private slots:
    void routesItsMessagesAndLeavesTheOthers();
    void heldButtonStepsReachTheWindowThroughItsOwnThread();
    void pedalReportsDriveTheJog();
    void destroyingTheHubWhileAButtonIsHeldLeavesNoLateSteps();
};

void GalewickInputHubThreadTest::routesItsMessagesAndLeavesTheOthers() {
    FakeTransportTarget target;
    target.slider = 2000.0;
    target.configuredRewindSeconds = 6;
    target.configuredAdvanceSeconds = 8;
    GalewickInputHub hub(target, nullptr, quietOptions(false));
    QVERIFY(hub.handleMessage(GalewickInputHub::kRewindStepMessage, 0, 0));
    QVERIFY(hub.handleMessage(GalewickInputHub::kAdvanceStepMessage, 0, 0));
    QCOMPARE(target.callsStartingWith("playFrom"),
             (std::vector<std::string>{"playFrom 1994", "playFrom 2002"}));

    target.calls.clear();
    QVERIFY(hub.handleMessage(GalewickInputHub::kJogTimerMessage, 0, 0));
    QVERIFY(target.calls.empty());  // no jog pedal held: nothing moves
    QVERIFY(!hub.jog().jogTimerPending());

    for (int other : {1040, 1042, 1058, 1280, 2626, 4031}) {
        QVERIFY(!hub.handleMessage(other, 0, 0));
    }
    QVERIFY(target.calls.empty());
}

void GalewickInputHubThreadTest::heldButtonStepsReachTheWindowThroughItsOwnThread() {
    FakeTransportTarget target;
    target.slider = 1500.0;
    GalewickInputHub hub(target, nullptr, quietOptions(true));
    QVERIFY(hub.handleMessage(GalewickInputHub::kFastForwardPressedMessage, 0, 0));
    QCOMPARE(target.callsStartingWith("seek"), std::vector<std::string>{"seek 1501"});
    // The repeat thread's steps are carried out here, one second each.
    QTRY_VERIFY_WITH_TIMEOUT(target.callsStartingWith("playFrom").size() >= 2, 3000);
    QCOMPARE(target.callsStartingWith("playFrom").at(0), std::string("playFrom 1502"));
    QCOMPARE(target.callsStartingWith("playFrom").at(1), std::string("playFrom 1503"));

    QVERIFY(hub.handleMessage(GalewickInputHub::kButtonReleasedMessage, 0, 0));
    QCOMPARE(target.count("play"), 1);
    const std::size_t steps = target.callsStartingWith("playFrom").size();
    QTest::qWait(400);
    // At most a step already queued before the release; then nothing more, and no second play.
    QVERIFY(target.callsStartingWith("playFrom").size() <= steps + 1);
    QCOMPARE(target.count("play"), 1);

    // Rewind pressed while playing: steps of two seconds, no first seek.
    target.calls.clear();
    target.playing = true;
    target.active[TransportTarget::kPlayButton] = true;
    const double from = target.slider;
    QVERIFY(hub.handleMessage(GalewickInputHub::kRewindPressedMessage, 0, 0));
    QTRY_VERIFY_WITH_TIMEOUT(!target.callsStartingWith("playFrom").empty(), 3000);
    QVERIFY(target.callsStartingWith("seek").empty());
    QCOMPARE(target.slider, from - 2.0);
    hub.handleMessage(GalewickInputHub::kButtonReleasedMessage, 0, 0);
}

void GalewickInputHubThreadTest::pedalReportsDriveTheJog() {
    FakeTransportTarget target;
    target.slider = 2000.0;
    GalewickInputHub hub(target, nullptr, quietOptions(false));
    const unsigned char press[3] = {0, 0x04, 0};
    const unsigned char release[3] = {0, 0x00, 0};
    const unsigned char keyboard[8] = {0, 0x04, 0, 0, 0, 0, 0, 0};
    hub.handlePedalReport(keyboard, 8);
    QVERIFY(target.calls.empty());
    hub.handlePedalReport(press, 3);
    QTRY_COMPARE(target.slider, 1995.0);
    hub.handlePedalReport(release, 3);
    QCOMPARE(target.callsStartingWith("seek"), std::vector<std::string>{"seek 1995"});
    hub.handlePedalReport(release, -1);
    QCOMPARE(target.callsStartingWith("seek").size(), std::size_t(1));
}

void GalewickInputHubThreadTest::destroyingTheHubWhileAButtonIsHeldLeavesNoLateSteps() {
    FakeTransportTarget target;
    {
        GalewickInputHub hub(target, nullptr, quietOptions(true));
        hub.handleMessage(GalewickInputHub::kRewindPressedMessage, 0, 0);
        QTRY_VERIFY_WITH_TIMEOUT(!target.callsStartingWith("playFrom").empty(), 3000);
    }
    const std::size_t steps = target.callsStartingWith("playFrom").size();
    QTest::qWait(200);
    QCOMPARE(target.callsStartingWith("playFrom").size(), steps);
}

QTEST_MAIN(GalewickInputHubThreadTest)
#include "GalewickInputHubThreadTest.moc"
