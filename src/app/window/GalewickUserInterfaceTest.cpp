// The main window on generated sample sessions, playing through the "null:fast" output: opening
// (off the window's thread), playing with the slider and clock following, channel controls,
// speed, follow-play, search hits, the time edits and keys, notices, menus, and the way out.
#include <QAction>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "AnnotationCommands.h"
#include "AnnotationPanel.h"
#include "ChannelGainModel.h"
#include "ChannelStrip.h"
#include "ClockTimeText.h"
#include "GalewickCommandIds.h"
#include "GalewickInputHub.h"
#include "GalewickMenus.h"
#include "GalewickUserInterface.h"
#include "GalewickWindowTestSupport.h"
#include "JexAnnotation.h"
#include "JexSession.h"
#include "PlaybackEngine.h"
#include "SpeedControlWindow.h"
#include "TemporaryDirectory.h"
#include "TransportBar.h"
#include "UserNotification.h"
#include "Win32_AudioChannelControl.h"
#include "Win32_ListViewControl.h"
#include "Win32_VideoDisplayWindow.h"
#include "Win32_WindowMessage.h"
#include "Win32_WindowlessButton.h"
#include "Win32_WindowlessPushButton.h"
#include "Win32_WindowlessTextDisplay.h"
#include "Win32_WindowlessTimeSlider.h"
#include "WindowSealerHost.h"
#include "WindowTransportTarget.h"

namespace ids = GalewickCommandIds;
using GalewickWindowTestSupport::SampleArchive;
using GalewickWindowTestSupport::sampleArchive;

namespace {

SessionLoader::Request requestFor(const SampleArchive& archive,
                                  const std::string& location = "COURT1") {
    return {archive.root, location, archive.date.year, archive.date.month, archive.date.day};
}

int threadCount() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator("/proc/self/task")) {
        ++count;
    }
    return count;
}

// The annotation in force at `epochSeconds`: the last one stamped at or before it.
int annotationAt(const JexSession& record, double epochSeconds) {
    int found = -1;
    const std::vector<JexAnnotation> annotations = record.annotations();
    for (size_t i = 0; i < annotations.size(); ++i) {
        const WallClockTime* stamp = annotations[i].timeStamp();
        if (stamp != nullptr && stamp->asUtcSeconds() <= epochSeconds &&
            (found < 0 ||
             stamp->asUtcSeconds() >=
                 annotations[static_cast<size_t>(found)].timeStamp()->asUtcSeconds())) {
            found = static_cast<int>(i);
        }
    }
    return found;
}

}  // namespace

class GalewickUserInterfaceTest final : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void aSessionOpensOffTheWindowsThreadAndPlaysWithSliderAndClockFollowing();
    void channelControlsAreMadePerChannelAndTheirMutesAndLevelsReachTheEngine();
    void theSpeedMessageSetsTheTextAndTheEnginesSpeed();
    void followPlaySelectsTheAnnotationAtThePlayedTime();
    void aSearchHitOpensItsSessionAtItsTime();
    void aDamagedFileIsLeftOutAndTheWindowSaysWhichOne();
    void timeEditsAndEscape();
    void noticesShowOnceAndCommandsNeedASession();
    void menusCarryTheirIdsAndDurationChecks();
    void theInputHubAndTheSealerCommandsDriveTheWindow();
    void leavingSavesTheConfigurationAndStopsEveryThread();

private:
    std::unique_ptr<GalewickUserInterface> makeWindow(bool sealingMode = false);
    bool load(GalewickUserInterface& window, const SessionLoader::Request& request,
              double seekTo = -1.0);

    std::unique_ptr<TemporaryDirectory> directory_;
};

void GalewickUserInterfaceTest::init() {
    directory_ = std::make_unique<TemporaryDirectory>("galewick-window-test-");
}

void GalewickUserInterfaceTest::cleanup() {
    directory_.reset();
}

