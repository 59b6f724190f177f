#include "Win32_WindowlessTimeSlider.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "ClockTimeText.h"
#include "ControlGeometry.h"
#include "Win32_WindowMessage.h"
#include "Win32_WindowlessTextDisplay.h"

namespace {

// Geometry inside the control's rectangle (logical pixels).
constexpr int kTrackInset = 9;    // track ends from the control's sides (half a marker + 1)
constexpr int kMarkerWidth = 16;  // selection markers: triangles pointing down at the track
constexpr int kMarkerHeight = 10;
constexpr int kTrackTop = 11;  // the track band
constexpr int kTrackHeight = 10;
constexpr int kThumbWidth = 14;  // the thumb: a triangle pointing up at the track
constexpr int kThumbHeight = 10;
constexpr int kLabelTop = 34;
constexpr int kLabelHeight = 16;
constexpr int kLabelWidth = 84;
constexpr int kLabelPixelSize = 11;

const QColor kMarkerColour = QColor::fromRgba(0xFFFF0000u);
const QColor kThumbColour = QColor::fromRgba(0xFF282828u);
const QColor kThumbOutline(0xD8, 0xDE, 0xE6);
const QColor kTrackFill(0x14, 0x17, 0x1B);
const QColor kEdgeDark(0x07, 0x08, 0x0A);
const QColor kEdgeLight(0x4C, 0x55, 0x60);
const QColor kRecordedTop(0x4F, 0xB3, 0xD9);
const QColor kRecordedBottom(0x2A, 0x78, 0x9E);
const QColor kSealedFill(0x8A, 0x5C, 0x1E);
const QColor kSealedHatch(0xF0, 0xB2, 0x4A);
const QColor kSelectionBand = QColor::fromRgba(0x50FF3030u);
const QColor kLabelColour(0xC9, 0xD1, 0xDB);
const QColor kCurrentLabelColour(0xFF, 0xFF, 0xFF);

}  // namespace

Win32_WindowlessTimeSlider::Win32_WindowlessTimeSlider(Win32_BasicWindow* owner, int x, int y,
                                                       int width, int height, int id, bool border)
    : Win32_WindowlessBase(owner, x, y, width, height, id, border),
      releaseMessage_(Win32_WindowMessage::kTimeSliderReleased),
      startLabel_(std::make_unique<Win32_WindowlessTextDisplay>(owner, 0, 0, 1, 1, id, false)),
      endLabel_(std::make_unique<Win32_WindowlessTextDisplay>(owner, 0, 0, 1, 1, id, false)),
      currentLabel_(std::make_unique<Win32_WindowlessTextDisplay>(owner, 0, 0, 1, 1, id, false)) {
    startLabel_->setStyle(kLabelPixelSize, false, kLabelColour, Qt::AlignLeft | Qt::AlignVCenter);
    endLabel_->setStyle(kLabelPixelSize, false, kLabelColour, Qt::AlignRight | Qt::AlignVCenter);
    currentLabel_->setStyle(kLabelPixelSize, true, kCurrentLabelColour, Qt::AlignCenter);
    clearSession();
}

Win32_WindowlessTimeSlider::~Win32_WindowlessTimeSlider() = default;

int Win32_WindowlessTimeSlider::trackLeft() const {
    return x() + kTrackInset;
}

int Win32_WindowlessTimeSlider::trackRight() const {
    return std::max(trackLeft(), x() + width() - 1 - kTrackInset);
}

QRect Win32_WindowlessTimeSlider::trackRect() const {
    return QRect(trackLeft(), y() + kTrackTop, trackRight() - trackLeft() + 1, kTrackHeight);
}

QRect Win32_WindowlessTimeSlider::thumbHitRect() const {
    return QRect(thumbPixel_ - kThumbWidth / 2 - 1, y() + kTrackTop, kThumbWidth + 3,
                 kTrackHeight + kThumbHeight + 2);
}

QRect Win32_WindowlessTimeSlider::markerHitRect(int pixel) const {
    return QRect(pixel - kMarkerWidth / 2, y(), kMarkerWidth + 1, kTrackTop);
}

int Win32_WindowlessTimeSlider::pixelForTime(double t) const {
    return ControlGeometry::sliderPixelForTime(t, sessionStart_, sessionEnd_, trackLeft(),
                                               trackRight());
}

double Win32_WindowlessTimeSlider::timeForPixel(int pixel) const {
    return ControlGeometry::sliderTimeForPixel(pixel, sessionStart_, sessionEnd_, trackLeft(),
                                               trackRight());
}

void Win32_WindowlessTimeSlider::setRect(int x, int y, int width, int height) {
    Win32_WindowlessBase::setRect(x, y, width, height);
    recomputePixels();
    layoutLabels();
}

