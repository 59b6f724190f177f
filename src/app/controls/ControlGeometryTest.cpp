#include <QTest>
#include <cmath>
#include <limits>

#include "ClockTimeText.h"
#include "ControlGeometry.h"
#include "GalewickLayout.h"

// The controls' fixed formulas and the window's time texts, without any window.
class ControlGeometryTest : public QObject {
    Q_OBJECT

private slots:
    void meterImagesFollowTheLevelThresholds() {
        const struct {
            double level;
            int image;
        } cases[] = {{-5.0, 0}, {0.0, 0},  {3.0, 0},  {3.01, 1}, {25.0, 1}, {25.01, 2}, {50.0, 2},
                     {50.5, 3}, {75.0, 3}, {75.1, 4}, {90.0, 4}, {90.1, 5}, {100.0, 5}, {250.0, 5}};
        for (const auto& c : cases) {
            QVERIFY2(ControlGeometry::meterImageIndex(c.level) == c.image,
                     qPrintable(QString::number(c.level)));
        }
        QCOMPARE(ControlGeometry::meterImageIndex(std::numeric_limits<double>::quiet_NaN()), 0);
    }

    // Track from 10 to 117: the knob travels 10 .. 110 (100 pixels).
    void knobGainRunsFromMaximumAtTheTopToMinimumAtTheBottom() {
        QCOMPARE(ControlGeometry::knobGain(0.0f, 2.0f, 10, 117, 10), 2.0f);
        QCOMPARE(ControlGeometry::knobGain(0.0f, 2.0f, 10, 117, 110), 0.0f);
        QCOMPARE(ControlGeometry::knobGain(0.0f, 2.0f, 10, 117, 60), 1.0f);
        QCOMPARE(ControlGeometry::knobGain(0.0f, 2.0f, 10, 117, 35), 1.5f);
        // Places beyond the travel never give a gain outside the range.
        QCOMPARE(ControlGeometry::knobGain(0.0f, 2.0f, 10, 117, 117), 0.0f);
        QCOMPARE(ControlGeometry::knobGain(0.0f, 2.0f, 10, 117, 500), 0.0f);
        QCOMPARE(ControlGeometry::knobGain(0.0f, 2.0f, 10, 117, -40), 2.0f);
        // A track too short for the knob gives the maximum, not a division by zero.
        QCOMPARE(ControlGeometry::knobGain(0.0f, 2.0f, 10, 17, 10), 2.0f);

        QCOMPARE(ControlGeometry::knobForGain(1.0f, 0.0f, 2.0f, 10, 117), 60);
        QCOMPARE(ControlGeometry::knobForGain(2.0f, 0.0f, 2.0f, 10, 117), 10);
        QCOMPARE(ControlGeometry::knobForGain(0.0f, 0.0f, 2.0f, 10, 117), 110);
        QCOMPARE(ControlGeometry::knobForGain(9.0f, 0.0f, 2.0f, 10, 117), 10);
        for (int knob = 10; knob <= 110; ++knob) {
            const float gain = ControlGeometry::knobGain(0.0f, 2.0f, 10, 117, knob);
            QCOMPARE(ControlGeometry::knobForGain(gain, 0.0f, 2.0f, 10, 117), knob);
        }
    }

    void knobLevelIsTruncatedPercentOfTheTrack() {
        QCOMPARE(ControlGeometry::knobLevelPercent(10, 110, 10), 100);
        QCOMPARE(ControlGeometry::knobLevelPercent(10, 110, 60), 50);
        QCOMPARE(ControlGeometry::knobLevelPercent(0, 30, 1), 96);   // 96.67 truncated
        QCOMPARE(ControlGeometry::knobLevelPercent(0, 30, 20), 33);  // 33.3
        QCOMPARE(ControlGeometry::knobLevelPercent(10, 10, 10), 100);
    }

    // A 100-second session on a track from 10 to 210: two pixels per second.
    void sliderPixelsRoundHalvesAwayFromZeroAndClamp() {
        QCOMPARE(ControlGeometry::sliderPixelForTime(1000.0, 1000.0, 1100.0, 10, 210), 10);
        QCOMPARE(ControlGeometry::sliderPixelForTime(1100.0, 1000.0, 1100.0, 10, 210), 210);
        QCOMPARE(ControlGeometry::sliderPixelForTime(1050.0, 1000.0, 1100.0, 10, 210), 110);
        QCOMPARE(ControlGeometry::sliderPixelForTime(1000.25, 1000.0, 1100.0, 10, 210), 11);
        QCOMPARE(ControlGeometry::sliderPixelForTime(1000.2, 1000.0, 1100.0, 10, 210), 10);
        QCOMPARE(ControlGeometry::sliderPixelForTime(1000.75, 1000.0, 1100.0, 10, 210), 12);
        QCOMPARE(ControlGeometry::sliderPixelForTime(900.0, 1000.0, 1100.0, 10, 210), 10);
        QCOMPARE(ControlGeometry::sliderPixelForTime(5000.0, 1000.0, 1100.0, 10, 210), 210);
        // A session without length: everything at the left end.
        QCOMPARE(ControlGeometry::sliderPixelForTime(1000.0, 1000.0, 1000.0, 10, 210), 10);
        QCOMPARE(ControlGeometry::sliderPixelForTime(1200.0, 1000.0, 990.0, 10, 210), 10);
    }