std::unique_ptr<GalewickUserInterface> GalewickUserInterfaceTest::makeWindow(bool sealingMode) {
    GalewickUserInterface::Options options;
    options.title = sealingMode ? "Brindlemark" : "Galewick";
    options.sealingMode = sealingMode;
    options.audioOutput = "null:fast";
    options.configurationPath = directory_->file("galewickConfiguration.xml");
    options.inputSources = false;
    auto window = std::make_unique<GalewickUserInterface>(options);
    if (!window->Initialize()) {
        return nullptr;
    }
    window->show();
    return window;
}

bool GalewickUserInterfaceTest::load(GalewickUserInterface& window,
                                     const SessionLoader::Request& request, double seekTo) {
    QSignalSpy loaded(&window, &GalewickUserInterface::sessionLoaded);
    if (!window.LoadSession(request, seekTo)) {
        return false;
    }
    return loaded.wait(30000) && loaded.first().first().toBool();
}

void GalewickUserInterfaceTest::
    aSessionOpensOffTheWindowsThreadAndPlaysWithSliderAndClockFollowing() {
    const SampleArchive& archive = sampleArchive();
    auto window = makeWindow();
    QVERIFY(window);
    TransportBar& transport = window->transport();
    QCOMPARE(transport.status().text(), QString(TransportBar::kNoSessionText));
    QCOMPARE(transport.clock().text(), QString(ClockTimeText::kNoTime));

    QSignalSpy loaded(window.get(), &GalewickUserInterface::sessionLoaded);
    QVERIFY(window->LoadSession(requestFor(archive)));
    // The window says so first and goes on: the worker opens the session.
    QCOMPARE(transport.status().text(), QString(TransportBar::kLoadingText));
    QVERIFY(window->isLoading());
    QVERIFY(!window->LoadSession(requestFor(archive)));
    QVERIFY(loaded.wait(30000));
    QVERIFY(loaded.first().first().toBool());
    QVERIFY(window->hasSession());

    const auto& session = window->openSession();
    QCOMPARE(session.root, archive.root);
    QVERIFY(std::abs(session.start - archive.start) < 1.0);
    QCOMPARE(transport.status().text(),
             QString::fromStdString(ClockTimeText::elapsed(session.end - session.start) +
                                    " -- Play time"));
    Win32_WindowlessTimeSlider& slider = transport.slider();
    QCOMPARE(slider.sessionStart(), session.start);
    QCOMPARE(slider.sessionEnd(), session.end);
    QCOMPARE(transport.clock().text(),
             QString::fromStdString(ClockTimeText::twelveHour(session.start, 0)));
    QCOMPARE(transport.date().text(), QStringLiteral("03/15/2010"));
    // The recorded segments are the channels' ranges as the engine has them.
    size_t ranges = 0;
    for (const auto& channel : window->engine()->timeRangesIs()) {
        ranges += channel.size();
    }
    QVERIFY(ranges >= 4);
    QCOMPARE(slider.recordedSegments().size(), ranges);
    QVERIFY(slider.sealedRanges().empty());
    QVERIFY(window->videoWindow().isVisible());
    QVERIFY(window->annotations().listView().model()->rowCount() > 10);

    // The play button: a click posts its message, the window plays.
    Win32_WindowlessPushButton* play = transport.button(ids::kPlayButton);
    QVERIFY(play != nullptr);
    QTest::mouseClick(window->canvas(), Qt::LeftButton, {}, play->rect().center());
    QTRY_VERIFY_WITH_TIMEOUT(slider.position() >= session.start + 20.0, 20000);
    // The clock shows the slider's second in the location's time; the video shows frames.
    QTRY_COMPARE(transport.clock().text(),
                 QString::fromStdString(ClockTimeText::twelveHour(slider.position(), 0)));
    QTRY_VERIFY_WITH_TIMEOUT(window->videoWindow().frame().epochTime >= session.start, 20000);
    QCOMPARE(window->videoWindow().frame().width, 160u);
    QVERIFY(window->videoWindow().hasFrame());

    // Stopped from the button: the engine stops and the slider stays put.
    if (play->isActive()) {
        QTest::mouseClick(window->canvas(), Qt::LeftButton, {}, play->rect().center());
    } else {
        window->stop();
    }
    QTRY_VERIFY(!window->isPlaying());
    QTRY_VERIFY(!play->isActive());
    // What the output had queued may still be heard; then the position stays put.
    bool still = false;
    for (int turn = 0; turn < 20 && !still; ++turn) {
        const double stoppedAt = slider.position();
        QTest::qWait(150);
        still = slider.position() == stoppedAt;
    }
    QVERIFY(still);

    // A click on the slider's track plays from there (message 1280).
    const double target = session.start + 100.0;
    Win32_WindowMessage::post(window.get(), Win32_WindowMessage::kTimeSliderReleased,
                              ids::kTimeSlider, static_cast<intptr_t>(target));
    QTRY_VERIFY_WITH_TIMEOUT(slider.position() >= target, 20000);
    window->stop();
}

