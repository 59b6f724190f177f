#include <QBuffer>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <array>
#include <vector>

#include "KorvalisResourceArchiveSingleton.h"
#include "KorvalisResourceArchiveWriter.h"
#include "Win32_AudioChannelControl.h"
#include "Win32_BasicWindow.h"
#include "Win32_WindowMessage.h"
#include "Win32_WindowlessPushButton.h"
#include "Win32_WindowlessTextDisplay.h"
#include "Win32_WindowlessTimeSlider.h"

namespace {

using Message = std::array<intptr_t, 3>;  // message, wParam, lParam

// A window that keeps every window message it receives.
class RecordingWindow final : public Win32_BasicWindow {
public:
    RecordingWindow() : Win32_BasicWindow(QStringLiteral("controls"), std::string()) {}
    std::vector<Message> messages;

protected:
    bool ProcessWindowsMessage(const Win32_WindowMessage& message) override {
        messages.push_back({message.message(), message.wParam(), message.lParam()});
        return true;
    }
};

constexpr int kClick = 4028;
constexpr int kRelease = 4030;

// A slider whose track runs from 19 to 657: 638 pixels.
constexpr int kSliderX = 10;
constexpr int kSliderY = 260;
constexpr int kTrackLeft = 19;
constexpr int kTrackY = kSliderY + 15;  // inside the track band
constexpr int kMarkerY = kSliderY + 4;  // on the selection markers
constexpr int kThumbY = kSliderY + 26;  // on the thumb

}  // namespace

