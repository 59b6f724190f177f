#include <QTest>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "FakeTransportTarget.h"
#include "HoldRepeater.h"
#include "JogController.h"

namespace {

using Clock = std::chrono::steady_clock;

// What the repeat thread asked for, with the time it asked; filled on the repeat thread.
class ActionLog {
public:
    void add(HoldRepeater::Action action) {
        std::lock_guard<std::mutex> lock(mutex_);
        entries_.push_back({action, Clock::now()});
    }
    std::vector<std::pair<HoldRepeater::Action, Clock::time_point>> take() {
        std::lock_guard<std::mutex> lock(mutex_);
        auto taken = std::move(entries_);
        entries_.clear();
        return taken;
    }
    int count(HoldRepeater::Action action) const {
        std::lock_guard<std::mutex> lock(mutex_);
        int n = 0;
        for (const auto& entry : entries_) {
            n += entry.first == action ? 1 : 0;
        }
        return n;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::pair<HoldRepeater::Action, Clock::time_point>> entries_;
};

// Waits (polling) up to two seconds for `done`.
template <typename Done>
bool waitUntil(Done done) {
    const auto deadline = Clock::now() + std::chrono::seconds(2);
    while (!done()) {
        if (Clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

}  // namespace

class HoldRepeaterThreadTest final : public QObject {
    Q_OBJECT
private slots:
    void heldStateStepsWithAPauseAfterEachStep();
    void resumeStartsPlaybackOnceAndStopReturnsToIdle();
    void heldFastForwardTakesTheFirstStepAtOnceAndReleaseResumesPlayOnce();
    void heldRewindWhilePlayingStepsTwoSecondsWithoutAFirstSeek();
    void stoppingEndsTheThreadPromptlyWhateverTheState();
};

void HoldRepeaterThreadTest::heldStateStepsWithAPauseAfterEachStep() {
    ActionLog log;
    HoldRepeater repeater([&log](HoldRepeater::Action action) { log.add(action); });
    repeater.start();
    repeater.setState(HoldRepeater::kAdvancing);
    QVERIFY(waitUntil([&] { return log.count(HoldRepeater::Action::kAdvanceStep) >= 3; }));
    repeater.setState(HoldRepeater::kIdle);
    repeater.stop();
    const auto entries = log.take();
    QVERIFY(entries.size() >= 3);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        QCOMPARE(int(entries[i].first), int(HoldRepeater::Action::kAdvanceStep));
        if (i > 0) {
            QVERIFY(entries[i].second - entries[i - 1].second >= HoldRepeater::kPauseAfterStep);
        }
    }

    repeater.start();
    repeater.setState(HoldRepeater::kRewinding);
    QVERIFY(waitUntil([&] { return log.count(HoldRepeater::Action::kRewindStep) >= 1; }));
    repeater.setState(HoldRepeater::kIdle);
    repeater.stop();
    QCOMPARE(log.count(HoldRepeater::Action::kAdvanceStep), 0);
}

void HoldRepeaterThreadTest::resumeStartsPlaybackOnceAndStopReturnsToIdle() {
    ActionLog log;
    HoldRepeater repeater([&log](HoldRepeater::Action action) { log.add(action); });
    repeater.start();
    repeater.setState(HoldRepeater::kResumePlay);
    QVERIFY(waitUntil([&] { return log.count(HoldRepeater::Action::kPlay) == 1; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(60));  // several polls
    QCOMPARE(log.count(HoldRepeater::Action::kPlay), 1);

    repeater.setState(HoldRepeater::kStopping);
    QVERIFY(waitUntil([&] { return repeater.state() == HoldRepeater::kIdle; }));
    QCOMPARE(log.count(HoldRepeater::Action::kStop), 1);

    // After a stop, resuming plays again (once).
    repeater.setState(HoldRepeater::kResumePlay);
    QVERIFY(waitUntil([&] { return log.count(HoldRepeater::Action::kPlay) == 2; }));
    repeater.stop();
}

void HoldRepeaterThreadTest::heldFastForwardTakesTheFirstStepAtOnceAndReleaseResumesPlayOnce() {
    FakeTransportTarget target;
    target.slider = 1500.0;
    ActionLog log;
    HoldRepeater repeater([&log](HoldRepeater::Action action) { log.add(action); });
    JogController jog(target);
    jog.setHoldRepeater(&repeater);
    repeater.start();

    jog.heldButtonPressed(true);  // message 4028
    QCOMPARE(target.callsStartingWith("seek"), std::vector<std::string>{"seek 1501"});
    QCOMPARE(repeater.state(), int(HoldRepeater::kAdvancing));
    QCOMPARE(jog.advanceStepSeconds(), 1);
    QCOMPARE(jog.rewindStepSeconds(), 1);
    QVERIFY(waitUntil([&] { return log.count(HoldRepeater::Action::kAdvanceStep) >= 2; }));

    jog.heldButtonReleased();  // message 4030
    QCOMPARE(repeater.state(), int(HoldRepeater::kResumePlay));
    QCOMPARE(target.count("play"), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    repeater.stop();

    // The window carries the actions out on its own thread: steps of one second each.
    target.calls.clear();
    for (const auto& entry : log.take()) {
        jog.performHoldAction(entry.first);
    }
    const auto plays = target.callsStartingWith("playFrom");
    QVERIFY(plays.size() >= 2);
    QCOMPARE(plays[0], std::string("playFrom 1502"));
    QCOMPARE(plays[1], std::string("playFrom 1503"));
    // The release started playback; the thread does not start it a second time.
    QCOMPARE(target.count("play"), 0);

    // A release while idle does nothing.
    repeater.setState(HoldRepeater::kIdle);
    jog.heldButtonReleased();
    QCOMPARE(target.count("play"), 0);
}

void HoldRepeaterThreadTest::heldRewindWhilePlayingStepsTwoSecondsWithoutAFirstSeek() {
    FakeTransportTarget target;
    target.slider = 1500.0;
    target.playFrom(1500.0);
    target.calls.clear();
    ActionLog log;
    HoldRepeater repeater([&log](HoldRepeater::Action action) { log.add(action); });
    JogController jog(target);
    jog.setHoldRepeater(&repeater);
    repeater.start();
    jog.heldButtonPressed(false);  // message 4029
    QVERIFY(target.callsStartingWith("seek").empty());
    QCOMPARE(jog.rewindStepSeconds(), 2);
    QVERIFY(waitUntil([&] { return log.count(HoldRepeater::Action::kRewindStep) >= 1; }));
    repeater.setState(HoldRepeater::kIdle);
    repeater.stop();
    for (const auto& entry : log.take()) {
        jog.performHoldAction(entry.first);
    }
    QCOMPARE(target.callsStartingWith("playFrom").front(), std::string("playFrom 1498"));
}

void HoldRepeaterThreadTest::stoppingEndsTheThreadPromptlyWhateverTheState() {
    ActionLog log;
    HoldRepeater repeater([&log](HoldRepeater::Action action) { log.add(action); });
    repeater.start();
    QVERIFY(repeater.isRunning());
    repeater.setState(HoldRepeater::kAdvancing);
    QVERIFY(waitUntil([&] { return log.count(HoldRepeater::Action::kAdvanceStep) >= 1; }));
    const auto before = Clock::now();
    repeater.stop();  // inside the 150 ms pause
    QVERIFY(Clock::now() - before < std::chrono::milliseconds(140));
    QVERIFY(!repeater.isRunning());
}

QTEST_MAIN(HoldRepeaterThreadTest)
#include "HoldRepeaterThreadTest.moc"