void GalewickUserInterfaceTest::
    channelControlsAreMadePerChannelAndTheirMutesAndLevelsReachTheEngine() {
    auto window = makeWindow();
    QVERIFY(window);
    ChannelStrip& channels = window->channels();
    QCOMPARE(channels.channelCount(), 0u);
    QVERIFY(channels.masterControl() != nullptr);
    QVERIFY(load(*window, requestFor(sampleArchive())));
    QCOMPARE(channels.channelCount(), 4u);
    ChannelGainModel& model = window->engine()->channels();
    QCOMPARE(model.channelCountIs(), 4u);
    for (unsigned channel = 0; channel < 4; ++channel) {
        QVERIFY(window->findControl(ChannelStrip::kFirstChannelId + static_cast<int>(channel)) ==
                channels.channelControl(channel));
    }
    QVERIFY(window->findControl(ChannelStrip::kFirstChannelId + 4) == nullptr);

    // Channel 3 (index 2) muted on its control: the control's message carries it to the model.
    Win32_AudioChannelControl* third = channels.channelControl(2);
    third->setMuted(true);
    Win32_WindowMessage::post(window.get(), Win32_WindowMessage::kChannelMuteChanged,
                              ChannelStrip::kFirstChannelId + 2, 1);
    QTRY_VERIFY(model.channelMuteIs(2));
    QVERIFY(!model.channelMuteIs(1));
    third->setMuted(false);
    Win32_WindowMessage::post(window.get(), Win32_WindowMessage::kChannelMuteChanged,
                              ChannelStrip::kFirstChannelId + 2, 0);
    QTRY_VERIFY(!model.channelMuteIs(2));
    // A message of a control that does not exist changes nothing.
    Win32_WindowMessage::post(window.get(), Win32_WindowMessage::kChannelMuteChanged,
                              ChannelStrip::kFirstChannelId + 7, 1);
    QTest::qWait(20);
    for (unsigned channel = 0; channel < 4; ++channel) {
        QVERIFY(!model.channelMuteIs(channel));
    }
    // The same with the mouse on the control's mute button.
    QTest::mouseClick(window->canvas(), Qt::LeftButton, {}, third->muteButton().rect().center());
    QTRY_VERIFY(model.channelMuteIs(2));
    QVERIFY(third->isMuted());
    QTest::mouseClick(window->canvas(), Qt::LeftButton, {}, third->muteButton().rect().center());
    QTRY_VERIFY(!model.channelMuteIs(2));
    // Muting through the transport interface (hot keys) sets control and model together.
    channels.setChannelMuted(3, true);
    QVERIFY(channels.channelControl(3)->isMuted());
    QVERIFY(model.channelMuteIs(3));
    channels.setChannelMuted(3, false);

    // A level set on a knob reaches the model with its message.
    channels.channelControl(1)->setGain(0.5f);
    Win32_WindowMessage::post(window.get(), Win32_WindowMessage::kChannelLevelSet,
                              ChannelStrip::kFirstChannelId + 1, 50);
    QTRY_COMPARE(model.channelLevelIs(1), channels.channelControl(1)->gain());
    QVERIFY(model.channelLevelIs(1) < 0.75f);

    // The master steps and its mute.
    const float master = model.masterLevelIs();
    channels.stepMasterLevel(-1);
    QVERIFY(model.masterLevelIs() < master);
    channels.masterControl()->setMuted(true);
    Win32_WindowMessage::post(window.get(), Win32_WindowMessage::kChannelMuteChanged,
                              ChannelStrip::kMasterId, 1);
    QTRY_VERIFY(model.masterMuteIs());

    // The meters show what the engine reports while it plays.
    channels.masterControl()->setMuted(false);
    Win32_WindowMessage::post(window.get(), Win32_WindowMessage::kChannelMuteChanged,
                              ChannelStrip::kMasterId, 0);
    window->playFrom(window->openSession().start + 10.0);
    QTRY_VERIFY_WITH_TIMEOUT(channels.masterControl()->powerLevel() > 0.0, 20000);
    window->stop();

    // Another session starts every control afresh.
    QVERIFY(channels.channelControl(2) != nullptr);
    channels.setChannelMuted(0, true);
    QVERIFY(load(*window, requestFor(sampleArchive(), "COURT2")));
    QCOMPARE(channels.channelCount(), 4u);
    QVERIFY(!channels.isChannelMuted(0));
    QVERIFY(!window->engine()->channels().channelMuteIs(0));
}