class WindowlessControlsTest : public QObject {
    Q_OBJECT

private:
    static void deliver() { QCoreApplication::sendPostedEvents(); }
    static void press(RecordingWindow& window, int x, int y) {
        QTest::mousePress(window.canvas(), Qt::LeftButton, Qt::NoModifier, QPoint(x, y));
    }
    static void move(RecordingWindow& window, int x, int y) {
        QMouseEvent event(QEvent::MouseMove, QPointF(x, y),
                          window.canvas()->mapToGlobal(QPointF(x, y)), Qt::NoButton, Qt::LeftButton,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(window.canvas(), &event);
    }
    static void release(RecordingWindow& window, int x, int y) {
        QTest::mouseRelease(window.canvas(), Qt::LeftButton, Qt::NoModifier, QPoint(x, y));
        deliver();
    }
    static void click(RecordingWindow& window, int x, int y) {
        press(window, x, y);
        release(window, x, y);
    }

private slots:
    void textsTooWideAreDrawnSmallerBeforeTheyAreElided() {
        // The window's clock: 22 px bold digits in a 146-pixel panel.
        QFont clock(QStringLiteral("monospace"));
        clock.setStyleHint(QFont::TypeWriter);
        clock.setBold(true);
        clock.setPixelSize(22);
        const QString time = QStringLiteral("09:00:04 AM");
        const QFont fitted = Win32_WindowlessTextDisplay::fittingFont(clock, time, 142);
        QVERIFY(QFontMetrics(fitted).horizontalAdvance(time) <= 142);
        QVERIFY(fitted.pixelSize() <= 22);
        QVERIFY(fitted.pixelSize() >= 14);
        // A text that fits keeps its size; one that cannot fit stops at two thirds.
        QCOMPARE(
            Win32_WindowlessTextDisplay::fittingFont(clock, QStringLiteral("9"), 142).pixelSize(),
            22);
        QCOMPARE(
            Win32_WindowlessTextDisplay::fittingFont(clock, QString(200, QLatin1Char('W')), 142)
                .pixelSize(),
            14);
    }

    void aButtonPostsItsClickWhenReleasedInside() {
        RecordingWindow window;
        auto* button = window.createControl<Win32_WindowlessButton>(10, 10, 55, 60, 100, false);
        button->setClickMessage(kClick);
        press(window, 20, 20);
        QVERIFY(button->isPressed());
        deliver();
        QVERIFY(window.messages.empty());
        release(window, 60, 65);
        QCOMPARE(window.messages, (std::vector<Message>{{kClick, 100, 0}}));
        QVERIFY(!button->isPressed());
    }

    // A press taken back by leaving the control before letting go.
    void aPressReleasedOutsideSendsNothingAndLeavesTheButtonReleased() {
        RecordingWindow window;
        auto* button = window.createControl<Win32_WindowlessButton>(10, 10, 55, 60, 100, false);
        auto* push = window.createControl<Win32_WindowlessPushButton>(100, 10, 55, 60, 101, false);
        button->setClickMessage(kClick);
        push->setClickMessage(kClick);
        push->setReleaseMessage(kRelease);

        press(window, 20, 20);
        release(window, 65, 20);  // one pixel right of the button
        QVERIFY(!button->isPressed());

        press(window, 110, 20);
        QVERIFY(push->isPressed() && push->isActive());
        release(window, 400, 400);
        QVERIFY(!push->isPressed());
        QVERIFY(!push->isActive());

        // An active (playing) push button stays active when the click is taken back.
        push->setActive(true);
        push->press();
        press(window, 110, 20);
        QVERIFY(!push->isActive());
        release(window, 400, 400);
        QVERIFY(push->isActive());
        QVERIFY(push->isPressed());

        // Pressing one button and letting go over another is no click of either.
        press(window, 20, 20);
        release(window, 110, 20);
        QVERIFY(!button->isPressed());
        QVERIFY(push->isActive());
        QVERIFY(window.messages.empty());

        // A face the owner shows pressed stays so through clicks elsewhere.
        button->press();
        click(window, 300, 300);
        click(window, 110, 20);
        QVERIFY(button->isPressed());
    }

    void aPushButtonSendsOneMessageGoingDownAndAnotherComingUp() {
        RecordingWindow window;
        auto* push = window.createControl<Win32_WindowlessPushButton>(100, 10, 55, 60, 102, false);
        push->setClickMessage(kClick);
        push->setReleaseMessage(kRelease);

        press(window, 120, 30);
        deliver();
        QVERIFY(window.messages.empty());  // nothing until the mouse comes up
        release(window, 120, 30);
        QCOMPARE(window.messages, (std::vector<Message>{{kClick, 102, 0}}));
        QVERIFY(push->isActive() && push->isPressed());

        click(window, 130, 40);
        QCOMPARE(window.messages, (std::vector<Message>{{kClick, 102, 0}, {kRelease, 102, 0}}));
        QVERIFY(!push->isActive() && !push->isPressed());

        // Made active by the owner (playback started elsewhere): the next click releases it.
        push->setActive(true);
        push->press();
        click(window, 130, 40);
        QCOMPARE(window.messages.back(), (Message{kRelease, 102, 0}));
        QVERIFY(!push->isActive() && !push->isPressed());
    }

    // A 638-second session on the 638-pixel track: one pixel per second.
    void aClickOnTheSliderTrackPostsItsTime() {
        RecordingWindow window;
        auto* slider = window.createControl<Win32_WindowlessTimeSlider>(kSliderX, kSliderY, 657, 52,
                                                                        106, false);
        QCOMPARE(slider->trackLeft(), kTrackLeft);
        slider->setSessionRange(1000.0, 1638.0);
        click(window, kTrackLeft + 100, kTrackY);
        QCOMPARE(window.messages, (std::vector<Message>{{1280, 106, 1100}}));
        // Outside the track (the label band) nothing is posted.
        click(window, kTrackLeft + 100, kSliderY + 45);
        click(window, kSliderX + 2, kTrackY);
        QCOMPARE(window.messages.size(), size_t{1});
        // Without a session the slider posts nothing.
        slider->clearSession();
        click(window, kTrackLeft + 100, kTrackY);
        QCOMPARE(window.messages.size(), size_t{1});
        QCOMPARE(slider->currentLabelText(), std::string("--:--:--"));
    }

    void theSliderPositionIsClampedAndMovesByWholeSeconds() {
        Win32_WindowlessTimeSlider slider(nullptr, kSliderX, kSliderY, 657, 52, 106, false);
        slider.setSessionRange(1709647628.0, 1709647628.0 + 638.0);
        slider.setPosition(1709640000.0);  // before the start
        QCOMPARE(slider.position(), 1709647628.0);
        QCOMPARE(slider.thumbPixel(), kTrackLeft);
        QCOMPARE(slider.currentLabelText(), std::string("02:07:08 PM"));
        slider.setPosition(1709647628.6);  // the same whole second: no change
        QCOMPARE(slider.position(), 1709647628.0);
        slider.setPosition(1709647629.2);
        QCOMPARE(slider.position(), 1709647629.2);
        QCOMPARE(slider.thumbPixel(), kTrackLeft + 1);
        QCOMPARE(slider.currentLabelText(), std::string("02:07:09 PM"));
        slider.setPosition(1.0e10);  // after the end
        QCOMPARE(slider.position(), 1709647628.0 + 638.0);
        QCOMPARE(slider.thumbPixel(), 657);
        slider.setOffsetHours(-5);
        QCOMPARE(slider.startLabelText(), std::string("09:07:08 AM"));
        QCOMPARE(slider.endLabelText(), std::string("09:17:46 AM"));
    }

    // Two pixels per second: a drag lands on the nearest whole second, halves away from zero.
    void draggingTheThumbShowsAndPostsRoundedTimes() {
        RecordingWindow window;
        auto* slider = window.createControl<Win32_WindowlessTimeSlider>(kSliderX, kSliderY, 657, 52,
                                                                        106, false);
        slider->setSessionRange(2000.0, 2319.0);
        press(window, kTrackLeft, kThumbY);
        QCOMPARE(slider->dragItem(), Win32_WindowlessTimeSlider::DragItem::Thumb);
        move(window, kTrackLeft + 3, kThumbY + 40);  // 1.5 s: shown as 2 s
        QCOMPARE(slider->thumbPixel(), kTrackLeft + 3);
        QCOMPARE(slider->currentLabelText(), std::string("12:33:22 AM"));  // 2002 s
        // Positions arriving from the player do not take the thumb from the user.
        slider->setPosition(2100.0);
        QCOMPARE(slider->thumbPixel(), kTrackLeft + 3);
        move(window, -50, kThumbY);  // clamped to the track's left end
        QCOMPARE(slider->thumbPixel(), kTrackLeft);
        release(window, kTrackLeft + 3, kTrackY);
        QCOMPARE(window.messages, (std::vector<Message>{{1280, 106, 2002}}));
        QVERIFY(!slider->isDragging());
        QCOMPARE(slider->thumbPixel(), slider->pixelForTime(2100.0));
    }

    void selectionMarkersAreDraggedAndNeverCross() {
        RecordingWindow window;
        auto* slider = window.createControl<Win32_WindowlessTimeSlider>(kSliderX, kSliderY, 657, 52,
                                                                        106, false);
        slider->setSessionRange(1000.0, 1638.0);
        QVERIFY(!slider->hasSelection());
        // Both markers sit at the start: a press on them takes out the end marker.
        press(window, kTrackLeft, kMarkerY);
        QCOMPARE(slider->dragItem(), Win32_WindowlessTimeSlider::DragItem::SelectionEnd);
        move(window, kTrackLeft + 200, kMarkerY);
        release(window, kTrackLeft + 200, kMarkerY);
        QVERIFY(slider->hasSelection());
        QCOMPARE(slider->selectionStart(), 1000.0);
        QCOMPARE(slider->selectionEnd(), 1200.0);

        press(window, kTrackLeft, kMarkerY);
        QCOMPARE(slider->dragItem(), Win32_WindowlessTimeSlider::DragItem::SelectionStart);
        move(window, kTrackLeft + 50, kMarkerY);
        QCOMPARE(slider->selectionStart(), 1050.0);
        move(window, kTrackLeft + 400, kMarkerY);  // cannot pass the end marker
        QCOMPARE(slider->selectionStart(), 1200.0);
        // Esc puts the marker back where the drag began; the release then moves nothing.
        QVERIFY(slider->keyPress(Qt::Key_Escape, QString(), false));
        QVERIFY(!slider->isDragging());
        QCOMPARE(slider->selectionStart(), 1000.0);
        release(window, kTrackLeft + 400, kMarkerY);
        QCOMPARE(slider->selectionStart(), 1000.0);
        QCOMPARE(slider->selectionEnd(), 1200.0);
        // Esc without a drag clears the selection.
        QVERIFY(slider->keyPress(Qt::Key_Escape, QString(), false));
        QVERIFY(!slider->hasSelection());
    }

    void sliderKeysStepMarkAndHold() {
        RecordingWindow window;
        auto* slider = window.createControl<Win32_WindowlessTimeSlider>(kSliderX, kSliderY, 657, 52,
                                                                        106, false);
        slider->setSessionRange(1000.0, 1638.0);
        slider->setPosition(1100.0);
        QVERIFY(slider->keyPress(Qt::Key_Right, QString(), false));
        QVERIFY(slider->keyPress(Qt::Key_Left, QString(), false));
        QVERIFY(slider->keyPress(Qt::Key_Left, QString(), false));
        QVERIFY(slider->keyPress(Qt::Key_Up, QString(), false));
        QVERIFY(slider->keyPress(Qt::Key_Up, QString(), true));  // a repeat: no second hold
        QVERIFY(slider->keyPress(Qt::Key_Down, QString(), false));
        deliver();
        QCOMPARE(window.messages,
                 (std::vector<Message>{{1280, 106, 1101},
                                       {1280, 106, 1100},
                                       {1280, 106, 1099},
                                       {Win32_WindowMessage::kFastForwardPressed, 106, 0},
                                       {Win32_WindowMessage::kRewindPressed, 106, 0}}));
        QVERIFY(slider->keyPress(0, QStringLiteral("["), false));
        slider->setPosition(1300.0);
        QVERIFY(slider->keyPress(0, QStringLiteral("]"), false));
        QCOMPARE(slider->selectionStart(), 1099.0);
        QCOMPARE(slider->selectionEnd(), 1300.0);
        QVERIFY(!slider->keyPress(0, QStringLiteral("x"), false));
    }

    // Strip at (444, 324), 24 x 140: track 325 .. 427, knob travel 325 .. 420.
    void theChannelKnobSetsGainAndPostsTheLevel() {
        RecordingWindow window;
        auto* channel = window.createControl<Win32_AudioChannelControl>(
            444, 324, 24, 140, 200, false, Win32_WindowMessage::kChannelLevelSet);
        QCOMPARE(channel->trackTop(), 325);
        QCOMPARE(channel->trackBottom(), 427);
        QCOMPARE(channel->gain(), 1.0f);

        press(window, 450, 328);
        QVERIFY(channel->isDragging());
        QCOMPARE(channel->gain(), 2.0f);
        release(window, 450, 328);
        QCOMPARE(window.messages,
                 (std::vector<Message>{{Win32_WindowMessage::kChannelLevelSet, 200, 100}}));

        press(window, 450, 400);
        move(window, 450, 900);  // the gain follows the knob during the drag
        QCOMPARE(channel->knobPosition(), 420);
        QCOMPARE(channel->gain(), 0.0f);
        release(window, 700, 900);  // let go far outside: the owner still hears of it
        QCOMPARE(window.messages.back(),
                 (Message{Win32_WindowMessage::kChannelLevelSet, 200, 6}));  // 100 - 95/102
        QVERIFY(!channel->isDragging());

        channel->setGain(1.5f);
        QCOMPARE(channel->gain(), 1.5f);
        QCOMPARE(channel->knobPosition(), 325 + 24);  // a quarter of the 95-pixel travel
    }

    void theMuteButtonTogglesAndTellsTheOwner() {
        RecordingWindow window;
        auto* channel = window.createControl<Win32_AudioChannelControl>(
            444, 324, 24, 140, 201, false, Win32_WindowMessage::kChannelLevelSet);
        const QPoint mute = channel->muteButton().rect().center();
        QVERIFY(!channel->trackRect().contains(mute));
        click(window, mute.x(), mute.y());
        QVERIFY(channel->isMuted());
        QVERIFY(channel->muteButton().isPressed());
        click(window, mute.x(), mute.y());
        QVERIFY(!channel->isMuted());
        QCOMPARE(window.messages,
                 (std::vector<Message>{{Win32_WindowMessage::kChannelMuteChanged, 201, 1},
                                       {Win32_WindowMessage::kChannelMuteChanged, 201, 0}}));
        // A press on the button let go elsewhere changes nothing.
        press(window, mute.x(), mute.y());
        release(window, 10, 10);
        QVERIFY(!channel->isMuted());
        QCOMPARE(window.messages.size(), size_t{2});
        // Muting by the owner posts nothing.
        channel->mute();
        QVERIFY(channel->isMuted() && channel->muteButton().isPressed());
        deliver();
        QCOMPARE(window.messages.size(), size_t{2});

        channel->setPowerLevel(90.0);
        QCOMPARE(channel->meterImageIndex(), 4);
        channel->setPowerLevel(90.1);
        QCOMPARE(channel->meterImageIndex(), 5);
        channel->setPowerLevel(-20.0);
        QCOMPARE(channel->powerLevel(), 0.0);
    }

    void controlsAreFoundByIdInListOrderAndRemoved() {
        RecordingWindow first;
        RecordingWindow second;
        QCOMPARE(Win32_BasicWindow::mainWindow(), &first);
        auto* a = first.createControl<Win32_WindowlessTextDisplay>(0, 0, 10, 10, 7, false);
        auto* b = first.createControl<Win32_WindowlessTextDisplay>(0, 20, 10, 10, 7, false);
        QCOMPARE(first.findControl(7), a);
        QVERIFY(first.findControl(8) == nullptr);
        QVERIFY(first.removeControl(a));
        QVERIFY(!first.removeControl(a));
        QCOMPARE(first.findControl(7), b);
        QCOMPARE(first.controls().size(), size_t{1});

        // Other events are not window messages; numbers outside the user range are not posted.
        QEvent plain(static_cast<QEvent::Type>(QEvent::User + 5));
        QVERIFY(Win32_WindowMessage::fromEvent(&plain) == nullptr);
        QVERIFY(!Win32_WindowMessage::post(&first, 500, 1, 2));
        QVERIFY(!Win32_WindowMessage::post(nullptr, 1280, 1, 2));
        QVERIFY(Win32_WindowMessage::post(&first, 1058, -1, 1LL << 40));
        deliver();
        QCOMPARE(first.messages, (std::vector<Message>{{1058, -1, 1LL << 40}}));
    }

    // The window's size and background come from the program's archive; without the image the
    // window keeps its fallback size and still paints.
    void theBackgroundComesFromTheArchive() {
        QImage picture(40, 30, QImage::Format_ARGB32);
        picture.fill(QColor(200, 100, 50));
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        QVERIFY(picture.save(&buffer, "PNG"));
        QTemporaryDir directory;
        const std::string program = directory.filePath("program").toStdString();
        QFile file(QString::fromStdString(program));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("program bytes");
        file.close();
        QVERIFY(KorvalisResourceArchiveWriter::append(
            program, {{"Graphics\\Back.png", std::vector<uint8_t>(png.begin(), png.end())}}));
        QVERIFY(KorvalisResourceArchiveSingleton::useArchiveFile(program));

        Win32_BasicWindow with(QStringLiteral("with"), "Graphics\\Back.png");
        QVERIFY(with.hasBackgroundImage());
        QCOMPARE(with.canvas()->size(), QSize(40, 30));
        QCOMPARE(with.canvas()->grab().toImage().pixelColor(20, 15), QColor(200, 100, 50));

        Win32_BasicWindow without(QStringLiteral("without"), "Graphics/Back.png");
        QVERIFY(!without.hasBackgroundImage());
        QCOMPARE(without.canvas()->size(), QSize(677, 476));
        QVERIFY(without.canvas()->grab().toImage().pixelColor(20, 15) != QColor(200, 100, 50));
    }

    // Painted at a device pixel ratio of 2: the slider's markers, the channel's bar and knob
    // and a button's face land on the doubled pixels.
    void controlsDrawAtDevicePixelRatioTwo() {
        RecordingWindow window;
        auto* slider = window.createControl<Win32_WindowlessTimeSlider>(kSliderX, kSliderY, 657, 52,
                                                                        106, false);
        slider->setSessionRange(1000.0, 1638.0);
        slider->setSelection(1100.0, 1300.0);
        slider->setRecordedSegments({{1000.0, 1200.0}, {1250.0, 1638.0}});
        slider->setSealedRanges({{1400.0, 1500.0}});
        slider->setPosition(1320.0);
        auto* channel = window.createControl<Win32_AudioChannelControl>(444, 324, 24, 140, 200,
                                                                        false, 0, true, true);
        channel->setPowerLevel(100.0);
        auto* button = window.createControl<Win32_WindowlessButton>(10, 322, 55, 60, 100, true);
        QImage face(55, 60, QImage::Format_ARGB32);
        face.fill(QColor(0, 200, 0));
        button->setImages(face, face);
        window.createControl<Win32_WindowlessTextDisplay>(12, 6, 300, 18, 300, false)
            ->setText(std::string("Loading session ..."));

        QImage image(window.canvas()->size() * 2, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(2.0);
        image.fill(Qt::white);
        window.canvas()->render(&image);

        const int startMarker = slider->selectionStartPixel();
        QCOMPARE(startMarker, kTrackLeft + 100);
        QCOMPARE(image.pixelColor(startMarker * 2, (kSliderY + 4) * 2), QColor(255, 0, 0));
        // The knob, blue, at its place on the right of the track.
        QCOMPARE(image.pixelColor((444 + 24) * 2 - 3, (channel->knobPosition() + 3) * 2 + 1),
                 QColor(0x28, 0x64, 0xFF));
        // The level bar in the middle of the meter area, over the dark track.
        const QColor bar = image.pixelColor((444 + 8) * 2, (channel->trackBottom() - 10) * 2);
        QVERIFY2(bar.blue() > 120 && bar.red() < 110, qPrintable(bar.name()));
        // The face stretched over the button; its 1-pixel frame is two device pixels wide.
        QCOMPARE(image.pixelColor(30 * 2, 350 * 2), QColor(0, 200, 0));
        QVERIFY(image.pixelColor(10 * 2, 350 * 2) != QColor(0, 200, 0));
        QVERIFY(image.pixelColor(10 * 2 + 1, 350 * 2) != QColor(0, 200, 0));
        // The recorded, sealed and empty parts of the track differ.
        const int y = (kSliderY + 16) * 2;
        const QColor recorded = image.pixelColor(slider->pixelForTime(1050.0) * 2, y);
        const QColor gap = image.pixelColor(slider->pixelForTime(1225.0) * 2, y);
        const QColor sealed = image.pixelColor(slider->pixelForTime(1450.0) * 2 + 1, y);
        QVERIFY(recorded != gap);
        QVERIFY(sealed != recorded);
        QVERIFY(sealed != gap);
        // Text was drawn somewhere in the status line.
        bool text = false;
        for (int x = 12 * 2; x < 200 * 2 && !text; ++x) {
            for (int row = 6 * 2; row < 24 * 2 && !text; ++row) {
                text = image.pixelColor(x, row).lightness() > 150;
            }
        }
        QVERIFY(text);
    }
};

QTEST_MAIN(WindowlessControlsTest)
#include "WindowlessControlsTest.moc"
