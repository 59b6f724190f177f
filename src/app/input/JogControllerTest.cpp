#include <QTest>

#include "FakeTransportTarget.h"
#include "GapSkip.h"
#include "JogController.h"
#include "PedalReportDecoder.h"

namespace {
constexpr uint8_t kFf = PedalReportDecoder::kFastForwardBit;
constexpr uint8_t kPlay = PedalReportDecoder::kPlayBit;
constexpr uint8_t kRew = PedalReportDecoder::kRewindBit;

void pedal(JogController& jog, uint8_t state) {
    const uint8_t report[3] = {0, state, 0};
    jog.handlePedalReport(report, sizeof report);
}
}  // namespace

class JogControllerTest final : public QObject {
    Q_OBJECT
private slots:
    void decoderActsOnTheFirstChangeInPlayFastForwardRewindOrder();
    void reportsOfAnotherSizeOrCountAreIgnoredAndKeepTheLastByte();
    void playPedalReleasedAfterTenSecondsLeavesThePositionThreeSecondsBackAndStopped();
    void playPedalReleasedNearTheStartStaysInsideTheSession();
    void fastForwardAndPlayInOneReportActOnlyOnPlay();
    void heldRewindPedalStepsAtOnceThenEveryTwoHundredMilliseconds();
    void releasingAJogPedalSeeksWithoutPlayingAndEndsTheJog();
    void jogForwardJumpsOverAGapToTheNextSegment();
    void jogWithoutItsButtonsStopsInsteadOfStepping();
    void gapSkipFindsTheGapEdgeOnlyBetweenSegments();
    void rewindStepIntoAGapPlaysFromThreeSecondsBeforeItsStart();
};

void JogControllerTest::decoderActsOnTheFirstChangeInPlayFastForwardRewindOrder() {
    using A = PedalReportDecoder::Action;
    struct Case {
        uint8_t last, state;
        A action;
    };
    const Case cases[] = {
        {0, kPlay, A::kPlayPressed},
        {kPlay, 0, A::kPlayReleased},
        {0, kFf, A::kFastForwardPressed},
        {kFf, 0, A::kFastForwardReleased},
        {0, kRew, A::kRewindPressed},
        {kRew, 0, A::kRewindReleased},
        {0, kFf | kPlay | kRew, A::kPlayPressed},
        {kPlay, kPlay | kFf | kRew, A::kFastForwardPressed},
        {kPlay | kRew, kPlay, A::kRewindReleased},
        {kPlay | kFf, kPlay | kFf, A::kNone},
        {0, 0x08, A::kNone},  // a bit no pedal uses
    };
    for (const Case& c : cases) {
        const uint8_t report[3] = {0, c.state, 0};
        const PedalReportDecoder::Decision d = PedalReportDecoder::decode(c.last, report, 3);
        QCOMPARE(int(d.action), int(c.action));
        QCOMPARE(d.lastByte, c.state);
    }
}

void JogControllerTest::reportsOfAnotherSizeOrCountAreIgnoredAndKeepTheLastByte() {
    FakeTransportTarget target;
    JogController jog(target);
    pedal(jog, kRew);
    QCOMPARE(jog.lastPedalByte(), kRew);
    target.calls.clear();

    const uint8_t keyboard[8] = {0, kPlay, 0, 0, 0, 0, 0, 0};
    jog.handlePedalReport(keyboard, sizeof keyboard);
    const uint8_t twoReports[3] = {0, kPlay, 0};
    jog.handlePedalReport(twoReports, 3, 2);
    jog.handlePedalReport(nullptr, 3);
    QVERIFY(target.calls.empty());
    QCOMPARE(jog.lastPedalByte(), kRew);
    QVERIFY(jog.jogTimerPending());  // the rewind pedal is still held

    // The release still acts against the byte kept.
    pedal(jog, 0);
    QCOMPARE(target.isButtonActive(TransportTarget::kRewindButton), false);
}