void GalewickUserInterfaceTest::theSpeedMessageSetsTheTextAndTheEnginesSpeed() {
    auto window = makeWindow();
    QVERIFY(window);
    QVERIFY(load(*window, requestFor(sampleArchive())));
    Win32_WindowlessTextDisplay& text = window->transport().speedText();
    QCOMPARE(text.text(), QStringLiteral("1.0x"));

    const struct {
        int position;
        const char* text;
        int percent;
    } cases[] = {
        {1, "0.8x", -20}, {2, "0.8x", -20}, {-8, "1.8x", 80}, {7, "0.3x", -70}, {0, "1.0x", 0}};
    for (const auto& c : cases) {
        Win32_WindowMessage::post(window.get(), Win32_WindowMessage::kSpeedPosition, c.position, 0);
        QTRY_COMPARE(text.text(), QString::fromLatin1(c.text));
        QCOMPARE(window->engine()->speedIs().percentIs(), c.percent);
    }

    // The speed window's bar posts the same message.
    SpeedControlWindow& speed = window->speedWindow();
    QCOMPARE(speed.windowTitle(), QStringLiteral("Speed"));
    QCOMPARE(speed.size(), QSize(30, 120));
    speed.setPosition(3);
    QTRY_COMPARE(text.text(), QStringLiteral("0.7x"));
    QCOMPARE(window->engine()->speedIs().percentIs(), -30);
    speed.setPosition(99);
    QTRY_COMPARE(text.text(), QStringLiteral("0.3x"));

    // It follows the main window's moves.
    const QPoint before = speed.pos();
    window->move(window->pos() + QPoint(40, 25));
    QTRY_COMPARE(speed.pos(), before + QPoint(40, 25));
}

void GalewickUserInterfaceTest::followPlaySelectsTheAnnotationAtThePlayedTime() {
    auto window = makeWindow();
    QVERIFY(window);
    QVERIFY(load(*window, requestFor(sampleArchive())));
    AnnotationPanel& panel = window->annotations();
    const JexSession* record = window->engine()->recordIs();
    QVERIFY(record != nullptr);
    panel.setFollowPlayEnabled(true);

    const double from = window->openSession().start + 95.0;
    window->playFrom(from);
    QTRY_VERIFY_WITH_TIMEOUT(window->transport().slider().position() >= from + 5.0, 20000);
    window->stop();
    QTRY_VERIFY(!window->isPlaying());
    // Positions still on their way are applied; then the selection is the one in force.
    QTest::qWait(100);
    const double heard = window->engine()->positionIs();
    const int expected = annotationAt(*record, heard);
    QVERIFY(expected > 0);
    QTRY_COMPARE(panel.selectedIndex(), annotationAt(*record, window->engine()->positionIs()));

    // Off: the selection stays where the user puts it.
    panel.setFollowPlayEnabled(false);
    panel.selectIndex(0);
    window->playFrom(from + 30.0);
    QTRY_VERIFY_WITH_TIMEOUT(window->transport().slider().position() >= from + 35.0, 20000);
    QCOMPARE(panel.selectedIndex(), 0);
    window->stop();
}

