#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <string>

#include "Win32_WindowlessBase.h"

// A line of text drawn on the owner's background (status line, clock, speed, slider labels).
// It takes no mouse input. Text that does not fit is elided at the right.
class Win32_WindowlessTextDisplay : public Win32_WindowlessBase {
public:
    Win32_WindowlessTextDisplay(Win32_BasicWindow* owner, int x, int y, int width, int height,
                                int id, bool border);
    ~Win32_WindowlessTextDisplay() override;

    void mouseMove(int, int) override {}
    void mouseDown(int, int) override {}
    void mouseUp(int, int) override {}
    void draw(QPainter& painter) override;

    // Sets the text (UTF-8) and repaints when it changed.
    void setText(const std::string& text);
    void setText(const QString& text);
    const QString& text() const { return text_; }
    std::string textUtf8() const { return text_.toStdString(); }

    // Look: pixel size of the font, weight, colour, Qt::Alignment flags, and a fixed-width font
    // (digits of one width, for running clocks).
    void setStyle(int pixelSize, bool bold, const QColor& colour, int alignment,
                  bool tabularDigits = false);
    int pixelSize() const { return pixelSize_; }
    // `font` (sized in pixels), made smaller one pixel at a time until `text` fits in `width`,
    // down to two thirds of its size (at least 8 px): a clock's "AM" stays whole on a font with
    // wide digits. What still does not fit is elided when drawn.
    static QFont fittingFont(QFont font, const QString& text, int width);
    const QColor& colour() const { return colour_; }
    int alignment() const { return alignment_; }

private:
    QString text_;
    int pixelSize_ = 12;
    bool bold_ = false;
    QColor colour_{0xE6, 0xE9, 0xEE};
    int alignment_;
    bool tabularDigits_ = false;
};
