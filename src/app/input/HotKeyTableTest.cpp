#include <QSet>
#include <QTest>
#include <QWidget>
#include <memory>

#include "FakeTransportTarget.h"
#include "GalewickInputHub.h"
#include "HotKeyTable.h"
#include "JogController.h"
#include "PortalGlobalShortcuts.h"
#include "X11HotKeyGrabber.h"

namespace {
std::vector<bool> mutes(const FakeTransportTarget& target) {
    return target.muted;
}
}  // namespace

class HotKeyTableTest final : public QObject {
    Q_OBJECT
private slots:
    void everyIdHasOneDistinctKey();
    void soloMutesTheOthersAndUnmutesTheChannel();
    void soloOfAChannelThatDoesNotExistDoesNothing();
    void unmuteAllUnmutesEveryChannel();
    void playToggleStepsSpeedMasterAndCommands();
    void stepsTakeTheConfiguredLengths();
    void x11GrabsFollowTheKeyboardMappingAndIgnoreLockKeys();
    void portalShortcutIdsMapBackToHotKeys();
    void applicationShortcutsReachTheHotKeys();
};

void HotKeyTableTest::everyIdHasOneDistinctKey() {
    QCOMPARE(int(HotKeyTable::entries().size()), HotKeyTable::kLastId);
    QSet<QString> keys;
    for (int id = HotKeyTable::kFirstId; id <= HotKeyTable::kLastId; ++id) {
        const HotKeyTable::Entry* entry = HotKeyTable::find(id);
        QVERIFY(entry != nullptr);
        QCOMPARE(entry->id, id);
        QVERIFY(!entry->key.isEmpty());
        keys.insert(entry->key.toString());
    }
    QCOMPARE(keys.size(), HotKeyTable::kLastId);
    QVERIFY(HotKeyTable::find(0) == nullptr);
    QVERIFY(HotKeyTable::find(22) == nullptr);
    QCOMPARE(HotKeyTable::find(3)->key, QKeySequence(Qt::CTRL | Qt::Key_3));
    QCOMPARE(HotKeyTable::find(9)->key, QKeySequence(Qt::CTRL | Qt::Key_0));
    QCOMPARE(HotKeyTable::find(21)->key, QKeySequence(Qt::ALT | Qt::Key_C));
}

void HotKeyTableTest::soloMutesTheOthersAndUnmutesTheChannel() {
    FakeTransportTarget target;
    JogController jog(target);
    target.muted = {false, true, false, false};
    QVERIFY(HotKeyTable::perform(2, target, jog));
    QCOMPARE(mutes(target), (std::vector<bool>{true, false, true, true}));

    // Already the only unmuted one: the others are left alone.
    target.calls.clear();
    HotKeyTable::perform(2, target, jog);
    QCOMPARE(mutes(target), (std::vector<bool>{true, false, true, true}));
    QCOMPARE(target.calls, std::vector<std::string>{"mute 1 0"});

    // Solo of a muted channel while another is solo moves the solo.
    HotKeyTable::perform(4, target, jog);
    QCOMPARE(mutes(target), (std::vector<bool>{true, true, true, false}));
}

void HotKeyTableTest::soloOfAChannelThatDoesNotExistDoesNothing() {
    FakeTransportTarget target;
    JogController jog(target);
    target.muted = {false, true};
    QVERIFY(HotKeyTable::perform(3, target, jog));  // Ctrl+3 with two channels
    QVERIFY(target.calls.empty());
    QCOMPARE(mutes(target), (std::vector<bool>{false, true}));
    target.muted.clear();
    HotKeyTable::perform(1, target, jog);
    QVERIFY(target.calls.empty());
}

void HotKeyTableTest::unmuteAllUnmutesEveryChannel() {
    FakeTransportTarget target;
    JogController jog(target);
    target.muted = {true, false, true, true, true, true, true, true};
    HotKeyTable::perform(9, target, jog);
    QCOMPARE(mutes(target), std::vector<bool>(8, false));
}

void HotKeyTableTest::playToggleStepsSpeedMasterAndCommands() {
    FakeTransportTarget target;
    JogController jog(target);
    HotKeyTable::perform(10, target, jog);
    QVERIFY(target.playing);
    HotKeyTable::perform(13, target, jog);  // the play/pause media key
    QVERIFY(!target.playing);

    target.speed = TransportTarget::kSlowestSpeedPosition + 1;
    HotKeyTable::perform(16, target, jog);
    HotKeyTable::perform(16, target, jog);
    QCOMPARE(target.speed, TransportTarget::kSlowestSpeedPosition);
    target.speed = TransportTarget::kFastestSpeedPosition;
    HotKeyTable::perform(17, target, jog);
    QCOMPARE(target.speed, TransportTarget::kFastestSpeedPosition);
    target.speed = 0;
    HotKeyTable::perform(17, target, jog);
    QCOMPARE(target.speed, 1);

    HotKeyTable::perform(18, target, jog);
    HotKeyTable::perform(19, target, jog);
    HotKeyTable::perform(19, target, jog);
    QCOMPARE(target.masterLevel, 49);
    target.masterExists = false;
    target.calls.clear();
    HotKeyTable::perform(18, target, jog);
    QVERIFY(target.calls.empty());

    HotKeyTable::perform(20, target, jog);
    HotKeyTable::perform(21, target, jog);
    QCOMPARE(target.calls, (std::vector<std::string>{"openSession", "copy"}));
    QVERIFY(!HotKeyTable::perform(22, target, jog));
}