void GalewickUserInterfaceTest::aSearchHitOpensItsSessionAtItsTime() {
    const SampleArchive& archive = sampleArchive();
    auto window = makeWindow();
    QVERIFY(window);
    QVERIFY(load(*window, requestFor(archive)));
    QCOMPARE(window->openSession().location, std::string("COURT1"));

    SessionOpenChoice choice;
    choice.root = QString::fromStdString(archive.root);
    choice.location = QStringLiteral("COURT2");
    choice.year = archive.date.year;
    choice.month = archive.date.month;
    choice.day = archive.date.day;
    choice.hasTime = true;
    choice.epochSeconds = archive.start + 75.0;
    QSignalSpy loaded(window.get(), &GalewickUserInterface::sessionLoaded);
    emit window->annotationCommands().openSessionRequested(choice);
    QVERIFY(loaded.wait(30000));
    QVERIFY(loaded.first().first().toBool());
    QCOMPARE(window->openSession().location, std::string("COURT2"));
    QCOMPARE(window->transport().slider().position(), archive.start + 75.0);
    QCOMPARE(window->engine()->positionIs(), archive.start + 75.0);
    QVERIFY(!window->isPlaying());
    QCOMPARE(window->transport().clock().text(),
             QString::fromStdString(ClockTimeText::twelveHour(archive.start + 75.0, 0)));

    // A location that no archive holds: the window says so and keeps the session it has.
    choice.location = QStringLiteral("COURT9");
    emit window->annotationCommands().openSessionRequested(choice);
    QVERIFY(loaded.wait(30000));
    QVERIFY(!loaded.last().first().toBool());
    QVERIFY(window->transport().status().text().contains(QStringLiteral("COURT9")));
}

void GalewickUserInterfaceTest::aDamagedFileIsLeftOutAndTheWindowSaysWhichOne() {
    std::string corrupt;
    const SampleArchive& archive = GalewickWindowTestSupport::archiveWithCorruptFile(corrupt);
    auto window = makeWindow();
    QVERIFY(window);
    QVERIFY(load(*window, requestFor(archive)));
    QCOMPARE(window->skippedFiles().size(), 1);
    QVERIFY(window->skippedFiles().first().startsWith(QString::fromStdString(corrupt)));
    QVERIFY2(window->transport().status().text().endsWith(QStringLiteral("(1 file left out)")),
             qPrintable(window->transport().status().text()));
    auto* box = window->findChild<QMessageBox*>(QStringLiteral("skippedFilesMessage"));
    QVERIFY(box != nullptr);
    QVERIFY(box->text().contains(QString::fromStdString(corrupt)));
    // The rest plays.
    QCOMPARE(window->channels().channelCount(), 4u);
    window->playFrom(archive.start + 55.0);
    QTRY_VERIFY_WITH_TIMEOUT(window->transport().slider().position() >= archive.start + 70.0,
                             20000);
    window->stop();
}

