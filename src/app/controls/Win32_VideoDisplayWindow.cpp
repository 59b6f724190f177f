#include "Win32_VideoDisplayWindow.h"

#include <QMouseEvent>
#include <QPainter>

namespace {

// Larger than any frame a recorder writes; a frame claiming more is damaged.
constexpr uint32_t kLargestSide = 16384;

}  // namespace

Win32_VideoDisplayWindow::Win32_VideoDisplayWindow(QWidget* parent) : QWidget(parent) {
    setObjectName(QString::fromLatin1(kWindowName));
    setWindowTitle(QString::fromLatin1(kWindowName));
    setAttribute(Qt::WA_OpaquePaintEvent, true);
}

Win32_VideoDisplayWindow::~Win32_VideoDisplayWindow() = default;

void Win32_VideoDisplayWindow::setFrameSource(FrameSource source) {
    source_ = std::move(source);
}

bool Win32_VideoDisplayWindow::showFrame(const LatestVideoFrame& frame) {
    if (hasFrame() && frame.sequenceNumber == frame_.sequenceNumber &&
        frame.epochTime == frame_.epochTime) {
        return true;
    }
    LatestVideoFrame copy = frame;
    if (!takeFrame(std::move(copy))) {
        return false;
    }
    update();
    return true;
}

void Win32_VideoDisplayWindow::clearFrame() {
    image_ = QImage();
    frame_ = LatestVideoFrame();
    update();
}

bool Win32_VideoDisplayWindow::takeFrame(LatestVideoFrame&& frame) {
    const uint64_t rowBytes = static_cast<uint64_t>(frame.width) * 3u;
    if (frame.epochTime < 0.0 || frame.width == 0 || frame.height == 0 ||
        frame.width > kLargestSide || frame.height > kLargestSide ||
        frame.pixels.size() < rowBytes * frame.height) {
        return false;
    }
    image_ = QImage();
    frame_ = std::move(frame);
    // The image shares frame_'s pixels; it is replaced whenever frame_ is.
    image_ = QImage(frame_.pixels.data(), static_cast<int>(frame_.width),
                    static_cast<int>(frame_.height), static_cast<qsizetype>(rowBytes),
                    QImage::Format_BGR888);
    return true;
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
    if (source_) {
        LatestVideoFrame latest;
        if (source_(latest) && (!hasFrame() || latest.sequenceNumber != frame_.sequenceNumber)) {
            takeFrame(std::move(latest));
        }
    }
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (image_.isNull()) {
        return;
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.drawImage(scaledFrameRect(image_.size(), rect()), image_);
}

void Win32_VideoDisplayWindow::mousePressEvent(QMouseEvent* event) {
    event->accept();
}