void HotKeyTableTest::stepsTakeTheConfiguredLengths() {
    FakeTransportTarget target;
    target.slider = 2000.0;
    target.configuredAdvanceSeconds = 15;
    target.configuredRewindSeconds = 4;
    JogController jog(target);
    jog.setAdvanceStepSeconds(1);  // left over from a held button
    jog.setRewindStepSeconds(2);
    HotKeyTable::perform(11, target, jog);  // Ctrl+Alt+Right
    HotKeyTable::perform(15, target, jog);  // previous-track media key
    QCOMPARE(target.callsStartingWith("playFrom"),
             (std::vector<std::string>{"playFrom 2015", "playFrom 2011"}));
    QCOMPARE(jog.advanceStepSeconds(), 15);
    QCOMPARE(jog.rewindStepSeconds(), 4);
}

void HotKeyTableTest::x11GrabsFollowTheKeyboardMappingAndIgnoreLockKeys() {
    // A small keyboard: key codes 10.. with two symbols each.
    const uint32_t mapping[] = {
        0x31,       0x21,    // 10: "1" "!"
        0x33,       0x23,    // 11: "3" "#"
        0xff13,     0xff6b,  // 12: Pause, Break
        0xff52,     0,       // 13: Up
        0x63,       0x43,    // 14: c C
        0x1008ff14, 0,       // 15: the play media key
        0x61,       0x41,    // 16: a A (no hot key)
    };
    const auto grabs = X11HotKeyGrabber::grabsForMapping(mapping, 7, 2, 10);
    constexpr uint16_t kShift = 1, kLock = 2, kControl = 4, kAlt = 8, kNumLock = 16;
    QCOMPARE(X11HotKeyGrabber::match(grabs, 10, kControl), 1);
    QCOMPARE(X11HotKeyGrabber::match(grabs, 11, kControl | kLock | kNumLock), 3);
    QCOMPARE(X11HotKeyGrabber::match(grabs, 12, kControl), 10);
    QCOMPARE(X11HotKeyGrabber::match(grabs, 13, kControl | kAlt), 16);
    QCOMPARE(X11HotKeyGrabber::match(grabs, 13, kControl), 18);
    QCOMPARE(X11HotKeyGrabber::match(grabs, 14, kAlt), 21);
    QCOMPARE(X11HotKeyGrabber::match(grabs, 15, kNumLock), 13);
    QCOMPARE(X11HotKeyGrabber::match(grabs, 10, 0), 0);
    QCOMPARE(X11HotKeyGrabber::match(grabs, 10, kControl | kShift), 0);
    QCOMPARE(X11HotKeyGrabber::match(grabs, 16, kControl), 0);
    // Pause and Break share a key: one grab for it.
    int pauseGrabs = 0;
    for (const auto& grab : grabs) {
        pauseGrabs += grab.keyCode == 12 ? 1 : 0;
    }
    QCOMPARE(pauseGrabs, 1);
}

void HotKeyTableTest::portalShortcutIdsMapBackToHotKeys() {
    const QList<PortalShortcut> shortcuts = PortalGlobalShortcuts::shortcuts();
    QCOMPARE(int(shortcuts.size()), HotKeyTable::kLastId);
    for (const PortalShortcut& shortcut : shortcuts) {
        const int id = PortalGlobalShortcuts::hotKeyId(shortcut.id);
        QVERIFY(id >= 1 && id <= 21);
        QVERIFY(
            !shortcut.properties.value(QStringLiteral("preferred_trigger")).toString().isEmpty());
    }
    QCOMPARE(PortalGlobalShortcuts::hotKeyId(QStringLiteral("hotkey-22")), 0);
    QCOMPARE(PortalGlobalShortcuts::hotKeyId(QStringLiteral("other-3")), 0);
    QCOMPARE(PortalGlobalShortcuts::hotKeyId(QStringLiteral("hotkey-x")), 0);
}

void HotKeyTableTest::applicationShortcutsReachTheHotKeys() {
    FakeTransportTarget target;
    target.muted = {false, false, false};
    QWidget window;
    GalewickInputHub::Options options;
    options.pedal = false;
    options.repeatThread = false;
    options.globalHotKeys = false;
    options.mpris = false;
    options.recorderSignals = false;
    GalewickInputHub hub(target, &window, options);
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&window, Qt::Key_2, Qt::ControlModifier);
    QCOMPARE(mutes(target), (std::vector<bool>{true, false, true}));
    QTest::keyClick(&window, Qt::Key_0, Qt::ControlModifier);
    QCOMPARE(mutes(target), (std::vector<bool>{false, false, false}));
    QTest::keyClick(&window, Qt::Key_C, Qt::AltModifier);
    QCOMPARE(target.count("copy"), 1);
    // Keys without a character: sent with an empty text.
    QTest::sendKeyEvent(QTest::Click, &window, Qt::Key_MediaPlay, QString(), Qt::NoModifier);
    QVERIFY(target.playing);
    QTest::sendKeyEvent(QTest::Click, &window, Qt::Key_MediaTogglePlayPause, QString(),
                        Qt::NoModifier);
    QVERIFY(!target.playing);

    // A window that goes first takes its shortcuts with it; the hub does not delete them again.
    auto* shortLived = new QWidget;
    auto hub2 = std::make_unique<GalewickInputHub>(target, shortLived, options);
    delete shortLived;
    hub2.reset();
}

QTEST_MAIN(HotKeyTableTest)
#include "HotKeyTableTest.moc"
