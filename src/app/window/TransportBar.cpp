#include "TransportBar.h"

#include <QLineEdit>
#include <algorithm>

#include "ClockTimeEntry.h"
#include "ClockTimeText.h"
#include "GalewickCommandIds.h"
#include "GalewickLayout.h"
#include "ResourceNames.h"
#include "Win32_BasicWindow.h"
#include "Win32_WindowMessage.h"
#include "Win32_WindowlessPushButton.h"
#include "Win32_WindowlessTextDisplay.h"
#include "Win32_WindowlessTimeSlider.h"

namespace ids = GalewickCommandIds;
namespace layout = GalewickLayout;

TransportBar::TransportBar(Win32_BasicWindow& window) : QObject(&window), window_(window) {
    // The rewind and fast-forward buttons report press and release: the held step of the jog.
    rewind_ = makePushButton(ids::kRewindButton, ResourceNames::kRewind,
                             ResourceNames::kRewindPressed, Win32_WindowMessage::kRewindPressed,
                             Win32_WindowMessage::kTransportReleased, "<<");
    play_ = makePushButton(ids::kPlayButton, ResourceNames::kPlay, ResourceNames::kPlayPressed,
                           ids::kPlayPressedMessage, ids::kPlayReleasedMessage, ">");
    fastForward_ = makePushButton(
        ids::kFastForwardButton, ResourceNames::kFastForward, ResourceNames::kFastForwardPressed,
        Win32_WindowMessage::kFastForwardPressed, Win32_WindowMessage::kTransportReleased, ">>");
    makeButton(ids::kAnnotatorToggle, ResourceNames::kAnnotatorUp, ResourceNames::kAnnotatorDown,
               ids::kAnnotatorToggleMessage, "A");
    makeButton(ids::kMinimizeButton, ResourceNames::kMinimize, ResourceNames::kMinimizePressed,
               ids::kMinimizeMessage, "_");
    makeButton(ids::kCloseButton, ResourceNames::kClose, ResourceNames::kClosePressed,
               ids::kCloseMessage, "x");
    // The speed frame is a button without a message: it only shows its face.
    makeButton(ids::kSpeedFrame, ResourceNames::kSpeedControlFrame,
               ResourceNames::kSpeedControlFrame, 0, "");

    const layout::Rect& s = layout::kTimeSlider;
    slider_ = window_.createControl<Win32_WindowlessTimeSlider>(s.x, s.y, s.width, s.height,
                                                                ids::kTimeSlider, false);

    const int left = Qt::AlignLeft | Qt::AlignVCenter;
    const int centre = Qt::AlignCenter;
    status_ = makeText(ids::kStatusText, layout::kStatusText.x, layout::kStatusText.y,
                       layout::kStatusText.width, layout::kStatusText.height, 12, false, left);
    clock_ = makeText(ids::kClockText, layout::kClockTime.x, layout::kClockTime.y,
                      layout::kClockTime.width, layout::kClockTime.height, 22, true, left);
    date_ = makeText(ids::kDateText, layout::kClockDate.x, layout::kClockDate.y,
                     layout::kClockDate.width, layout::kClockDate.height, 11, false, left);
    playTime_ = makeText(ids::kPlayTimeText, layout::kPlayTime.x, layout::kPlayTime.y,
                         layout::kPlayTime.width, layout::kPlayTime.height, 11, false, left);
    speedText_ = makeText(ids::kSpeedText, layout::kSpeedText.x, layout::kSpeedText.y,
                          layout::kSpeedText.width, layout::kSpeedText.height, 12, true, centre);
    speedText_->setText(std::string("1.0x"));
    Win32_WindowlessTextDisplay* caption1 = makeText(
        0, layout::kTimeEditCaption1.x, layout::kTimeEditCaption1.y,
        layout::kTimeEditCaption1.width, layout::kTimeEditCaption1.height, 11, false, left);
    caption1->setText(std::string("Selection start"));
    Win32_WindowlessTextDisplay* caption2 = makeText(
        0, layout::kTimeEditCaption2.x, layout::kTimeEditCaption2.y,
        layout::kTimeEditCaption2.width, layout::kTimeEditCaption2.height, 11, false, left);
    caption2->setText(std::string("Selection end"));

    startEdit_ = makeEdit(ids::kSelectionStartEdit, layout::kTimeEdit1.x, layout::kTimeEdit1.y,
                          layout::kTimeEdit1.width, layout::kTimeEdit1.height);
    endEdit_ = makeEdit(ids::kSelectionEndEdit, layout::kTimeEdit2.x, layout::kTimeEdit2.y,
                        layout::kTimeEdit2.width, layout::kTimeEdit2.height);
    connect(startEdit_, &QLineEdit::returnPressed, this,
            [this] { applyTimeEdit(ids::kSelectionStartEdit); });
    connect(endEdit_, &QLineEdit::returnPressed, this,
            [this] { applyTimeEdit(ids::kSelectionEndEdit); });
    setTimeEditsEnabled(false);
    clearSession();
}

TransportBar::~TransportBar() = default;

Win32_WindowlessPushButton* TransportBar::makePushButton(int id, const char* up, const char* down,
                                                         int clickMessage, int releaseMessage,
                                                         const char* fallbackLabel) {
    const layout::Rect r = id == ids::kRewindButton ? layout::kRewindButton
                           : id == ids::kPlayButton ? layout::kPlayButton
                                                    : layout::kFastForwardButton;
    auto* button =
        window_.createControl<Win32_WindowlessPushButton>(r.x, r.y, r.width, r.height, id, false);
    button->loadImages(up, down, clickMessage, releaseMessage);
    button->setFallbackLabel(QString::fromLatin1(fallbackLabel));
    return button;
}

