#include "Win32_WindowlessButton.h"

#include <QPainter>

#include "ResourceImage.h"

Win32_WindowlessButton::Win32_WindowlessButton(Win32_BasicWindow* owner, int x, int y, int width,
                                               int height, int id, bool border)
    : Win32_WindowlessBase(owner, x, y, width, height, id, border) {}

Win32_WindowlessButton::~Win32_WindowlessButton() = default;

void Win32_WindowlessButton::mouseMove(int, int) {}

void Win32_WindowlessButton::mouseDown(int x, int y) {
    if (hitTest(x, y)) {
        tracking_ = true;
        press();
    }
}

// Only the release of a press that began on this button concerns it: a face the owner shows
// pressed stays pressed when the user clicks elsewhere.
void Win32_WindowlessButton::mouseUp(int x, int y) {
    if (!tracking_) {
        return;
    }
    tracking_ = false;
    if (hitTest(x, y) && pressed_) {
        notify();
    }
    release();
}

void Win32_WindowlessButton::draw(QPainter& painter) {
    drawFace(painter, pressed_);
    drawBorder(painter);
}

bool Win32_WindowlessButton::loadImages(const std::string& upName, const std::string& downName,
                                        int clickMessage) {
    clickMessage_ = clickMessage;
    upImage_ = ResourceImage::load(upName);
    downImage_ = ResourceImage::load(downName);
    invalidate();
    return hasImages();
}

void Win32_WindowlessButton::press() {
    pressed_ = true;
    invalidate();
}

void Win32_WindowlessButton::release() {
    pressed_ = false;
    invalidate();
}

void Win32_WindowlessButton::notify() {
    postToOwner(clickMessage_, getId(), 0);
}

void Win32_WindowlessButton::setImages(const QImage& up, const QImage& down) {
    upImage_ = up;
    downImage_ = down;
    invalidate();
}

void Win32_WindowlessButton::drawFace(QPainter& painter, bool down) const {
    const QImage& face = down ? downImage_ : upImage_;
    if (!face.isNull()) {
        painter.save();
        painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
        painter.drawImage(QRectF(rect()), face);
        painter.restore();
        return;
    }
    // No face: a plain rounded key with the fallback label.
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QRectF area = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setPen(QPen(QColor(0x5A, 0x63, 0x70), 1.0));
    painter.setBrush(down ? QColor(0x2E, 0x8B, 0xC0) : QColor(0x39, 0x40, 0x4A));
    painter.drawRoundedRect(area, 4.0, 4.0);
    if (!fallbackLabel_.isEmpty()) {
        painter.setPen(QColor(0xE6, 0xE9, 0xEE));
        QFont font = painter.font();
        font.setPixelSize(std::max(8, std::min(height(), width()) / 2));
        painter.setFont(font);
        painter.drawText(area, Qt::AlignCenter, fallbackLabel_);
    }
    painter.restore();
}