void JogControllerTest::
    playPedalReleasedAfterTenSecondsLeavesThePositionThreeSecondsBackAndStopped() {
    FakeTransportTarget target;
    target.slider = 1100.0;
    JogController jog(target);
    pedal(jog, kPlay);
    QVERIFY(target.playing);
    QCOMPARE(target.count("play"), 1);
    target.simulatePlaying(10.0);
    pedal(jog, 0);
    QVERIFY(!target.playing);
    QCOMPARE(target.slider, 1107.0);
    QCOMPARE(target.callsStartingWith("seek"), std::vector<std::string>{"seek 1107"});
    QCOMPARE(target.calls.back(), std::string("stop"));
}

void JogControllerTest::playPedalReleasedNearTheStartStaysInsideTheSession() {
    FakeTransportTarget target;
    target.slider = target.sessionStart;
    JogController jog(target);
    pedal(jog, kPlay);
    target.simulatePlaying(1.0);
    pedal(jog, 0);
    QCOMPARE(target.callsStartingWith("seek"), std::vector<std::string>{"seek 1000"});
}

void JogControllerTest::fastForwardAndPlayInOneReportActOnlyOnPlay() {
    FakeTransportTarget target;
    JogController jog(target);
    pedal(jog, kFf | kPlay);
    QVERIFY(target.playing);
    QVERIFY(!target.isButtonActive(TransportTarget::kFastForwardButton));
    QVERIFY(!jog.jogTimerPending());
    QCOMPARE(jog.lastPedalByte(), uint8_t(kFf | kPlay));
    // Fast forward counts as already down: releasing only play acts on play.
    pedal(jog, kFf);
    QVERIFY(!target.playing);
    QVERIFY(!jog.jogTimerPending());
}

void JogControllerTest::heldRewindPedalStepsAtOnceThenEveryTwoHundredMilliseconds() {
    FakeTransportTarget target;
    target.slider = 2000.0;
    target.configuredRewindSeconds = 5;
    target.playing = true;
    JogController jog(target);
    pedal(jog, kRew);
    QVERIFY(!target.playing);  // the jog stops playback first
    QVERIFY(target.isButtonPressed(TransportTarget::kRewindButton));
    QVERIFY(target.isButtonActive(TransportTarget::kRewindButton));
    QCOMPARE(jog.jogTimerIntervalMs(), JogController::kFirstJogDelayMs);

    // The first step comes from the timer at once.
    QTRY_COMPARE_WITH_TIMEOUT(target.slider, 1995.0, 1000);
    QVERIFY(jog.jogTimerPending());
    QCOMPARE(jog.jogTimerIntervalMs(), JogController::kJogRepeatDelayMs);
    QCOMPARE(jog.rewindStepSeconds(), 5);

    // Then one step per firing of the 200 ms timer, driven here.
    jog.handleJogTimer();
    jog.handleJogTimer();
    QCOMPARE(target.slider, 1985.0);
    QCOMPARE(target.callsStartingWith("slider"),
             (std::vector<std::string>{"slider 1995", "slider 1990", "slider 1985"}));
    // The player does not follow the jog while the pedal is held.
    QVERIFY(target.callsStartingWith("seek").empty());
    QVERIFY(target.callsStartingWith("playFrom").empty());
    // Pressing it again while a timer is pending does not start a second one.
    pedal(jog, 0);
    pedal(jog, kRew);
    QCOMPARE(jog.jogTimerIntervalMs(), JogController::kJogRepeatDelayMs);
}

void JogControllerTest::releasingAJogPedalSeeksWithoutPlayingAndEndsTheJog() {
    FakeTransportTarget target;
    target.slider = 2000.5;
    JogController jog(target);
    pedal(jog, kRew);
    jog.handleJogTimer();  // 2000.5 - 5 truncated
    QCOMPARE(target.slider, 1995.0);
    pedal(jog, 0);
    QVERIFY(!target.isButtonPressed(TransportTarget::kRewindButton));
    QVERIFY(!target.isButtonActive(TransportTarget::kRewindButton));
    QCOMPARE(target.callsStartingWith("seek"), std::vector<std::string>{"seek 1995"});
    QVERIFY(!target.playing);
    // A firing still queued after the release moves nothing and starts no new timer.
    target.calls.clear();
    jog.handleJogTimer();
    QVERIFY(target.calls.empty());
    QVERIFY(!jog.jogTimerPending());
}

