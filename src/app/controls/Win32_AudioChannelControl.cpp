#include "Win32_AudioChannelControl.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "ControlGeometry.h"
#include "ResourceImage.h"
#include "ResourceNames.h"
#include "Win32_WindowMessage.h"
#include "Win32_WindowlessButton.h"

namespace {

constexpr int kKnobWidth = 8;       // the knob triangle's width, at the track's right side
constexpr int kCaptionHeight = 13;  // channel caption under the mute button
constexpr int kGap = 3;

const QColor kBarColour = QColor::fromRgba(0xC855AFC0u);
const QColor kRedKnob = QColor::fromRgba(0xFFF02828u);
const QColor kBlueKnob = QColor::fromRgba(0xFF2864FFu);
const QColor kTrackFill(0x12, 0x15, 0x19);
const QColor kTrackEdge(0x3A, 0x42, 0x4C);
const QColor kCaptionColour(0xB8, 0xC1, 0xCC);

}  // namespace

Win32_AudioChannelControl::Win32_AudioChannelControl(Win32_BasicWindow* owner, int x, int y,
                                                     int width, int height, int id, bool border,
                                                     int levelMessage, bool barStyle, bool blueKnob)
    : Win32_WindowlessBase(owner, x, y, width, height, id, border),
      barStyle_(barStyle),
      blueKnob_(blueKnob),
      levelMessage_(levelMessage),
      muteMessage_(Win32_WindowMessage::kChannelMuteChanged),
      muteButton_(std::make_unique<Win32_WindowlessButton>(owner, x, y, kMuteButtonSize,
                                                           kMuteButtonSize, id, false)) {
    muteButton_->setFallbackLabel(QStringLiteral("M"));
    layoutParts();
    // Unity gain, with the knob at the place nearest to it.
    knob_ =
        ControlGeometry::knobForGain(1.0f, kGainMinimum, kGainMaximum, trackTop(), trackBottom());
}

Win32_AudioChannelControl::~Win32_AudioChannelControl() = default;

// The track takes the top of the control, less the mute button and the caption below it.
int Win32_AudioChannelControl::trackTop() const {
    return y() + 1;
}

int Win32_AudioChannelControl::trackBottom() const {
    const int bottom = y() + height() - kCaptionHeight - kMuteButtonSize - 2 * kGap;
    return std::max(trackTop() + ControlGeometry::kKnobHeight + 1, bottom);
}

QRect Win32_AudioChannelControl::trackRect() const {
    return QRect(x(), trackTop(), width(), trackBottom() - trackTop());
}

void Win32_AudioChannelControl::layoutParts() {
    const int buttonX = x() + (width() - kMuteButtonSize) / 2;
    muteButton_->setRect(buttonX, trackBottom() + kGap, kMuteButtonSize, kMuteButtonSize);
}

void Win32_AudioChannelControl::setRect(int x, int y, int width, int height) {
    const float keep = gain();
    Win32_WindowlessBase::setRect(x, y, width, height);
    layoutParts();
    knob_ =
        ControlGeometry::knobForGain(keep, kGainMinimum, kGainMaximum, trackTop(), trackBottom());
}

bool Win32_AudioChannelControl::loadMeterImages() {
    bool all = true;
    for (int i = 0; i < kMeterImageCount; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, ResourceNames::kMeterFormat, i);
        meterImages_[static_cast<size_t>(i)] = ResourceImage::load(name);
        all = all && !meterImages_[static_cast<size_t>(i)].isNull();
    }
    invalidate();
    return all;
}

void Win32_AudioChannelControl::setMeterImages(const std::array<QImage, kMeterImageCount>& images) {
    meterImages_ = images;
    invalidate();
}

int Win32_AudioChannelControl::meterImageIndex() const {
    return ControlGeometry::meterImageIndex(powerLevel_);
}

void Win32_AudioChannelControl::setPowerLevel(double percent) {
    const double level = std::isfinite(percent) ? std::clamp(percent, 0.0, 100.0) : 0.0;
    const int before = meterImageIndex();
    const int barBefore = static_cast<int>(powerLevel_ * trackRect().height() / 100.0);
    powerLevel_ = level;
    const int barAfter = static_cast<int>(powerLevel_ * trackRect().height() / 100.0);
    if (before != meterImageIndex() || (showsBar() && barBefore != barAfter)) {
        invalidateArea(trackRect());
    }
}

bool Win32_AudioChannelControl::showsBar() const {
    // Without meter images the bar stands in for them.
    return barStyle_ || meterImages_[static_cast<size_t>(meterImageIndex())].isNull();
}

void Win32_AudioChannelControl::setKnob(int knob) {
    knob_ = std::clamp(knob, trackTop(), trackBottom() - ControlGeometry::kKnobHeight);
    gain_.store(
        ControlGeometry::knobGain(kGainMinimum, kGainMaximum, trackTop(), trackBottom(), knob_),
        std::memory_order_relaxed);
    invalidateArea(trackRect());
}

