#include "Win32_WindowCanvas.h"

#include <QMouseEvent>
#include <QPainter>

#include "Win32_BasicWindow.h"

Win32_WindowCanvas::Win32_WindowCanvas(Win32_BasicWindow& window, QSize size)
    : QWidget(&window), window_(window), size_(size) {
    setFixedSize(size);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent, true);
    setFocusPolicy(Qt::StrongFocus);
}

Win32_WindowCanvas::~Win32_WindowCanvas() = default;

void Win32_WindowCanvas::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    window_.paintCanvas(painter, event->rect());
}

void Win32_WindowCanvas::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    window_.canvasMouseMove(at.x(), at.y());
}

void Win32_WindowCanvas::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        const QPoint at = event->position().toPoint();
        window_.canvasMouseDown(at.x(), at.y());
    }
}

void Win32_WindowCanvas::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        window_.canvasMouseUp(at.x(), at.y());
    } else if (event->button() == Qt::RightButton) {
        window_.canvasRightButtonUp(at, event->globalPosition().toPoint());
    }
}
