// Draws the images of galewick's window (button faces, the background with the panels the window
// lays its controls on, the level-meter steps) and appends them to the program file as its
// resource archive. Also draws the application icon in the sizes packaging installs.
//
//   GalewickArtwork [--append PROGRAM] [--write-dir DIR] [--icons DIR]
//
// --append PROGRAM  replace PROGRAM's resource archive by the images (run after linking)
// --write-dir DIR   also write each image to DIR/<name without "Graphics\">
// --icons DIR       write DIR/<size>/org.korvalis.Galewick.png for sizes 48, 128 and 256
//
// Run with QT_QPA_PLATFORM=offscreen; nothing here needs a display.
#include <QBuffer>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "GalewickLayout.h"
#include "KorvalisResourceArchiveWriter.h"
#include "ResourceNames.h"

namespace {

// The theme: slate greys, a teal accent, red for marks and closing.
const QColor kAccent(0x55, 0xAF, 0xC0);
const QColor kAccentLight(0x8F, 0xD6, 0xC8);
const QColor kGlyph(0xE3, 0xE8, 0xEE);
const QColor kKeyTop(0x3B, 0x43, 0x4E);
const QColor kKeyBottom(0x25, 0x2B, 0x33);
const QColor kKeyPressedTop(0x1B, 0x20, 0x26);
const QColor kKeyPressedBottom(0x2A, 0x31, 0x3A);
const QColor kKeyEdge(0x58, 0x62, 0x70);
const QColor kRed(0xE0, 0x4A, 0x3A);

QImage blank(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

void smooth(QPainter& painter) {
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
}

// A rounded key, raised when up, sunk when pressed; `glow` rims it with the accent (hover).
void drawKey(QPainter& painter, const QRectF& area, double radius, bool pressed, bool glow) {
    const QRectF body = area.adjusted(1.5, 1.5, -1.5, -2.5);
    if (!pressed) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0, 0, 0, 90));
        painter.drawRoundedRect(body.translated(0, 1.5), radius, radius);
    }
    QLinearGradient fill(body.topLeft(), body.bottomLeft());
    fill.setColorAt(0.0, pressed ? kKeyPressedTop : kKeyTop);
    fill.setColorAt(1.0, pressed ? kKeyPressedBottom : kKeyBottom);
    QColor edge = pressed ? kAccent.darker(130) : kKeyEdge;
    if (glow) {
        edge = kAccentLight;
    }
    painter.setPen(QPen(edge, glow ? 1.5 : 1.0));
    painter.setBrush(fill);
    painter.drawRoundedRect(body.translated(0, pressed ? 1.0 : 0.0), radius, radius);
    if (!pressed) {
        // A soft highlight along the top edge.
        painter.setPen(QPen(QColor(255, 255, 255, 46), 1.0));
        const double y = body.top() + 1.5;
        painter.drawLine(QPointF(body.left() + radius * 0.7, y),
                         QPointF(body.right() - radius * 0.7, y));
    }
}

QPainterPath triangle(QPointF a, QPointF b, QPointF c) {
    QPainterPath path;
    path.moveTo(a);
    path.lineTo(b);
    path.lineTo(c);
    path.closeSubpath();
    return path;
}

enum class Glyph { Rewind, Play, FastForward, PlayAll };