void Win32_WindowlessTimeSlider::setSessionRange(double start, double end) {
    sessionStart_ = start;
    sessionEnd_ = std::max(start, end);
    hasSession_ = true;
    position_ = ControlGeometry::clampTime(position_, sessionStart_, sessionEnd_);
    selectionStart_ = ControlGeometry::clampTime(selectionStart_, sessionStart_, sessionEnd_);
    selectionEnd_ = ControlGeometry::clampTime(selectionEnd_, selectionStart_, sessionEnd_);
    dragItem_ = DragItem::None;
    recomputePixels();
    rebuildLabels();
    invalidate();
}

void Win32_WindowlessTimeSlider::clearSession() {
    hasSession_ = false;
    sessionStart_ = sessionEnd_ = position_ = 0.0;
    selectionStart_ = selectionEnd_ = 0.0;
    segments_.clear();
    sealed_.clear();
    dragItem_ = DragItem::None;
    recomputePixels();
    rebuildLabels();
    invalidate();
}

void Win32_WindowlessTimeSlider::setPosition(double seconds) {
    if (!hasSession_ || !std::isfinite(seconds)) {
        return;
    }
    const double clamped = ControlGeometry::clampTime(seconds, sessionStart_, sessionEnd_);
    if (std::floor(clamped) == std::floor(position_)) {
        return;  // same whole second: nothing on screen would change
    }
    position_ = clamped;
    if (dragItem_ != DragItem::Thumb) {
        thumbPixel_ = pixelForTime(position_);
    }
    rebuildLabels();
    invalidate();
}

void Win32_WindowlessTimeSlider::setSelection(double start, double end) {
    if (!hasSession_) {
        return;
    }
    selectionStart_ = ControlGeometry::clampTime(std::min(start, end), sessionStart_, sessionEnd_);
    selectionEnd_ = ControlGeometry::clampTime(std::max(start, end), selectionStart_, sessionEnd_);
    recomputePixels();
    invalidate();
}

void Win32_WindowlessTimeSlider::clearSelection() {
    selectionStart_ = selectionEnd_ = sessionStart_;
    recomputePixels();
    invalidate();
}

void Win32_WindowlessTimeSlider::setRecordedSegments(std::vector<Segment> segments) {
    segments_ = std::move(segments);
    invalidate();
}

void Win32_WindowlessTimeSlider::setSealedRanges(std::vector<Segment> ranges) {
    sealed_ = std::move(ranges);
    invalidate();
}

void Win32_WindowlessTimeSlider::setOffsetHours(int hours) {
    offsetHours_ = hours;
    rebuildLabels();
    invalidate();
}

void Win32_WindowlessTimeSlider::setDragging(DragItem item) {
    dragItem_ = hasSession_ ? item : DragItem::None;
    switch (dragItem_) {
        case DragItem::Thumb:
            dragOrigin_ = position_;
            break;
        case DragItem::SelectionStart:
            dragOrigin_ = selectionStart_;
            break;
        case DragItem::SelectionEnd:
            dragOrigin_ = selectionEnd_;
            break;
        case DragItem::None:
            break;
    }
}

void Win32_WindowlessTimeSlider::clearDragging() {
    dragItem_ = DragItem::None;
    recomputePixels();
    rebuildLabels();
    invalidate();
}

void Win32_WindowlessTimeSlider::recomputePixels() {
    if (dragItem_ != DragItem::Thumb) {
        thumbPixel_ = pixelForTime(position_);
    }
    if (dragItem_ != DragItem::SelectionStart) {
        selectionStartPixel_ = pixelForTime(selectionStart_);
    }
    if (dragItem_ != DragItem::SelectionEnd) {
        selectionEndPixel_ = pixelForTime(selectionEnd_);
    }
}

std::string Win32_WindowlessTimeSlider::startLabelText() const {
    return startLabel_->textUtf8();
}

std::string Win32_WindowlessTimeSlider::endLabelText() const {
    return endLabel_->textUtf8();
}

std::string Win32_WindowlessTimeSlider::currentLabelText() const {
    return currentLabel_->textUtf8();
}

// The current label tells the time of what is being dragged, else the position.
void Win32_WindowlessTimeSlider::rebuildLabels() {
    if (!hasSession_) {
        startLabel_->setText(std::string(ClockTimeText::kNoTime));
        endLabel_->setText(std::string(ClockTimeText::kNoTime));
        currentLabel_->setText(std::string(ClockTimeText::kNoTime));
    } else {
        startLabel_->setText(ClockTimeText::twelveHour(sessionStart_, offsetHours_));
        endLabel_->setText(ClockTimeText::twelveHour(sessionEnd_, offsetHours_));
        double shown = position_;
        switch (dragItem_) {
            case DragItem::Thumb:
                shown = timeForPixel(thumbPixel_);
                break;
            case DragItem::SelectionStart:
                shown = selectionStart_;
                break;
            case DragItem::SelectionEnd:
                shown = selectionEnd_;
                break;
            case DragItem::None:
                break;
        }
        currentLabel_->setText(ClockTimeText::twelveHour(shown, offsetHours_));
    }
    layoutLabels();
}