    void sliderTimesAreWholeSecondsFromTheStart() {
        // 100.9 s is 100 whole seconds: 2 pixels per second.
        QCOMPARE(ControlGeometry::sliderTimeForPixel(10, 1000.0, 1100.9, 10, 210), 1000.0);
        QCOMPARE(ControlGeometry::sliderTimeForPixel(11, 1000.0, 1100.9, 10, 210), 1001.0);
        QCOMPARE(ControlGeometry::sliderTimeForPixel(12, 1000.0, 1100.9, 10, 210), 1001.0);
        QCOMPARE(ControlGeometry::sliderTimeForPixel(13, 1000.0, 1100.9, 10, 210), 1002.0);
        QCOMPARE(ControlGeometry::sliderTimeForPixel(210, 1000.0, 1100.9, 10, 210), 1100.0);
        QCOMPARE(ControlGeometry::sliderTimeForPixel(0, 1000.0, 1100.9, 10, 210), 1000.0);
        QCOMPARE(ControlGeometry::sliderTimeForPixel(999, 1000.0, 1100.9, 10, 210), 1100.0);
        // A fractional start keeps its fraction: the steps are whole seconds from it.
        QCOMPARE(ControlGeometry::sliderTimeForPixel(110, 1000.5, 1100.5, 10, 210), 1050.5);
        // Shorter than a second, or a track without width: the start.
        QCOMPARE(ControlGeometry::sliderTimeForPixel(100, 1000.0, 1000.7, 10, 210), 1000.0);
        QCOMPARE(ControlGeometry::sliderTimeForPixel(100, 1000.0, 1100.0, 10, 10), 1000.0);
        // Many seconds per pixel: 3600 s over 200 pixels, 18 s per pixel.
        QCOMPARE(ControlGeometry::sliderTimeForPixel(11, 0.0, 3600.0, 10, 210), 18.0);

        QCOMPARE(ControlGeometry::clampTime(900.0, 1000.0, 1100.0), 1000.0);
        QCOMPARE(ControlGeometry::clampTime(1200.0, 1000.0, 1100.0), 1100.0);
        QCOMPARE(ControlGeometry::clampTime(std::nan(""), 1000.0, 1100.0), 1000.0);
        QCOMPARE(ControlGeometry::roundHalfAwayFromZero(-2.5), -3L);
        QCOMPARE(ControlGeometry::roundHalfAwayFromZero(2.5), 3L);
    }

    // 2024-03-05 14:07:08 UTC.
    void clockTimesInTheLocationsZone() {
        const double afternoon = 1709647628.0;
        QCOMPARE(ClockTimeText::twelveHour(afternoon, 0), std::string("02:07:08 PM"));
        QCOMPARE(ClockTimeText::twentyFourHour(afternoon, 0), std::string("14:07:08"));
        QCOMPARE(ClockTimeText::twelveHour(afternoon, -5), std::string("09:07:08 AM"));
        QCOMPARE(ClockTimeText::twelveHour(afternoon + 0.999, -5), std::string("09:07:08 AM"));
        QCOMPARE(ClockTimeText::twelveHour(afternoon, 10), std::string("12:07:08 AM"));
        QCOMPARE(ClockTimeText::twentyFourHour(afternoon, 10), std::string("00:07:08"));
        QCOMPARE(ClockTimeText::date(afternoon, 10), std::string("03/06/2024"));
        QCOMPARE(ClockTimeText::date(afternoon, 0), std::string("03/05/2024"));
        const double noon = 1709640000.0;
        QCOMPARE(ClockTimeText::twelveHour(noon, 0), std::string("12:00:00 PM"));
        QCOMPARE(ClockTimeText::twelveHour(noon - 1.0, 0), std::string("11:59:59 AM"));
        const double halfPastMidnight = 1709598600.0;
        QCOMPARE(ClockTimeText::twelveHour(halfPastMidnight, 0), std::string("12:30:00 AM"));
        QCOMPARE(ClockTimeText::clockTime(halfPastMidnight, 0, true), std::string("00:30:00"));
        QCOMPARE(ClockTimeText::clockTime(halfPastMidnight, 0, false), std::string("12:30:00 AM"));
        // Nonsense times show the epoch rather than garbage.
        QCOMPARE(ClockTimeText::twentyFourHour(std::nan(""), 0), std::string("00:00:00"));
    }

    // Channel strips never overlap one another or the master strip and stay on their panel,
    // whatever the number of channels.
    void channelStripsShareThePanelWithoutOverlapping() {
        using namespace GalewickLayout;
        for (int count = 1; count <= 16; ++count) {
            const Rect master = channelStrip(count, count);
            QCOMPARE(master.width, kChannelStripWidth);
            QVERIFY(master.right() <= kChannelPanel.right());
            int previousRight = kChannelPanel.x;
            for (int index = 0; index < count; ++index) {
                const Rect strip = channelStrip(index, count);
                QVERIFY2(strip.x >= previousRight,
                         qPrintable(QString("%1 of %2").arg(index).arg(count)));
                QVERIFY(strip.width >= 8);
                QVERIFY2(strip.right() + 3 <= master.x, qPrintable(QString::number(count)));
                QVERIFY(strip.y >= kChannelPanel.y && strip.bottom() <= kChannelPanel.bottom());
                previousRight = strip.right();
            }
        }
        QCOMPARE(channelStrip(0, 4).width, kChannelStripWidth);
    }

    void elapsedTimes() {
        QCOMPARE(ClockTimeText::elapsed(0.0), std::string("00:00:00"));
        QCOMPARE(ClockTimeText::elapsed(3725.9), std::string("01:02:05"));
        QCOMPARE(ClockTimeText::elapsed(-3.0), std::string("00:00:00"));
        QCOMPARE(ClockTimeText::elapsed(12 * 3600.0), std::string("12:00:00"));
        QCOMPARE(ClockTimeText::elapsed(100 * 3600.0 + 61), std::string("100:01:01"));
        QCOMPARE(ClockTimeText::elapsed(std::numeric_limits<double>::infinity()),
                 std::string("00:00:00"));
    }
};

QTEST_MAIN(ControlGeometryTest)
#include "ControlGeometryTest.moc"
