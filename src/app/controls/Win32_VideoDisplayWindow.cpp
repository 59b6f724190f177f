#include "Win32_VideoDisplayWindow.h"

#include <QMouseEvent>
#include <QPainter>

Win32_VideoDisplayWindow::Win32_VideoDisplayWindow(QWidget* parent) : QWidget(parent) {
    setObjectName(kWindowName);
    setWindowTitle(kWindowName);
}

Win32_VideoDisplayWindow::~Win32_VideoDisplayWindow() = default;

void Win32_VideoDisplayWindow::setFrameSource(FrameSource source) {
    source_ = std::move(source);
}
bool Win32_VideoDisplayWindow::showFrame(const LatestVideoFrame& frame) {
    LatestVideoFrame copy = frame;
    return takeFrame(std::move(copy));
}
void Win32_VideoDisplayWindow::clearFrame() {
    frame_ = LatestVideoFrame();
    image_ = QImage();
    update();
}
QRect Win32_VideoDisplayWindow::scaledFrameRect(QSize frameSize, QRect area) {
    if (frameSize.isEmpty() || area.isEmpty()) {
        return QRect();
    }
    const QSize scaled = frameSize.scaled(area.size(), Qt::KeepAspectRatio);
    return QRect(area.x() + (area.width() - scaled.width()) / 2,
                 area.y() + (area.height() - scaled.height()) / 2, scaled.width(), scaled.height());
}
void Win32_VideoDisplayWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
}
void Win32_VideoDisplayWindow::mousePressEvent(QMouseEvent* event) {
    event->accept();
}
bool Win32_VideoDisplayWindow::takeFrame(LatestVideoFrame&& frame) {
    frame_ = std::move(frame);
    return true;
}
