#include "Win32_WindowlessBase.h"

#include <QPainter>

#include "Win32_BasicWindow.h"
#include "Win32_WindowMessage.h"

Win32_WindowlessBase::Win32_WindowlessBase(Win32_BasicWindow* owner, int x, int y, int width,
                                           int height, int id, bool border)
    : owner_(owner), border_(border), id_(id), x_(x), y_(y), width_(width), height_(height) {}

Win32_WindowlessBase::~Win32_WindowlessBase() = default;

void Win32_WindowlessBase::invalidate() {
    invalidateArea(rect());
}

void Win32_WindowlessBase::setRect(int x, int y, int width, int height) {
    const QRect old = rect();
    x_ = x;
    y_ = y;
    width_ = width;
    height_ = height;
    invalidateArea(old);
    invalidate();
}

bool Win32_WindowlessBase::hitTest(int x, int y) const {
    return x >= x_ && x < x_ + width_ && y >= y_ && y < y_ + height_;
}

bool Win32_WindowlessBase::keyPress(int, const QString&, bool) {
    return false;
}

void Win32_WindowlessBase::postToOwner(int message, intptr_t wParam, intptr_t lParam) const {
    if (owner_ != nullptr && message != 0) {
        Win32_WindowMessage::post(owner_, message, wParam, lParam);
    }
}

void Win32_WindowlessBase::invalidateArea(const QRect& area) const {
    if (owner_ != nullptr) {
        owner_->invalidateRect(area);
    }
}

void Win32_WindowlessBase::drawBorder(QPainter& painter) const {
    if (!border_) {
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(QColor::fromRgba(0xC8323232u), 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(x_ + 0.5, y_ + 0.5, width_ - 1.0, height_ - 1.0));
    painter.restore();
}