void drawGlyph(QPainter& painter, Glyph glyph, QPointF centre, bool pressed) {
    const QColor colour = pressed ? kAccentLight : kGlyph;
    const double cx = centre.x();
    const double cy = centre.y() + (pressed ? 1.0 : 0.0);
    QPainterPath path;
    switch (glyph) {
        case Glyph::Play:
            path = triangle({cx - 8, cy - 11}, {cx + 12, cy}, {cx - 8, cy + 11});
            break;
        case Glyph::Rewind:
            path = triangle({cx - 13, cy}, {cx - 1, cy - 9}, {cx - 1, cy + 9});
            path.addPath(triangle({cx - 1, cy}, {cx + 11, cy - 9}, {cx + 11, cy + 9}));
            break;
        case Glyph::FastForward:
            path = triangle({cx + 13, cy}, {cx + 1, cy - 9}, {cx + 1, cy + 9});
            path.addPath(triangle({cx + 1, cy}, {cx - 11, cy - 9}, {cx - 11, cy + 9}));
            break;
        case Glyph::PlayAll:
            path = triangle({cx - 13, cy - 9}, {cx + 1, cy}, {cx - 13, cy + 9});
            for (int i = -1; i <= 1; ++i) {
                path.addRoundedRect(QRectF(cx + 4, cy + i * 6 - 1.5, 10, 3), 1.5, 1.5);
            }
            break;
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawPath(path);
}

QImage transportButton(Glyph glyph, bool pressed, bool glow = false) {
    QImage image = blank(55, 60);
    QPainter painter(&image);
    smooth(painter);
    drawKey(painter, QRectF(0, 0, 55, 60), 10.0, pressed, glow);
    drawGlyph(painter, glyph, QPointF(27.5, 29.0), pressed);
    return image;
}

QImage speedFrame() {
    QImage image = blank(50, 30);
    QPainter painter(&image);
    smooth(painter);
    const QRectF body(1.0, 1.0, 48.0, 28.0);
    QLinearGradient fill(body.topLeft(), body.bottomLeft());
    fill.setColorAt(0.0, QColor(0x0E, 0x11, 0x14));
    fill.setColorAt(1.0, QColor(0x1A, 0x1F, 0x25));
    painter.setPen(QPen(QColor(kAccent.red(), kAccent.green(), kAccent.blue(), 170), 1.0));
    painter.setBrush(fill);
    painter.drawRoundedRect(body.adjusted(0.5, 0.5, -0.5, -0.5), 6.0, 6.0);
    painter.setPen(QPen(QColor(0, 0, 0, 120), 1.0));
    painter.drawLine(QPointF(7, 3.5), QPointF(43, 3.5));
    return image;
}

QImage annotatorButton(bool down) {
    QImage image = blank(30, 30);
    QPainter painter(&image);
    smooth(painter);
    drawKey(painter, QRectF(0, 0, 30, 30), 6.0, down, false);
    const QColor colour = down ? kAccentLight : kGlyph;
    const double shift = down ? 1.0 : 0.0;
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    for (int i = 0; i < 3; ++i) {
        const double y = 9.0 + i * 5.0 + shift;
        painter.drawEllipse(QPointF(9.0, y + 1.0), 1.6, 1.6);
        painter.drawRoundedRect(QRectF(12.5, y, 9.5, 2.2), 1.1, 1.1);
    }
    return image;
}

QImage roundButton(bool close, bool pressed) {
    QImage image = blank(18, 18);
    QPainter painter(&image);
    smooth(painter);
    const QRectF body(1.0, 1.0, 16.0, 16.0);
    QRadialGradient fill(QPointF(7.0, 6.0), 11.0);
    QColor base = QColor(0x3A, 0x42, 0x4C);
    if (pressed) {
        base = close ? kRed : kAccent.darker(115);
    }
    fill.setColorAt(0.0, base.lighter(125));
    fill.setColorAt(1.0, base);
    painter.setPen(QPen(QColor(0x12, 0x15, 0x19), 1.0));
    painter.setBrush(fill);
    painter.drawEllipse(body);
    painter.setPen(QPen(pressed ? QColor(Qt::white) : kGlyph, 1.6, Qt::SolidLine, Qt::RoundCap));
    if (close) {
        painter.drawLine(QPointF(6.2, 6.2), QPointF(11.8, 11.8));
        painter.drawLine(QPointF(11.8, 6.2), QPointF(6.2, 11.8));
    } else {
        painter.drawLine(QPointF(5.8, 9.5), QPointF(12.2, 9.5));
    }
    return image;
}

// Level meter step `step` (0 silent ... 5 full): a ladder of twelve segments, green to amber
// to red from the bottom, lit up to the step.
QImage meter(int step) {
    static constexpr int kSegments = 12;
    static constexpr int kLit[] = {0, 3, 6, 9, 11, 12};
    QImage image = blank(24, 64);
    QPainter painter(&image);
    smooth(painter);
    painter.setPen(QPen(QColor(0x2C, 0x33, 0x3B), 1.0));
    painter.setBrush(QColor(0x0D, 0x10, 0x13));
    painter.drawRoundedRect(QRectF(0.5, 0.5, 23.0, 63.0), 3.0, 3.0);
    const double top = 4.0;
    const double bottom = 60.0;
    const double pitch = (bottom - top) / kSegments;
    for (int i = 0; i < kSegments; ++i) {
        QColor colour = i < 7 ? QColor(0x4C, 0xC3, 0x8A) : i < 10 ? QColor(0xE8, 0xB8, 0x4A) : kRed;
        const bool lit = i < kLit[step];
        if (!lit) {
            colour.setAlpha(42);
        }
        const QRectF segment(5.0, bottom - (i + 1) * pitch + 0.8, 14.0, pitch - 1.4);
        painter.setPen(Qt::NoPen);
        painter.setBrush(colour);
        painter.drawRoundedRect(segment, 1.2, 1.2);
        if (lit) {
            painter.setBrush(QColor(255, 255, 255, 50));
            painter.drawRoundedRect(QRectF(segment.left(), segment.top(), segment.width(), 1.2),
                                    0.6, 0.6);
        }
    }
    return image;
}

QImage timeButtonBackground() {
    QImage image = blank(34, 21);
    QPainter painter(&image);
    smooth(painter);
    const QRectF body(0.5, 0.5, 33.0, 20.0);
    QLinearGradient fill(body.topLeft(), body.bottomLeft());
    fill.setColorAt(0.0, QColor(0x30, 0x37, 0x40));
    fill.setColorAt(1.0, QColor(0x20, 0x25, 0x2B));
    painter.setPen(QPen(QColor(0x4A, 0x53, 0x60), 1.0));
    painter.setBrush(fill);
    painter.drawRoundedRect(body, 5.0, 5.0);
    return image;
}

QRectF rectOf(const GalewickLayout::Rect& rect) {
    return QRectF(rect.x, rect.y, rect.width, rect.height);
}

// A raised panel the controls sit on.
void raisedPanel(QPainter& painter, const QRectF& area) {
    QLinearGradient fill(area.topLeft(), area.bottomLeft());
    fill.setColorAt(0.0, QColor(0x25, 0x2B, 0x33));
    fill.setColorAt(1.0, QColor(0x1C, 0x21, 0x27));
    painter.setPen(QPen(QColor(0x33, 0x3A, 0x44), 1.0));
    painter.setBrush(fill);
    painter.drawRoundedRect(area.adjusted(0.5, 0.5, -0.5, -0.5), 8.0, 8.0);
    painter.setPen(QPen(QColor(255, 255, 255, 22), 1.0));
    painter.drawLine(QPointF(area.left() + 8, area.top() + 1.5),
                     QPointF(area.right() - 8, area.top() + 1.5));
}

// A sunken well (video, list, clock display).
void sunkenWell(QPainter& painter, const QRectF& area, const QColor& colour, double radius) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, 18));
    painter.drawRoundedRect(area.adjusted(-1, -1, 1, 2), radius + 1, radius + 1);
    painter.setBrush(colour);
    painter.setPen(QPen(QColor(0x07, 0x08, 0x0A), 1.0));
    painter.drawRoundedRect(area.adjusted(-0.5, -0.5, 0.5, 0.5), radius, radius);
}

