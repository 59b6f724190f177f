#include <QMouseEvent>
#include <QTest>

#include "Win32_VideoDisplayWindow.h"

namespace {

// A frame of `width` x `height` whose left half is pure blue and right half pure red, stored as
// 24-bit blue-green-red rows.
LatestVideoFrame twoColourFrame(uint32_t width, uint32_t height, uint64_t sequence) {
    LatestVideoFrame frame;
    frame.width = width;
    frame.height = height;
    frame.epochTime = 1709647628.0;
    frame.sequenceNumber = sequence;
    for (uint32_t row = 0; row < height; ++row) {
        for (uint32_t column = 0; column < width; ++column) {
            const bool left = column < width / 2;
            frame.pixels.push_back(left ? 255 : 0);  // blue
            frame.pixels.push_back(0);               // green
            frame.pixels.push_back(left ? 0 : 255);  // red
        }
    }
    return frame;
}

}  // namespace

class Win32_VideoDisplayWindowTest : public QObject {
    Q_OBJECT

private slots:
    void framesAreDrawnInBlueGreenRedOrderScaledWithTheirProportions() {
        Win32_VideoDisplayWindow window;
        QCOMPARE(window.objectName(), QStringLiteral("Video Display Wnd"));
        window.resize(160, 80);
        QVERIFY(!window.hasFrame());
        QCOMPARE(window.grab().toImage().pixelColor(80, 40), QColor(Qt::black));

        QVERIFY(window.showFrame(twoColourFrame(40, 40, 1)));
        QVERIFY(window.hasFrame());
        // A square frame in a 160 x 80 window: 80 x 80 in the middle, black bars beside it.
        const QImage shown = window.grab().toImage();
        QCOMPARE(shown.pixelColor(60, 40), QColor(0, 0, 255));
        QCOMPARE(shown.pixelColor(100, 40), QColor(255, 0, 0));
        QCOMPARE(shown.pixelColor(20, 40), QColor(Qt::black));
        QCOMPARE(shown.pixelColor(140, 40), QColor(Qt::black));

        window.clearFrame();
        QVERIFY(!window.hasFrame());
        QCOMPARE(window.grab().toImage().pixelColor(60, 40), QColor(Qt::black));
    }

    void damagedFramesAreRefusedAndTheHeldOneKept() {
        Win32_VideoDisplayWindow window;
        window.resize(40, 40);
        QVERIFY(window.showFrame(twoColourFrame(4, 4, 1)));
        LatestVideoFrame shortBuffer = twoColourFrame(4, 4, 2);
        shortBuffer.pixels.resize(4 * 4 * 3 - 1);
        QVERIFY(!window.showFrame(shortBuffer));
        LatestVideoFrame huge = twoColourFrame(4, 4, 3);
        huge.width = 1u << 30;
        QVERIFY(!window.showFrame(huge));
        LatestVideoFrame none = twoColourFrame(4, 4, 4);
        none.epochTime = -1.0;
        QVERIFY(!window.showFrame(none));
        QCOMPARE(window.frame().sequenceNumber, uint64_t{1});
        QCOMPARE(window.image().size(), QSize(4, 4));
    }

    // The frame is asked for at paint time; a frame already held is not copied again.
    void theFrameSourceIsAskedWhenPainting() {
        Win32_VideoDisplayWindow window;
        window.resize(40, 40);
        int asked = 0;
        uint64_t sequence = 7;
        window.setFrameSource([&](LatestVideoFrame& frame) {
            ++asked;
            frame = twoColourFrame(2, 2, sequence);
            return true;
        });
        const QImage first = window.grab().toImage();
        QCOMPARE(asked, 1);
        QCOMPARE(window.frame().sequenceNumber, uint64_t{7});
        QCOMPARE(first.pixelColor(5, 20), QColor(0, 0, 255));
        sequence = 8;
        window.grab();
        QCOMPARE(asked, 2);
        QCOMPARE(window.frame().sequenceNumber, uint64_t{8});
    }

    void scaledPlacesKeepProportionsAndCentre() {
        QCOMPARE(Win32_VideoDisplayWindow::scaledFrameRect(QSize(320, 240), QRect(0, 0, 400, 240)),
                 QRect(40, 0, 320, 240));
        QCOMPARE(
            Win32_VideoDisplayWindow::scaledFrameRect(QSize(640, 480), QRect(10, 10, 288, 216)),
            QRect(10, 10, 288, 216));
        QCOMPARE(Win32_VideoDisplayWindow::scaledFrameRect(QSize(100, 50), QRect(0, 0, 100, 100)),
                 QRect(0, 25, 100, 50));
        QVERIFY(Win32_VideoDisplayWindow::scaledFrameRect(QSize(0, 50), QRect(0, 0, 100, 100))
                    .isEmpty());
        QVERIFY(Win32_VideoDisplayWindow::scaledFrameRect(QSize(10, 50), QRect()).isEmpty());
    }

    void mousePressesAreTakenAndIgnored() {
        Win32_VideoDisplayWindow window;
        window.resize(40, 40);
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        press.ignore();
        QCoreApplication::sendEvent(&window, &press);
        QVERIFY(press.isAccepted());
    }
};

QTEST_MAIN(Win32_VideoDisplayWindowTest)
#include "Win32_VideoDisplayWindowTest.moc"
