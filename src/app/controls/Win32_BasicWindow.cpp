#include "Win32_BasicWindow.h"

#include <QPainter>
#include <algorithm>

#include "ResourceImage.h"
#include "Win32_WindowCanvas.h"
#include "Win32_WindowMessage.h"
#include "Win32_WindowlessBase.h"

namespace {

Win32_BasicWindow* theMainWindow = nullptr;

// Behind everything when the archive has no background image.
const QColor kFallbackBackground(0x1E, 0x22, 0x28);

}  // namespace

Win32_BasicWindow::Win32_BasicWindow(const QString& title, const std::string& backgroundImageName,
                                     QSize fallbackSize, QWidget* parent)
    : QMainWindow(parent), backgroundImageName_(backgroundImageName) {
    if (theMainWindow == nullptr) {
        theMainWindow = this;
    }
    setWindowTitle(title);
    if (!backgroundImageName_.empty()) {
        background_ = ResourceImage::load(backgroundImageName_);
    }
    const QSize size = background_.isNull() ? fallbackSize : background_.size();
    canvas_ = new Win32_WindowCanvas(*this, size);
    setCentralWidget(canvas_);
}

Win32_BasicWindow::~Win32_BasicWindow() {
    if (theMainWindow == this) {
        theMainWindow = nullptr;
    }
    // Controls go before the widgets they may refer to.
    controls_.clear();
    retired_.clear();
}

Win32_BasicWindow* Win32_BasicWindow::mainWindow() {
    return theMainWindow;
}

QWidget* Win32_BasicWindow::canvas() const {
    return canvas_;
}

Win32_WindowlessBase* Win32_BasicWindow::addControl(std::unique_ptr<Win32_WindowlessBase> control) {
    if (control == nullptr) {
        return nullptr;
    }
    Win32_WindowlessBase* raw = control.get();
    controls_.push_back(std::move(control));
    raw->invalidate();
    return raw;
}

bool Win32_BasicWindow::removeControl(Win32_WindowlessBase* control) {
    const auto found = std::find_if(controls_.begin(), controls_.end(),
                                    [control](const auto& held) { return held.get() == control; });
    if (found == controls_.end()) {
        return false;
    }
    const QRect area = control->rect();
    if (walking_ > 0) {
        retired_.push_back(std::move(*found));
    }
    controls_.erase(found);
    invalidateRect(area);
    return true;
}

Win32_WindowlessBase* Win32_BasicWindow::findControl(int id) const {
    for (const auto& control : controls_) {
        if (control->getId() == id) {
            return control.get();
        }
    }
    return nullptr;
}

void Win32_BasicWindow::invalidateRect(const QRect& area) {
    if (canvas_ != nullptr) {
        canvas_->update(area);
    }
}

bool Win32_BasicWindow::event(QEvent* event) {
    if (const Win32_WindowMessage* message = Win32_WindowMessage::fromEvent(event)) {
        if (ProcessWindowsMessage(*message)) {
            return true;
        }
    }
    return QMainWindow::event(event);
}

bool Win32_BasicWindow::ProcessWindowsMessage(const Win32_WindowMessage&) {
    return false;
}

void Win32_BasicWindow::canvasRightButtonUp(const QPoint&, const QPoint&) {}

void Win32_BasicWindow::paintOverlay(QPainter&) {}

void Win32_BasicWindow::paintCanvas(QPainter& painter, const QRect& area) {
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    if (background_.isNull()) {
        painter.fillRect(area, kFallbackBackground);
    } else {
        painter.drawImage(QRectF(canvas_->rect()), background_);
    }
    ++walking_;
    for (const auto& control : controls_) {
        if (control->rect().intersects(area)) {
            control->draw(painter);
        }
    }
    --walking_;
    paintOverlay(painter);
}

// Every control sees every left-button event and decides itself whether it concerns it: a
// button must see the release outside it to show itself up again, a slider the moves of a drag
// that leaves it. Controls may be removed by a handler (through a posted message's handler, or
// directly): they are kept alive until the walk ends.
void Win32_BasicWindow::canvasMouseMove(int x, int y) {
    ++walking_;
    for (size_t i = 0; i < controls_.size(); ++i) {
        controls_[i]->mouseMove(x, y);
    }
    --walking_;
    if (walking_ == 0) {
        retired_.clear();
    }
}

void Win32_BasicWindow::canvasMouseDown(int x, int y) {
    ++walking_;
    for (size_t i = 0; i < controls_.size(); ++i) {
        controls_[i]->mouseDown(x, y);
    }
    --walking_;
    if (walking_ == 0) {
        retired_.clear();
    }
}

void Win32_BasicWindow::canvasMouseUp(int x, int y) {
    ++walking_;
    for (size_t i = 0; i < controls_.size(); ++i) {
        controls_[i]->mouseUp(x, y);
    }
    --walking_;
    if (walking_ == 0) {
        retired_.clear();
    }
}
