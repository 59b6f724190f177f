#include "ControlGeometry.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

long ControlGeometry::roundHalfAwayFromZero(double value) {
    return std::lround(value);
}

double ControlGeometry::clampTime(double t, double start, double end) {
    if (!(t > start) || end < start) {
        return start;
    }
    return t > end ? end : t;
}

int ControlGeometry::sliderPixelForTime(double t, double start, double end, int left, int right) {
    if (!(end > start)) {
        return left;
    }
    const double clamped = clampTime(t, start, end);
    const double span = std::abs(static_cast<double>(right) - static_cast<double>(left));
    return left + static_cast<int>(roundHalfAwayFromZero(span * (clamped - start) / (end - start)));
}

double ControlGeometry::sliderTimeForPixel(int pixel, double start, double end, int left,
                                           int right) {
    const int width = right - left;
    const double wholeSeconds = std::floor(end - start);
    if (width <= 0 || !(wholeSeconds >= 1.0)) {
        return start;
    }
    const int offset = std::clamp(pixel, left, right) - left;
    const double pixelsPerSecond = static_cast<double>(width) / wholeSeconds;
    return start + static_cast<double>(roundHalfAwayFromZero(offset / pixelsPerSecond));
}

int ControlGeometry::meterImageIndex(double powerLevelPercent) {
    const double p = powerLevelPercent;
    if (!(p > 3.0)) {  // also a level that is not a number
        return 0;
    }
    if (p <= 25.0) {
        return 1;
    }
    if (p <= 50.0) {
        return 2;
    }
    if (p <= 75.0) {
        return 3;
    }
    if (p <= 90.0) {
        return 4;
    }
    return 5;
}

float ControlGeometry::knobGain(float minimum, float maximum, int top, int bottom, int knob) {
    const int travel = bottom - top - kKnobHeight;
    if (travel <= 0) {
        return maximum;
    }
    const int place = std::clamp(knob, top, bottom - kKnobHeight);
    return minimum + std::abs(maximum - minimum) *
                         static_cast<float>(bottom - place - kKnobHeight) /
                         static_cast<float>(travel);
}

int ControlGeometry::knobForGain(float gain, float minimum, float maximum, int top, int bottom) {
    const int travel = bottom - top - kKnobHeight;
    const float range = std::abs(maximum - minimum);
    if (travel <= 0 || !(range > 0.0f)) {
        return top;
    }
    const float fraction = std::clamp((gain - minimum) / range, 0.0f, 1.0f);
    const long place = roundHalfAwayFromZero(static_cast<double>(fraction) * travel);
    return bottom - kKnobHeight - static_cast<int>(place);
}

int ControlGeometry::knobLevelPercent(int top, int bottom, int knob) {
    if (bottom <= top) {
        return 100;
    }
    const int place = std::clamp(knob, top, std::max(top, bottom - kKnobHeight));
    return static_cast<int>(100.0 - static_cast<double>(place - top) / (bottom - top) * 100.0);
}
