#include "Win32_WindowlessTimeSlider.h"

#include <QPainter>

#include "ClockTimeText.h"
#include "ControlGeometry.h"
#include "Win32_WindowMessage.h"
#include "Win32_WindowlessTextDisplay.h"

Win32_WindowlessTimeSlider::Win32_WindowlessTimeSlider(Win32_BasicWindow* owner, int x, int y,
                                                       int width, int height, int id, bool border)
    : Win32_WindowlessBase(owner, x, y, width, height, id, border),
      releaseMessage_(Win32_WindowMessage::kTimeSliderReleased) {}

Win32_WindowlessTimeSlider::~Win32_WindowlessTimeSlider() = default;

void Win32_WindowlessTimeSlider::setRect(int x, int y, int width, int height) {
    Win32_WindowlessBase::setRect(x, y, width, height);
}
void Win32_WindowlessTimeSlider::mouseMove(int, int) {}
void Win32_WindowlessTimeSlider::mouseDown(int, int) {}
void Win32_WindowlessTimeSlider::mouseUp(int, int) {}
void Win32_WindowlessTimeSlider::draw(QPainter& painter) {
    drawBorder(painter);
}
bool Win32_WindowlessTimeSlider::keyPress(int, const QString&, bool) {
    return false;
}
void Win32_WindowlessTimeSlider::setDragging(DragItem item) {
    dragItem_ = item;
}
void Win32_WindowlessTimeSlider::clearDragging() {
    dragItem_ = DragItem::None;
}
void Win32_WindowlessTimeSlider::setSessionRange(double start, double end) {
    sessionStart_ = start;
    sessionEnd_ = end;
    hasSession_ = true;
}
void Win32_WindowlessTimeSlider::clearSession() {
    hasSession_ = false;
}
void Win32_WindowlessTimeSlider::setPosition(double seconds) {
    position_ = ControlGeometry::clampTime(seconds, sessionStart_, sessionEnd_);
}
void Win32_WindowlessTimeSlider::setSelection(double start, double end) {
    hasSelection_ = true;
    selectionStart_ = start;
    selectionEnd_ = end;
}
void Win32_WindowlessTimeSlider::clearSelection() {
    hasSelection_ = false;
}
void Win32_WindowlessTimeSlider::setRecordedSegments(std::vector<Segment> segments) {
    segments_ = std::move(segments);
}
void Win32_WindowlessTimeSlider::setSealedRanges(std::vector<Segment> ranges) {
    sealed_ = std::move(ranges);
}
void Win32_WindowlessTimeSlider::setOffsetHours(int hours) {
    offsetHours_ = hours;
}
int Win32_WindowlessTimeSlider::trackLeft() const {
    return x() + 10;
}
int Win32_WindowlessTimeSlider::trackRight() const {
    return x() + width() - 10;
}
int Win32_WindowlessTimeSlider::pixelForTime(double t) const {
    return ControlGeometry::sliderPixelForTime(t, sessionStart_, sessionEnd_, trackLeft(),
                                               trackRight());
}
double Win32_WindowlessTimeSlider::timeForPixel(int pixel) const {
    return ControlGeometry::sliderTimeForPixel(pixel, sessionStart_, sessionEnd_, trackLeft(),
                                               trackRight());
}
std::string Win32_WindowlessTimeSlider::startLabelText() const {
    return ClockTimeText::twelveHour(sessionStart_, offsetHours_);
}
std::string Win32_WindowlessTimeSlider::endLabelText() const {
    return ClockTimeText::twelveHour(sessionEnd_, offsetHours_);
}
std::string Win32_WindowlessTimeSlider::currentLabelText() const {
    return ClockTimeText::twelveHour(position_, offsetHours_);
}
