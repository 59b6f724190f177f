#pragma once

#include <QImage>
#include <QWidget>
#include <functional>

#include "LatestVideoFrame.h"

// The video display: a real child widget named "Video Display Wnd" that paints the newest frame
// it holds, scaled into its rectangle with the frame's proportions kept (black bars around),
// dark when it holds none. Frames come either pushed with showFrame or pulled at paint time from
// the frame source (the player's latest-frame copy). Mouse presses are taken and ignored.
// User-interface thread only.
class Win32_VideoDisplayWindow final : public QWidget {
    Q_OBJECT

public:
    static constexpr const char* kWindowName = "Video Display Wnd";
    // Fills `frame` with the newest frame; false when there is none. Called while painting.
    using FrameSource = std::function<bool(LatestVideoFrame& frame)>;

    explicit Win32_VideoDisplayWindow(QWidget* parent = nullptr);
    ~Win32_VideoDisplayWindow() override;
    Win32_VideoDisplayWindow(const Win32_VideoDisplayWindow&) = delete;
    Win32_VideoDisplayWindow& operator=(const Win32_VideoDisplayWindow&) = delete;

    void setFrameSource(FrameSource source);
    // Copies the frame (24-bit BGR, width x 3 bytes per row) and repaints, unless it is the
    // frame already held (same sequence number). Frames whose buffer is smaller than their
    // size says are refused (false).
    bool showFrame(const LatestVideoFrame& frame);
    void clearFrame();
    bool hasFrame() const { return frame_.epochTime >= 0.0 && !image_.isNull(); }
    const LatestVideoFrame& frame() const { return frame_; }
    // The held frame as an image (null when none); it shares the held pixels.
    const QImage& image() const { return image_; }

    // Where a frame of `frameSize` is drawn inside `area`: as large as fits, proportions kept,
    // centred. Empty when either size is empty.
    static QRect scaledFrameRect(QSize frameSize, QRect area);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    bool takeFrame(LatestVideoFrame&& frame);

    FrameSource source_;
    LatestVideoFrame frame_;
    QImage image_;
};