void Win32_AudioChannelControl::setGain(float gain) {
    const float wanted = std::isfinite(gain) ? std::clamp(gain, kGainMinimum, kGainMaximum) : 1.0f;
    knob_ =
        ControlGeometry::knobForGain(wanted, kGainMinimum, kGainMaximum, trackTop(), trackBottom());
    gain_.store(wanted, std::memory_order_relaxed);
    invalidateArea(trackRect());
}

void Win32_AudioChannelControl::mute() {
    setMuted(true);
}

void Win32_AudioChannelControl::unmute() {
    setMuted(false);
}

void Win32_AudioChannelControl::setMuted(bool muted) {
    muted_.store(muted, std::memory_order_relaxed);
    if (muted) {
        muteButton_->press();
    } else {
        muteButton_->release();
    }
}

void Win32_AudioChannelControl::setBarStyle(bool barStyle) {
    barStyle_ = barStyle;
    invalidate();
}

void Win32_AudioChannelControl::setBlueKnob(bool blue) {
    blueKnob_ = blue;
    invalidate();
}

void Win32_AudioChannelControl::setCaption(const QString& caption) {
    caption_ = caption;
    invalidate();
}

void Win32_AudioChannelControl::mouseDown(int x, int y) {
    if (muteButton_->hitTest(x, y)) {
        mutePressed_ = true;
        return;
    }
    if (trackRect().contains(x, y)) {
        setDragging();
        setKnob(y - ControlGeometry::kKnobHeight / 2);
    }
}

void Win32_AudioChannelControl::mouseMove(int, int y) {
    if (isDragging()) {
        setKnob(y - ControlGeometry::kKnobHeight / 2);
    }
}

// A knob drag ends with the level message wherever the mouse is let go: the gain has been
// following the knob all along, so the owner must hear of the last place.
void Win32_AudioChannelControl::mouseUp(int x, int y) {
    if (mutePressed_) {
        mutePressed_ = false;
        if (muteButton_->hitTest(x, y)) {
            setMuted(!isMuted());
            postToOwner(muteMessage_, getId(), isMuted() ? 1 : 0);
        }
        return;
    }
    if (!isDragging()) {
        return;
    }
    setKnob(y - ControlGeometry::kKnobHeight / 2);
    clearDragging();
    postToOwner(levelMessage_, getId(),
                ControlGeometry::knobLevelPercent(trackTop(), trackBottom(), knob_));
}

void Win32_AudioChannelControl::draw(QPainter& painter) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    const QRect track = trackRect();
    const QRectF meterArea(track.x(), track.y(), track.width() - kKnobWidth, track.height());

    painter.setPen(QPen(kTrackEdge, 1.0));
    painter.setBrush(kTrackFill);
    painter.drawRoundedRect(meterArea.adjusted(0.5, 0.5, -0.5, -0.5), 2.0, 2.0);

    if (showsBar()) {
        const double height = (meterArea.height() - 2.0) * powerLevel_ / 100.0;
        const double middle = meterArea.center().x();
        painter.fillRect(QRectF(middle - 1.5, meterArea.bottom() - 1.0 - height, 3.0, height),
                         kBarColour);
    } else {
        painter.drawImage(meterArea.adjusted(1, 1, -1, -1),
                          meterImages_[static_cast<size_t>(meterImageIndex())]);
    }

    // The knob: a triangle pointing left at the meter, its top at the knob place.
    const double right = track.x() + track.width();
    QPainterPath knob;
    knob.moveTo(right, knob_);
    knob.lineTo(right, knob_ + ControlGeometry::kKnobHeight);
    knob.lineTo(right - kKnobWidth, knob_ + ControlGeometry::kKnobHeight / 2.0);
    knob.closeSubpath();
    painter.fillPath(knob, blueKnob_ ? kBlueKnob : kRedKnob);

    muteButton_->draw(painter);
    if (isMuted()) {
        // A struck-through mute face reads as "silent" at a glance.
        const QRectF face = QRectF(muteButton_->rect()).adjusted(3, 3, -3, -3);
        painter.setPen(QPen(QColor(0xFF, 0x5A, 0x4A), 1.6, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(face.topRight(), face.bottomLeft());
    }
    if (!caption_.isEmpty()) {
        QFont font = painter.font();
        font.setPixelSize(10);
        painter.setFont(font);
        painter.setPen(kCaptionColour);
        const QRect caption(x(), muteButton_->rect().bottom() + 1, width(), kCaptionHeight);
        painter.drawText(caption, Qt::AlignCenter, caption_);
    }
    painter.restore();
    drawBorder(painter);
}