QImage background() {
    using namespace GalewickLayout;
    QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    smooth(painter);

    QLinearGradient window(0, 0, 0, kHeight);
    window.setColorAt(0.0, QColor(0x23, 0x29, 0x30));
    window.setColorAt(1.0, QColor(0x15, 0x18, 0x1D));
    painter.fillRect(image.rect(), window);
    // A faint light from the upper left keeps the large surface from looking flat.
    QRadialGradient light(QPointF(kWidth * 0.25, 0), kWidth * 0.9);
    light.setColorAt(0.0, QColor(255, 255, 255, 14));
    light.setColorAt(1.0, QColor(255, 255, 255, 0));
    painter.fillRect(image.rect(), light);

    // Header strip.
    const QRectF header = rectOf(kHeader);
    QLinearGradient strip(header.topLeft(), header.bottomLeft());
    strip.setColorAt(0.0, QColor(0x2C, 0x33, 0x3B));
    strip.setColorAt(1.0, QColor(0x20, 0x25, 0x2B));
    painter.fillRect(header, strip);
    painter.setPen(QPen(QColor(0x0C, 0x0E, 0x11), 1.0));
    painter.drawLine(QPointF(0, header.bottom() - 0.5), QPointF(kWidth, header.bottom() - 0.5));
    painter.setPen(QPen(QColor(255, 255, 255, 20), 1.0));
    painter.drawLine(QPointF(0, header.bottom() + 0.5), QPointF(kWidth, header.bottom() + 0.5));
    // The accent tick before the status line.
    painter.setPen(Qt::NoPen);
    painter.setBrush(kAccent);
    painter.drawRoundedRect(QRectF(4, kStatusText.y + 3, 3, kStatusText.height - 6), 1.5, 1.5);

    // Video and annotation list wells.
    sunkenWell(painter, rectOf(kVideo), QColor(0, 0, 0), 3.0);
    sunkenWell(painter, rectOf(kAnnotationList), QColor(0x10, 0x13, 0x17), 3.0);

    // Time slider panel.
    raisedPanel(painter, rectOf(kTimeSlider).adjusted(-4, -4, 4, 2));

    // Bottom row panels.
    raisedPanel(painter, rectOf(kTransportPanel));
    raisedPanel(painter, rectOf(kTimeEntryPanel));
    raisedPanel(painter, rectOf(kChannelPanel));

    // The clock display under the transport buttons.
    const QRectF clock(kClockTime.x - 4, kClockTime.y - 2, kClockTime.width + 8,
                       kPlayTime.bottom() - kClockTime.y + 4);
    sunkenWell(painter, clock, QColor(0x0E, 0x11, 0x14), 4.0);

    // Wells for the two time edits.
    sunkenWell(painter, rectOf(kTimeEdit1), QColor(0x0E, 0x11, 0x14), 3.0);
    sunkenWell(painter, rectOf(kTimeEdit2), QColor(0x0E, 0x11, 0x14), 3.0);

    // The master strip stands apart from the channel strips.
    const Rect master = channelStrip(0, 0);
    painter.setPen(QPen(QColor(0x0C, 0x0E, 0x11), 1.0));
    painter.drawLine(QPointF(master.x - 3.5, kChannelStripTop),
                     QPointF(master.x - 3.5, kChannelStripTop + kChannelStripHeight));
    painter.setPen(QPen(QColor(255, 255, 255, 20), 1.0));
    painter.drawLine(QPointF(master.x - 2.5, kChannelStripTop),
                     QPointF(master.x - 2.5, kChannelStripTop + kChannelStripHeight));
    painter.end();
    return image;
}