void JogControllerTest::jogForwardJumpsOverAGapToTheNextSegment() {
    FakeTransportTarget target;
    target.segments = {{1000.0, 1500.7}, {1800.4, 4600.0}};
    target.slider = 1498.0;
    target.configuredAdvanceSeconds = 10;
    JogController jog(target);
    pedal(jog, kFf);
    jog.handleJogTimer();
    QCOMPARE(target.slider, 1800.0);  // the next segment's start, whole seconds
    QCOMPARE(jog.advanceStepSeconds(), 10);
    jog.handleJogTimer();
    QCOMPARE(target.slider, 1810.0);
    pedal(jog, 0);
    target.calls.clear();

    // Backwards the jog lands on the earlier segment's end.
    target.slider = 1805.0;
    pedal(jog, kRew);
    jog.handleJogTimer();
    QCOMPARE(target.slider, 1500.0);
}

void JogControllerTest::jogWithoutItsButtonsStopsInsteadOfStepping() {
    FakeTransportTarget target;
    target.pressed.erase(TransportTarget::kFastForwardButton);
    target.active.erase(TransportTarget::kFastForwardButton);
    JogController jog(target);
    pedal(jog, kRew);
    jog.handleJogTimer();
    QVERIFY(target.callsStartingWith("slider").empty());
    QVERIFY(!jog.jogTimerPending());
}

void JogControllerTest::gapSkipFindsTheGapEdgeOnlyBetweenSegments() {
    const std::vector<RecordedSegment> segments = {{100.0, 200.9}, {300.5, 400.0}, {500.0, 600.0}};
    QCOMPARE(GapSkip::skip({}, 250.0, true), 0.0);
    QCOMPARE(GapSkip::skip({{100.0, 200.0}}, 250.0, true), 0.0);
    QCOMPARE(GapSkip::skip(segments, 150.0, true), 0.0);   // inside
    QCOMPARE(GapSkip::skip(segments, 300.5, false), 0.0);  // on a start
    QCOMPARE(GapSkip::skip(segments, 400.0, true), 0.0);   // on an end
    QCOMPARE(GapSkip::skip(segments, 250.0, true), 200.0);
    QCOMPARE(GapSkip::skip(segments, 250.0, false), 300.0);
    QCOMPARE(GapSkip::skip(segments, 450.0, true), 400.0);
    QCOMPARE(GapSkip::skip(segments, 450.0, false), 500.0);
    QCOMPARE(GapSkip::skip(segments, 50.0, true), 0.0);    // before the first
    QCOMPARE(GapSkip::skip(segments, 700.0, false), 0.0);  // after the last
}

void JogControllerTest::rewindStepIntoAGapPlaysFromThreeSecondsBeforeItsStart() {
    FakeTransportTarget target;
    target.segments = {{1000.0, 1500.0}, {1800.0, 4600.0}};
    target.slider = 1802.0;
    JogController jog(target);
    jog.setRewindStepSeconds(5);
    jog.rewindStep();
    QCOMPARE(target.callsStartingWith("playFrom"), std::vector<std::string>{"playFrom 1497"});
    QVERIFY(target.playing);

    target.calls.clear();
    target.slider = 1900.0;
    jog.rewindStep();
    jog.setAdvanceStepSeconds(7);
    jog.advanceStep();
    QCOMPARE(target.callsStartingWith("playFrom"),
             (std::vector<std::string>{"playFrom 1895", "playFrom 1902"}));
}

QTEST_MAIN(JogControllerTest)
#include "JogControllerTest.moc"
