#include "Win32_AudioChannelControl.h"

#include <QPainter>

#include "ControlGeometry.h"
#include "Win32_WindowMessage.h"
#include "Win32_WindowlessButton.h"

Win32_AudioChannelControl::Win32_AudioChannelControl(Win32_BasicWindow* owner, int x, int y,
                                                     int width, int height, int id, bool border,
                                                     int levelMessage, bool barStyle, bool blueKnob)
    : Win32_WindowlessBase(owner, x, y, width, height, id, border),
      barStyle_(barStyle),
      blueKnob_(blueKnob),
      levelMessage_(levelMessage),
      muteMessage_(Win32_WindowMessage::kChannelMuteChanged),
      muteButton_(std::make_unique<Win32_WindowlessButton>(owner, x, y, kMuteButtonSize,
                                                           kMuteButtonSize, id, false)) {}

Win32_AudioChannelControl::~Win32_AudioChannelControl() = default;

void Win32_AudioChannelControl::setRect(int x, int y, int width, int height) {
    Win32_WindowlessBase::setRect(x, y, width, height);
}
void Win32_AudioChannelControl::mouseMove(int, int) {}
void Win32_AudioChannelControl::mouseDown(int, int) {}
void Win32_AudioChannelControl::mouseUp(int, int) {}
void Win32_AudioChannelControl::draw(QPainter& painter) {
    drawBorder(painter);
}
bool Win32_AudioChannelControl::loadMeterImages() {
    return false;
}
void Win32_AudioChannelControl::setMeterImages(const std::array<QImage, kMeterImageCount>& images) {
    meterImages_ = images;
}
void Win32_AudioChannelControl::setPowerLevel(double percent) {
    powerLevel_ = percent;
}
int Win32_AudioChannelControl::meterImageIndex() const {
    return ControlGeometry::meterImageIndex(powerLevel_);
}
void Win32_AudioChannelControl::setGain(float gain) {
    gain_.store(gain, std::memory_order_relaxed);
}
void Win32_AudioChannelControl::mute() {
    setMuted(true);
}
void Win32_AudioChannelControl::unmute() {
    setMuted(false);
}
void Win32_AudioChannelControl::setMuted(bool muted) {
    muted_.store(muted, std::memory_order_relaxed);
}
int Win32_AudioChannelControl::trackTop() const {
    return y();
}
int Win32_AudioChannelControl::trackBottom() const {
    return y() + height() - kMuteButtonSize;
}
QRect Win32_AudioChannelControl::trackRect() const {
    return QRect(x(), trackTop(), width(), trackBottom() - trackTop());
}
void Win32_AudioChannelControl::setBarStyle(bool barStyle) {
    barStyle_ = barStyle;
}
void Win32_AudioChannelControl::setBlueKnob(bool blue) {
    blueKnob_ = blue;
}
void Win32_AudioChannelControl::setCaption(const QString& caption) {
    caption_ = caption;
}
void Win32_AudioChannelControl::layoutParts() {}
void Win32_AudioChannelControl::setKnob(int knob) {
    knob_ = knob;
}
