#pragma once

#include <QWidget>

class Win32_BasicWindow;

// The central widget of a Win32_BasicWindow: paints the window's background and windowless
// controls and passes the mouse on to them.
class Win32_WindowCanvas final : public QWidget {
    Q_OBJECT

public:
    Win32_WindowCanvas(Win32_BasicWindow& window, QSize size);
    ~Win32_WindowCanvas() override;
    Win32_WindowCanvas(const Win32_WindowCanvas&) = delete;
    Win32_WindowCanvas& operator=(const Win32_WindowCanvas&) = delete;

    QSize sizeHint() const override { return size_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    Win32_BasicWindow& window_;
    QSize size_;
};