void GalewickUserInterfaceTest::timeEditsAndEscape() {
    const SampleArchive& archive = sampleArchive();
    auto window = makeWindow();
    QVERIFY(window);
    TransportBar& transport = window->transport();
    QVERIFY(!transport.startEdit().isEnabled());
    QVERIFY(load(*window, requestFor(archive)));
    QVERIFY(!transport.startEdit().isEnabled());
    window->annotations().setAnnotationEditsAllowed(true);
    QVERIFY(transport.startEdit().isEnabled());
    QVERIFY(transport.endEdit().isEnabled());

    Win32_WindowlessTimeSlider& slider = transport.slider();
    transport.startEdit().setText(QStringLiteral("09:01:00"));
    QTest::keyClick(&transport.startEdit(), Qt::Key_Return);
    QVERIFY(slider.hasSelection());
    QCOMPARE(slider.selectionStart(), archive.start + 60.0);
    QCOMPARE(slider.selectionEnd(), window->openSession().end);
    transport.endEdit().setText(QStringLiteral("9:02:30 am"));
    QTest::keyClick(&transport.endEdit(), Qt::Key_Return);
    QCOMPARE(slider.selectionStart(), archive.start + 60.0);
    QCOMPARE(slider.selectionEnd(), archive.start + 150.0);
    QCOMPARE(transport.endEdit().text(), QStringLiteral("09:02:30 AM"));

    // Text that is no time changes nothing and says so.
    transport.startEdit().setText(QStringLiteral("nine"));
    QVERIFY(!transport.applyTimeEdit(ids::kSelectionStartEdit));
    QCOMPARE(slider.selectionStart(), archive.start + 60.0);
    QVERIFY(transport.status().text().contains(QStringLiteral("nine")));

    // Esc: the clock shows no time and the edits empty (the slider takes the key next).
    window->setFocus();
    QTest::keyClick(window.get(), Qt::Key_Escape);
    QCOMPARE(transport.clock().text(), QString(ClockTimeText::kNoTime));
    QVERIFY(transport.startEdit().text().isEmpty());
    QVERIFY(transport.endEdit().text().isEmpty());
    QVERIFY(!slider.hasSelection());

    // Disallowing edits disables the edits again.
    window->annotations().setAnnotationEditsAllowed(false);
    QVERIFY(!transport.startEdit().isEnabled());

    // Space plays and stops while the list has no focus.
    QTest::keyClick(window.get(), Qt::Key_Space);
    QTRY_VERIFY_WITH_TIMEOUT(
        window->isPlaying() || slider.position() > window->openSession().start + 1.0, 20000);
    QTest::keyClick(window.get(), Qt::Key_Space);
    QTRY_VERIFY(!window->isPlaying());
}

void GalewickUserInterfaceTest::noticesShowOnceAndCommandsNeedASession() {
    auto window = makeWindow();
    QVERIFY(window);
    const QString text = QStringLiteral(
        "The sound card cannot be opened. Playback goes on "
        "without sound.");
    UserNotification::notify("Audio output", text.toStdString());
    QTRY_COMPARE(window->transport().status().text(), text);
    QCOMPARE(window->findChildren<QMessageBox*>(QStringLiteral("noticeMessage")).size(), 1);
    UserNotification::notify("Audio output", text.toStdString());
    QTest::qWait(50);
    QCOMPARE(window->findChildren<QMessageBox*>(QStringLiteral("noticeMessage")).size(), 1);

    // Without a session the commands that need one are off and the transport does nothing.
    QVERIFY(!window->menus().action(ids::kPrintAnnotations)->isEnabled());
    QVERIFY(!window->menus().action(ids::kExportSession)->isEnabled());
    QVERIFY(window->menus().action(ids::kOpenSession)->isEnabled());
    window->play();
    QVERIFY(!window->isPlaying());
    Win32_WindowMessage::post(window.get(), Win32_WindowMessage::kTimeSliderReleased,
                              ids::kTimeSlider, 1000);
    QTest::qWait(50);
    QVERIFY(!window->isPlaying());
    QCOMPARE(window->transport().clock().text(), QString(ClockTimeText::kNoTime));

    // An output text the factory refuses plays through "null" and says so.
    GalewickUserInterface::Options options;
    options.audioOutput = "speakers";
    options.configurationPath = directory_->file("other.xml");
    options.inputSources = false;
    GalewickUserInterface other(options);
    QVERIFY(other.Initialize());
    QVERIFY(other.engine() != nullptr);
    QVERIFY(other.transport().status().text().contains(QStringLiteral("speakers")));
}