Win32_WindowlessButton* TransportBar::makeButton(int id, const char* up, const char* down,
                                                 int clickMessage, const char* fallbackLabel) {
    const layout::Rect r = id == ids::kAnnotatorToggle  ? layout::kAnnotatorToggle
                           : id == ids::kMinimizeButton ? layout::kMinimizeButton
                           : id == ids::kCloseButton    ? layout::kCloseButton
                                                        : layout::kSpeedFrame;
    auto* button =
        window_.createControl<Win32_WindowlessButton>(r.x, r.y, r.width, r.height, id, false);
    button->loadImages(up, down, clickMessage);
    button->setFallbackLabel(QString::fromLatin1(fallbackLabel));
    return button;
}

Win32_WindowlessTextDisplay* TransportBar::makeText(int id, int x, int y, int width, int height,
                                                    int pixelSize, bool bold, int alignment) {
    auto* text = window_.createControl<Win32_WindowlessTextDisplay>(x, y, width, height, id, false);
    text->setStyle(pixelSize, bold, QColor(0xE6, 0xE9, 0xEE), alignment, true);
    return text;
}

QLineEdit* TransportBar::makeEdit(int id, int x, int y, int width, int height) {
    auto* edit = new QLineEdit(window_.canvas());
    edit->setObjectName(QStringLiteral("edit%1").arg(id));
    edit->setGeometry(x, y, width, height);
    edit->setPlaceholderText(QString::fromLatin1(ClockTimeText::kNoTime));
    edit->setToolTip(QStringLiteral("A clock time of the session, e.g. 09:15:30 or 9:15:30 AM"));
    return edit;
}

Win32_WindowlessPushButton* TransportBar::button(int id) const {
    switch (id) {
        case ids::kRewindButton:
            return rewind_;
        case ids::kPlayButton:
            return play_;
        case ids::kFastForwardButton:
            return fastForward_;
        default:
            return nullptr;
    }
}

void TransportBar::setStatus(const std::string& text) {
    status_->setText(text);
}

void TransportBar::setSession(double start, double end, int offsetSeconds, int year, int month,
                              int day) {
    hasSession_ = true;
    start_ = start;
    end_ = end;
    offsetSeconds_ = offsetSeconds;
    year_ = year;
    month_ = month;
    day_ = day;
    slider_->setOffsetHours(offsetSeconds / 3600);
    slider_->setSessionRange(start, end);
    slider_->setRecordedSegments({{start, end}});
    slider_->setPosition(start);
    date_->setText(ClockTimeText::date(start, offsetSeconds / 3600));
    showPosition(start);
}

void TransportBar::clearSession() {
    hasSession_ = false;
    slider_->clearSession();
    clock_->setText(std::string(ClockTimeText::kNoTime));
    date_->setText(std::string());
    playTime_->setText(std::string());
    startEdit_->clear();
    endEdit_->clear();
    showPlaying(false);
}

std::string TransportBar::clockText(double epochSeconds) const {
    return ClockTimeText::twelveHour(epochSeconds, offsetSeconds_ / 3600);
}

void TransportBar::showPosition(double epochSeconds) {
    if (!hasSession_) {
        return;
    }
    slider_->setPosition(epochSeconds);
    clock_->setText(clockText(epochSeconds));
    playTime_->setText(ClockTimeText::elapsed(std::max(0.0, epochSeconds - start_)));
}

void TransportBar::showPlaying(bool playing) {
    if (playing) {
        play_->press();
    } else {
        play_->release();
    }
    play_->setActive(playing);
    play_->invalidate();
}

void TransportBar::clearTimeTexts() {
    clock_->setText(std::string(ClockTimeText::kNoTime));
    startEdit_->clear();
    endEdit_->clear();
}

void TransportBar::setTimeEditsEnabled(bool enabled) {
    startEdit_->setEnabled(enabled);
    endEdit_->setEnabled(enabled);
}

bool TransportBar::applyTimeEdit(int editId) {
    if (!hasSession_) {
        return false;
    }
    const bool isStart = editId == ids::kSelectionStartEdit;
    const QLineEdit* edit = isStart ? startEdit_ : endEdit_;
    double time = 0.0;
    if (!ClockTimeEntry::epochTimeFromText(edit->text().trimmed().toStdString(), year_, month_,
                                           day_, offsetSeconds_, time)) {
        setStatus("Not a time of day: \"" + edit->text().toStdString() +
                  "\" (for example 09:15:30 or 9:15:30 AM)");
        return false;
    }
    double selectionStart = slider_->hasSelection() ? slider_->selectionStart() : start_;
    double selectionEnd = slider_->hasSelection() ? slider_->selectionEnd() : end_;
    (isStart ? selectionStart : selectionEnd) = time;
    if (selectionStart > selectionEnd) {
        // The end typed lies before the start (or the reverse): the typed end wins, the other
        // moves to it.
        (isStart ? selectionEnd : selectionStart) = time;
    }
    slider_->setSelection(selectionStart, selectionEnd);
    showSelectionInEdits();
    return true;
}

void TransportBar::showSelectionInEdits() {
    if (!hasSession_ || !slider_->hasSelection()) {
        return;
    }
    startEdit_->setText(QString::fromStdString(clockText(slider_->selectionStart())));
    endEdit_->setText(QString::fromStdString(clockText(slider_->selectionEnd())));
}
