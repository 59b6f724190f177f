#pragma once

#include <QRect>
#include <QString>
#include <cstdint>

class QPainter;
class Win32_BasicWindow;

// A control drawn by its owner window instead of being a window of its own. The owner paints it
// with `draw` and hands it the mouse events of its client area; the control decides itself
// whether an event concerns it (hitTest). Coordinates are the owner's canvas coordinates.
// Used on the user-interface thread only. The owner may be null (a control on its own, for
// tests): invalidating and posting messages then do nothing.
class Win32_WindowlessBase {
public:
    Win32_WindowlessBase(Win32_BasicWindow* owner, int x, int y, int width, int height, int id,
                         bool border);
    virtual ~Win32_WindowlessBase();
    Win32_WindowlessBase(const Win32_WindowlessBase&) = delete;
    Win32_WindowlessBase& operator=(const Win32_WindowlessBase&) = delete;

    // Asks the owner to repaint the control's rectangle.
    virtual void invalidate();
    // Moves or resizes the control and repaints (old and new place).
    virtual void setRect(int x, int y, int width, int height);
    virtual void mouseMove(int x, int y) = 0;
    virtual void mouseDown(int x, int y) = 0;
    virtual void mouseUp(int x, int y) = 0;
    virtual int getId() const { return id_; }
    virtual void setId(int id) { id_ = id; }
    // Draws the control on the owner's painter (logical pixels; the painter carries the device
    // pixel ratio).
    virtual void draw(QPainter& painter) = 0;
    // True for x in [x, x + width) and y in [y, y + height).
    virtual bool hitTest(int x, int y) const;
    // A key the owner hands on (Qt::Key, the typed text, whether it is a repeat of a held key);
    // true when the control used it. The base uses none.
    virtual bool keyPress(int key, const QString& text, bool autoRepeat);

    QRect rect() const { return QRect(x_, y_, width_, height_); }
    int x() const { return x_; }
    int y() const { return y_; }
    int width() const { return width_; }
    int height() const { return height_; }
    bool hasBorder() const { return border_; }
    void setBorder(bool border) { border_ = border; }
    Win32_BasicWindow* owner() const { return owner_; }

protected:
    // Posts `message` with the two parameters to the owner (nothing without an owner).
    void postToOwner(int message, intptr_t wParam, intptr_t lParam) const;
    // Repaints a part of the owner's canvas.
    void invalidateArea(const QRect& area) const;
    // The 1-pixel frame of bordered controls, ARGB 0xC8323232.
    void drawBorder(QPainter& painter) const;

private:
    Win32_BasicWindow* owner_;
    bool border_;
    int id_;
    int x_;
    int y_;
    int width_;
    int height_;
};