void GalewickUserInterfaceTest::menusCarryTheirIdsAndDurationChecks() {
    auto player = makeWindow(false);
    QVERIFY(player);
    GalewickMenus& menus = player->menus();
    QCOMPARE(menus.action(ids::kOpenSession)->text(), QStringLiteral("&Open Session"));
    QCOMPARE(menus.action(ids::kOpenSession)->data().toInt(), ids::kOpenSession);
    QCOMPARE(menus.action(ids::kSaveAnnotationsHtml)->text(),
             QStringLiteral("Save Annotations in HTML"));
    QCOMPARE(menus.action(ids::kCopy)->text(), QStringLiteral("Copy"));
    QVERIFY(menus.action(ids::kSealSelectedRange) == nullptr);
    QCOMPARE(menus.action(ids::kExit)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));

    // Durations: the configured steps are checked, a choice moves the checks.
    QVERIFY(menus.action(ids::kAdvanceDurationIds[1])->isChecked());  // 5 s default
    QVERIFY(menus.action(ids::kRewindDurationIds[1])->isChecked());
    menus.action(ids::kAdvanceDurationIds[5])->trigger();
    QCOMPARE(player->configuration().advanceSeconds, 300);
    QVERIFY(menus.action(ids::kAdvanceDurationIds[5])->isChecked());
    QVERIFY(!menus.action(ids::kAdvanceDurationIds[1])->isChecked());
    QVERIFY(menus.action(ids::kRewindDurationIds[1])->isChecked());
    menus.action(ids::kRewindDurationIds[0])->trigger();
    QCOMPARE(player->configuration().rewindSeconds, 1);
    QCOMPARE(menus.action(ids::kRewindDurationIds[0])->text(), QStringLiteral("1 Second"));

    // Hide video window: checked, and the video stays hidden with a session.
    menus.action(ids::kHideVideoWindow)->trigger();
    QVERIFY(menus.action(ids::kHideVideoWindow)->isChecked());
    QVERIFY(load(*player, requestFor(sampleArchive())));
    QVERIFY(!player->videoWindow().isVisible());
    menus.action(ids::kHideVideoWindow)->trigger();
    QVERIFY(player->videoWindow().isVisible());

    auto sealer = makeWindow(true);
    QVERIFY(sealer);
    GalewickMenus& sealerMenus = sealer->menus();
    QCOMPARE(sealerMenus.mainMenu()->objectName(), QStringLiteral("menu110"));
    QCOMPARE(sealerMenus.action(ids::kSealSelectedRange)->text(),
             QStringLiteral("Seal Selected Range"));
    QCOMPARE(sealerMenus.action(ids::kUnseal)->text(), QStringLiteral("Unseal"));
    QCOMPARE(sealerMenus.action(ids::kRecoverSealingSession)->text(),
             QStringLiteral("Recover Sealing Session"));
    QCOMPARE(sealerMenus.action(ids::kCopy)->text(), QStringLiteral("Copy Selected Range"));
    QCOMPARE(sealerMenus.action(ids::kSaveAnnotationsText)->text(),
             QStringLiteral("Save Annotations As ASCII"));
}

