#include "SpeedControlWindow.h"

#include <QSlider>

#include "GalewickCommandIds.h"
#include "Win32_WindowMessage.h"

SpeedControlWindow::SpeedControlWindow(QWidget* mainWindow)
    : QWidget(mainWindow,
              Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      mainWindow_(mainWindow),
      trackBar_(new QSlider(Qt::Vertical, this)) {
    setObjectName(QStringLiteral("ContainerWin"));
    setWindowTitle(QStringLiteral("Speed"));
    setFixedSize(kWidth, kHeight);
    trackBar_->setObjectName(QStringLiteral("SpeedTrackBar"));
    trackBar_->setGeometry(0, (kHeight - kTrackBarHeight) / 2, kWidth, kTrackBarHeight);
    trackBar_->setRange(kMinimumPosition, kMaximumPosition);
    trackBar_->setPageStep(kPageSize);
    trackBar_->setSingleStep(1);
    trackBar_->setTickInterval(1);
    trackBar_->setTickPosition(QSlider::TicksBothSides);
    // The fastest position at the top, as the track bar of the original control shows it.
    trackBar_->setInvertedAppearance(true);
    trackBar_->setInvertedControls(true);
    trackBar_->setValue(0);
    trackBar_->setToolTip(QStringLiteral("Speed"));
    connect(trackBar_, &QSlider::valueChanged, this, [this](int value) {
        Win32_WindowMessage::post(mainWindow_, GalewickCommandIds::kSpeedMessage, value, 0);
    });
}

SpeedControlWindow::~SpeedControlWindow() = default;

int SpeedControlWindow::position() const {
    return trackBar_->value();
}

void SpeedControlWindow::setPosition(int position) {
    trackBar_->setValue(position);
}

void SpeedControlWindow::followMainWindow(const QPoint& from, const QPoint& to) {
    move(pos() + (to - from));
}
