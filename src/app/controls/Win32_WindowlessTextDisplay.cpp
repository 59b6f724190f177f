#include "Win32_WindowlessTextDisplay.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>

Win32_WindowlessTextDisplay::Win32_WindowlessTextDisplay(Win32_BasicWindow* owner, int x, int y,
                                                         int width, int height, int id, bool border)
    : Win32_WindowlessBase(owner, x, y, width, height, id, border),
      alignment_(Qt::AlignLeft | Qt::AlignVCenter) {}

Win32_WindowlessTextDisplay::~Win32_WindowlessTextDisplay() = default;

void Win32_WindowlessTextDisplay::setText(const std::string& text) {
    setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

void Win32_WindowlessTextDisplay::setText(const QString& text) {
    if (text == text_) {
        return;
    }
    text_ = text;
    invalidate();
}

void Win32_WindowlessTextDisplay::setStyle(int pixelSize, bool bold, const QColor& colour,
                                           int alignment, bool tabularDigits) {
    pixelSize_ = pixelSize > 0 ? pixelSize : 12;
    bold_ = bold;
    colour_ = colour;
    alignment_ = alignment;
    tabularDigits_ = tabularDigits;
    invalidate();
}

void Win32_WindowlessTextDisplay::draw(QPainter& painter) {
    painter.save();
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    QFont font = painter.font();
    font.setPixelSize(pixelSize_);
    font.setBold(bold_);
    if (tabularDigits_) {
        // Digits of one width, so a running clock does not jitter.
        font.setStyleHint(QFont::TypeWriter);
        font.setFamily(QStringLiteral("monospace"));
    }
    const QRect area = rect().adjusted(2, 0, -2, 0);
    font = fittingFont(font, text_, area.width());
    painter.setFont(font);
    painter.setPen(colour_);
    const QString shown = QFontMetrics(font).elidedText(text_, Qt::ElideRight, area.width());
    painter.drawText(area, alignment_, shown);
    painter.restore();
    drawBorder(painter);
}

QFont Win32_WindowlessTextDisplay::fittingFont(QFont font, const QString& text, int width) {
    const int smallest = std::max(8, font.pixelSize() * 2 / 3);
    while (font.pixelSize() > smallest && QFontMetrics(font).horizontalAdvance(text) > width) {
        font.setPixelSize(font.pixelSize() - 1);
    }
    return font;
}