void GalewickUserInterfaceTest::theInputHubAndTheSealerCommandsDriveTheWindow() {
    const SampleArchive& archive = sampleArchive();
    auto window = makeWindow(true);
    QVERIFY(window);
    QVERIFY(window->inputHub() != nullptr);
    QVERIFY(window->sealerCommands() != nullptr);
    QVERIFY(load(*window, requestFor(archive)));
    Win32_WindowlessTimeSlider& slider = window->transport().slider();

    // An advance step (message 1027, through the hub) plays from the slider + the step.
    window->seekTo(archive.start + 30.0);
    window->configuration().advanceSeconds = 15;
    Win32_WindowMessage::post(window.get(), Win32_WindowMessage::kAdvanceStep, 0, 0);
    QTRY_VERIFY_WITH_TIMEOUT(slider.position() >= archive.start + 45.0, 20000);
    window->stop();
    QTRY_VERIFY(!window->isPlaying());

    // Hot key "solo channel 2": every other channel muted in the controls and the engine.
    window->inputHub()->handleHotKey(2);
    ChannelGainModel& model = window->engine()->channels();
    QVERIFY(model.channelMuteIs(0));
    QVERIFY(!model.channelMuteIs(1));
    QVERIFY(model.channelMuteIs(2) && model.channelMuteIs(3));
    QVERIFY(window->channels().isChannelMuted(0));

    // The transport interface as the hub sees it.
    WindowTransportTarget target(*window);
    QCOMPARE(target.sessionStartSeconds(), window->openSession().start);
    QCOMPARE(target.channelCount(), 4);
    QVERIFY(target.hasButton(ids::kPlayButton));
    QVERIFY(!target.hasButton(105));
    QCOMPARE(target.sessionName(), std::string("COURT1 03/15/2010"));
    QVERIFY(!target.recordedSegments().empty());
    target.setSpeedPosition(-5);
    QTRY_COMPARE(window->transport().speedText().text(), QStringLiteral("1.5x"));
    QCOMPARE(target.speedPosition(), -5);

    // The sealer's view of the window.
    WindowSealerHost host(*window);
    QVERIFY(host.hasOpenSession());
    QCOMPARE(host.sessionRecordingsPath(), archive.root + "/Recordings");
    QCOMPARE(host.sessionDate().day, 15);
    double start = 0.0, end = 0.0;
    QVERIFY(!host.selectedRange(start, end));
    host.setSelectedRange(archive.start + 20.0, archive.start + 40.0);
    QVERIFY(host.selectedRange(start, end));
    QCOMPARE(start, archive.start + 20.0);
    QCOMPARE(end, archive.start + 40.0);
    QCOMPARE(window->transport().startEdit().text(),
             QString::fromStdString(ClockTimeText::twelveHour(archive.start + 20.0, 0)));
    QVERIFY(host.sealedRanges().empty());
    // A reload opens the same session again and reports when it has: the window's thread
    // keeps turning while it waits.
    int ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
    ticker.start(1);
    const double before = slider.position();
    QVERIFY(before > archive.start + 40.0);
    QVERIFY(host.reloadSession());
    QVERIFY(ticks > 0);
    QVERIFY(window->hasSession());
    QVERIFY(!window->isLoading());
    QCOMPARE(window->openSession().location, std::string("COURT1"));
    // At the place it was.
    QCOMPARE(slider.position(), before);
    // A copy's auto-load of a session that is not there says so.
    QVERIFY(!host.openSession(archive.root, "COURT9", host.sessionDate()));
    QVERIFY(!window->hasSession());
    QVERIFY(host.openSession(archive.root, "COURT2", host.sessionDate()));
    QCOMPARE(window->openSession().location, std::string("COURT2"));
}

void GalewickUserInterfaceTest::leavingSavesTheConfigurationAndStopsEveryThread() {
    const int threadsBefore = threadCount();
    const std::string configuration = directory_->file("galewickConfiguration.xml");
    auto window = makeWindow();
    QVERIFY(window);
    QVERIFY(load(*window, requestFor(sampleArchive())));
    window->configuration().autoRefresh = true;
    window->engine()->setAutoRefresh(true);
    window->playFrom(window->openSession().start + 5.0);
    QTRY_VERIFY_WITH_TIMEOUT(window->isPlaying(), 20000);
    window->move(120, 80);
    QVERIFY(threadCount() > threadsBefore);

    window->close();
    QVERIFY(window->engine() == nullptr);
    // Every thread the window started has ended (the engine joined its own).
    QTRY_VERIFY(threadCount() <= threadsBefore);

    std::ifstream file(configuration);
    QVERIFY(file.good());
    std::stringstream text;
    text << file.rdbuf();
    const std::string saved = text.str();
    QVERIFY(saved.find("<autorefresh>1</autorefresh>") != std::string::npos);
    QVERIFY(saved.find("<advanceseconds>5</advanceseconds>") != std::string::npos);
    const QPoint corner = window->frameGeometry().topLeft();
    QVERIFY(saved.find("<xoffset>" + std::to_string(corner.x()) + "</xoffset>") !=
            std::string::npos);

    // Leaving twice (close, then the destructor) is harmless.
    window.reset();

    // Closed while a sealer command waits for its reload: the wait ends with false, and the
    // window goes only after it.
    auto waiting = makeWindow(true);
    QVERIFY(waiting);
    QTimer::singleShot(0, waiting.get(), [&waiting] { waiting->close(); });
    QVERIFY(!waiting->LoadSessionAndWait(requestFor(sampleArchive())));
    QVERIFY(waiting->engine() == nullptr);
    QVERIFY(waiting->sealerCommands() != nullptr);
    waiting.reset();
}

QTEST_MAIN(GalewickUserInterfaceTest)
#include "GalewickUserInterfaceTest.moc"