void Win32_WindowlessTimeSlider::layoutLabels() {
    const int top = y() + kLabelTop;
    startLabel_->setRect(x(), top, kLabelWidth, kLabelHeight);
    endLabel_->setRect(x() + width() - kLabelWidth, top, kLabelWidth, kLabelHeight);
    int anchor = thumbPixel_;
    if (dragItem_ == DragItem::SelectionStart) {
        anchor = selectionStartPixel_;
    } else if (dragItem_ == DragItem::SelectionEnd) {
        anchor = selectionEndPixel_;
    }
    const int left = std::clamp(anchor - kLabelWidth / 2, x(), x() + width() - kLabelWidth);
    currentLabel_->setRect(left, top, kLabelWidth, kLabelHeight);
}

void Win32_WindowlessTimeSlider::mouseDown(int x, int y) {
    if (!hasSession_ || !hitTest(x, y)) {
        return;
    }
    if (thumbHitRect().contains(x, y)) {
        setDragging(DragItem::Thumb);
    } else {
        const bool onStart = markerHitRect(selectionStartPixel_).contains(x, y);
        const bool onEnd = markerHitRect(selectionEndPixel_).contains(x, y);
        if (onStart && onEnd) {
            // Markers together: the press's side says which one comes out.
            setDragging(x >= selectionStartPixel_ ? DragItem::SelectionEnd
                                                  : DragItem::SelectionStart);
        } else if (onStart) {
            setDragging(DragItem::SelectionStart);
        } else if (onEnd) {
            setDragging(DragItem::SelectionEnd);
        }
    }
    if (isDragging()) {
        dragTo(x);
    }
}

void Win32_WindowlessTimeSlider::mouseMove(int x, int) {
    if (isDragging()) {
        dragTo(x);
    }
}

void Win32_WindowlessTimeSlider::dragTo(int x) {
    const int pixel = std::clamp(x, trackLeft(), trackRight());
    const double t = timeForPixel(pixel);
    switch (dragItem_) {
        case DragItem::Thumb:
            thumbPixel_ = pixel;
            break;
        case DragItem::SelectionStart:
            selectionStart_ = std::min(t, selectionEnd_);
            selectionStartPixel_ = std::min(pixel, selectionEndPixel_);
            break;
        case DragItem::SelectionEnd:
            selectionEnd_ = std::max(t, selectionStart_);
            selectionEndPixel_ = std::max(pixel, selectionStartPixel_);
            break;
        case DragItem::None:
            return;
    }
    rebuildLabels();
    invalidate();
}

void Win32_WindowlessTimeSlider::mouseUp(int x, int y) {
    // The track's band reaches from the markers' tops to the thumb's foot; not the labels.
    const bool inTrack = hasSession_ && x >= trackLeft() && x <= trackRight() && y >= this->y() &&
                         y < this->y() + kTrackTop + kTrackHeight + kThumbHeight + 2;
    if (isDragging()) {
        dragTo(x);
    }
    const bool wasDragging = isDragging();
    dragItem_ = DragItem::None;
    if (inTrack) {
        const double t = timeForPixel(x);
        postToOwner(releaseMessage_, getId(), static_cast<intptr_t>(std::floor(t)));
    }
    if (wasDragging) {
        recomputePixels();
        rebuildLabels();
        invalidate();
    }
}

void Win32_WindowlessTimeSlider::stepPosition(double seconds) {
    const double target =
        ControlGeometry::clampTime(std::floor(position_) + seconds, sessionStart_, sessionEnd_);
    setPosition(target);
    postToOwner(releaseMessage_, getId(), static_cast<intptr_t>(std::floor(target)));
}

bool Win32_WindowlessTimeSlider::keyPress(int key, const QString& text, bool autoRepeat) {
    switch (key) {
        case Qt::Key_Escape:
            if (isDragging()) {
                // Put the dragged item back where its drag began.
                if (dragItem_ == DragItem::SelectionStart) {
                    selectionStart_ = dragOrigin_;
                } else if (dragItem_ == DragItem::SelectionEnd) {
                    selectionEnd_ = dragOrigin_;
                }
                clearDragging();
            } else if (hasSession_) {
                clearSelection();
            }
            return true;
        case Qt::Key_Left:
        case Qt::Key_Right:
            if (!hasSession_ || isDragging()) {
                return hasSession_;
            }
            stepPosition(key == Qt::Key_Left ? -1.0 : 1.0);
            return true;
        case Qt::Key_Up:
        case Qt::Key_Down:
            if (!autoRepeat) {
                postToOwner(key == Qt::Key_Up ? Win32_WindowMessage::kFastForwardPressed
                                              : Win32_WindowMessage::kRewindPressed,
                            getId(), 0);
            }
            return true;
        default:
            break;
    }
    if (hasSession_ && !isDragging() &&
        (text == QLatin1String("[") || text == QLatin1String("]"))) {
        if (text == QLatin1String("[")) {
            setSelection(position_, std::max(position_, selectionEnd_));
        } else {
            setSelection(std::min(position_, selectionStart_), position_);
        }
        return true;
    }
    return false;
}

