#pragma once

#include <QPoint>
#include <QWidget>

class QSlider;

// The speed control: a small companion window ("ContainerWin", titled "Speed", 30 x 120) beside
// the main window, holding a vertical track bar of 30 x 100 with the positions -8 (fastest, at
// the top) to 7 (slowest), a page of 4 and a tick at every position. Moving the bar posts the
// speed message 2626 with the position to the main window, which shows the speed and tells the
// engine. The window keeps its offset from the main window when that moves.
class SpeedControlWindow final : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 30;
    static constexpr int kHeight = 120;
    static constexpr int kTrackBarHeight = 100;
    static constexpr int kMinimumPosition = -8;
    static constexpr int kMaximumPosition = 7;
    static constexpr int kPageSize = 4;

    // `mainWindow` receives the speed messages; the window floats above it.
    explicit SpeedControlWindow(QWidget* mainWindow);
    ~SpeedControlWindow() override;
    SpeedControlWindow(const SpeedControlWindow&) = delete;
    SpeedControlWindow& operator=(const SpeedControlWindow&) = delete;

    int position() const;
    // Moves the bar; a position that changes posts the speed message as a user's move does.
    void setPosition(int position);
    QSlider* trackBar() const { return trackBar_; }

    // The main window moved from `from` to `to`: move by the same offset.
    void followMainWindow(const QPoint& from, const QPoint& to);

private:
    QWidget* mainWindow_;
    QSlider* trackBar_;
};