// The application icon: a dark rounded square, teal level bars, a white play triangle and a red
// selection marker on a track, drawn for `size` x `size` pixels.
QImage icon(int size) {
    QImage image = blank(size, size);
    QPainter painter(&image);
    smooth(painter);
    painter.scale(size / 128.0, size / 128.0);
    QLinearGradient face(0, 8, 0, 120);
    face.setColorAt(0.0, QColor(0x3A, 0x43, 0x50));
    face.setColorAt(1.0, QColor(0x1C, 0x21, 0x28));
    painter.setPen(Qt::NoPen);
    painter.setBrush(face);
    painter.drawRoundedRect(QRectF(8, 8, 112, 112), 22, 22);
    painter.setPen(QPen(QColor(0x5B, 0x66, 0x75, 153), 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(8.5, 8.5, 111, 111), 21.5, 21.5);
    QLinearGradient wave(22, 0, 68, 0);
    wave.setColorAt(0.0, kAccent);
    wave.setColorAt(1.0, kAccentLight);
    painter.setPen(Qt::NoPen);
    painter.setBrush(wave);
    const double bars[][2] = {{56, 16}, {46, 36}, {36, 56}, {50, 28}, {42, 44}};
    for (int i = 0; i < 5; ++i) {
        painter.drawRoundedRect(QRectF(22 + i * 10, bars[i][0], 6, bars[i][1]), 3, 3);
    }
    painter.setBrush(QColor(0xF0, 0xF3, 0xF6));
    painter.drawPath(triangle({78, 40}, {108, 64}, {78, 88}));
    painter.setBrush(QColor(kAccent.red(), kAccent.green(), kAccent.blue(), 115));
    painter.drawRoundedRect(QRectF(22, 100, 84, 4), 2, 2);
    painter.setBrush(QColor(0xF0, 0x28, 0x28));
    painter.drawPath(triangle({56, 96}, {64, 104}, {48, 104}));
    return image;
}

std::vector<uint8_t> pngBytes(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    // Straight (not premultiplied) 8-bit RGBA.
    image.convertToFormat(QImage::Format_ARGB32).save(&buffer, "PNG");
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

std::vector<KorvalisResourceArchiveWriter::Body> drawAll() {
    using namespace ResourceNames;
    std::vector<std::pair<const char*, QImage>> images = {
        {kRewind, transportButton(Glyph::Rewind, false)},
        {kRewindPressed, transportButton(Glyph::Rewind, true)},
        {kPlay, transportButton(Glyph::Play, false)},
        {kPlayPressed, transportButton(Glyph::Play, true)},
        {kSpeedControlFrame, speedFrame()},
        {kFastForward, transportButton(Glyph::FastForward, false)},
        {kFastForwardPressed, transportButton(Glyph::FastForward, true)},
        {kAnnotatorUp, annotatorButton(false)},
        {kAnnotatorDown, annotatorButton(true)},
        {kMinimize, roundButton(false, false)},
        {kMinimizePressed, roundButton(false, true)},
        {kClose, roundButton(true, false)},
        {kClosePressed, roundButton(true, true)},
        {kPlayAll, transportButton(Glyph::PlayAll, false)},
        {kPlayAllOver, transportButton(Glyph::PlayAll, false, true)},
        {kBackground, background()},
    };
    std::vector<std::string> meterNames;
    for (int step = 0; step < 6; ++step) {
        char name[64];
        std::snprintf(name, sizeof name, kMeterFormat, step);
        meterNames.emplace_back(name);
    }
    std::vector<KorvalisResourceArchiveWriter::Body> bodies;
    for (const auto& [name, image] : images) {
        bodies.push_back({name, pngBytes(image)});
    }
    for (int step = 0; step < 6; ++step) {
        bodies.push_back({meterNames[static_cast<size_t>(step)], pngBytes(meter(step))});
    }
    bodies.push_back({kTimeButtonBackground, pngBytes(timeButtonBackground())});
    return bodies;
}

bool writeFile(const QString& path, const std::vector<uint8_t>& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) &&
           file.write(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<qint64>(bytes.size())) == static_cast<qint64>(bytes.size());
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication application(argc, argv);
    QString appendTo;
    QString writeDirectory;
    QString iconDirectory;
    const QStringList arguments = application.arguments();
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (i + 1 < arguments.size() && argument == QLatin1String("--append")) {
            appendTo = arguments[++i];
        } else if (i + 1 < arguments.size() && argument == QLatin1String("--write-dir")) {
            writeDirectory = arguments[++i];
        } else if (i + 1 < arguments.size() && argument == QLatin1String("--icons")) {
            iconDirectory = arguments[++i];
        } else {
            std::fprintf(stderr,
                         "usage: GalewickArtwork [--append PROGRAM] [--write-dir DIR] "
                         "[--icons DIR]\n");
            return 2;
        }
    }

    const std::vector<KorvalisResourceArchiveWriter::Body> bodies = drawAll();
    if (!writeDirectory.isEmpty()) {
        QDir().mkpath(writeDirectory);
        for (const auto& body : bodies) {
            QString name = QString::fromStdString(body.name);
            name.remove(QStringLiteral("Graphics\\"));
            if (!writeFile(writeDirectory + QLatin1Char('/') + name, body.bytes)) {
                std::fprintf(stderr, "GalewickArtwork: cannot write %s\n", qPrintable(name));
                return 1;
            }
        }
    }
    if (!iconDirectory.isEmpty()) {
        for (int size : {48, 128, 256}) {
            const QString directory = iconDirectory + QLatin1Char('/') + QString::number(size);
            QDir().mkpath(directory);
            if (!writeFile(directory + QStringLiteral("/org.korvalis.Galewick.png"),
                           pngBytes(icon(size)))) {
                std::fprintf(stderr, "GalewickArtwork: cannot write the %d-pixel icon\n", size);
                return 1;
            }
        }
    }
    if (!appendTo.isEmpty()) {
        std::string error;
        if (!KorvalisResourceArchiveWriter::append(appendTo.toStdString(), bodies, &error)) {
            std::fprintf(stderr, "GalewickArtwork: %s\n", error.c_str());
            return 1;
        }
    }
    return 0;
}