void Win32_WindowlessTimeSlider::draw(QPainter& painter) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    drawTrack(painter);
    if (hasSession_) {
        drawMarkersAndThumb(painter);
    }
    drawLabels(painter);
    painter.restore();
    drawBorder(painter);
}

void Win32_WindowlessTimeSlider::drawTrack(QPainter& painter) const {
    const QRectF track = QRectF(trackRect());
    painter.fillRect(track, kTrackFill);
    if (hasSession_) {
        const QRectF inner = track.adjusted(1, 1, -1, -1);
        QLinearGradient recorded(inner.topLeft(), inner.bottomLeft());
        recorded.setColorAt(0.0, kRecordedTop);
        recorded.setColorAt(1.0, kRecordedBottom);
        const auto span = [&](const Segment& segment) {
            const int left = pixelForTime(segment.start);
            const int right = std::max(left + 1, pixelForTime(segment.end));
            return QRectF(left, inner.top(), right - left, inner.height()).intersected(inner);
        };
        for (const Segment& segment : segments_) {
            painter.fillRect(span(segment), recorded);
        }
        // Sealed ranges: amber with a hatch, so they stand apart from playable audio.
        for (const Segment& segment : sealed_) {
            const QRectF area = span(segment);
            painter.fillRect(area, kSealedFill);
            painter.fillRect(area, QBrush(kSealedHatch, Qt::BDiagPattern));
        }
        if (hasSelection()) {
            const QRectF band(selectionStartPixel_, track.top() - 2.0,
                              selectionEndPixel_ - selectionStartPixel_, track.height() + 4.0);
            painter.fillRect(band, kSelectionBand);
        }
    }
    // Sunken edge: dark above and to the left, light below and to the right.
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    const QRect edge = trackRect();
    painter.setPen(kEdgeDark);
    painter.drawLine(edge.topLeft(), edge.topRight());
    painter.drawLine(edge.topLeft(), edge.bottomLeft());
    painter.setPen(kEdgeLight);
    painter.drawLine(edge.bottomLeft(), edge.bottomRight());
    painter.drawLine(edge.topRight(), edge.bottomRight());
    painter.restore();
}

void Win32_WindowlessTimeSlider::drawMarkersAndThumb(QPainter& painter) const {
    const double tip = y() + kTrackTop;
    const auto marker = [&](int pixel) {
        QPainterPath path;
        path.moveTo(pixel - kMarkerWidth / 2.0, tip - kMarkerHeight);
        path.lineTo(pixel + kMarkerWidth / 2.0, tip - kMarkerHeight);
        path.lineTo(pixel, tip);
        path.closeSubpath();
        painter.fillPath(path, kMarkerColour);
    };
    marker(selectionStartPixel_);
    marker(selectionEndPixel_);

    const double thumbTip = y() + kTrackTop + kTrackHeight;
    QPainterPath thumb;
    thumb.moveTo(thumbPixel_, thumbTip);
    thumb.lineTo(thumbPixel_ + kThumbWidth / 2.0, thumbTip + kThumbHeight);
    thumb.lineTo(thumbPixel_ - kThumbWidth / 2.0, thumbTip + kThumbHeight);
    thumb.closeSubpath();
    painter.setPen(QPen(kThumbOutline, 1.0));
    painter.setBrush(kThumbColour);
    painter.drawPath(thumb);
    // A hairline through the track shows the exact place.
    painter.setPen(QPen(kThumbOutline, 1.0));
    painter.drawLine(QPointF(thumbPixel_, y() + kTrackTop + 1.0), QPointF(thumbPixel_, thumbTip));
}

void Win32_WindowlessTimeSlider::drawLabels(QPainter& painter) {
    const QRect current = currentLabel_->rect();
    // The moving label wins where it would cover a fixed one.
    if (!hasSession_ || !current.intersects(startLabel_->rect().adjusted(0, 0, 4, 0))) {
        startLabel_->draw(painter);
    }
    if (!hasSession_ || !current.intersects(endLabel_->rect().adjusted(-4, 0, 0, 0))) {
        endLabel_->draw(painter);
    }
    if (hasSession_) {
        currentLabel_->draw(painter);
    }
}
