#pragma once

// The fixed formulas of the windowless controls, as plain functions of numbers so that they can
// be checked without a window. Pixels are the owner's logical pixels; times are epoch seconds.
class ControlGeometry {
public:
    // The nearest whole number, halves away from zero.
    static long roundHalfAwayFromZero(double value);

    // Time slider: the pixel of time `t` on a track from `left` to `right` for a session from
    // `start` to `end`: left + round(|right - left| x (t - start) / (end - start)). Times
    // outside the session are clamped to its ends first; a session without length (end <=
    // start) puts every time at `left`.
    static int sliderPixelForTime(double t, double start, double end, int left, int right);
    // Time slider: the time under `pixel` (clamped to the track): start + round(pixel offset
    // from `left` / pixels per second) whole seconds, where pixels per second = track width /
    // session length in whole seconds. A session shorter than a second, or a track without
    // width, gives `start`.
    static double sliderTimeForPixel(int pixel, double start, double end, int left, int right);
    // `t` clamped to [start, end] (to `start` when end < start).
    static double clampTime(double t, double start, double end);

    // Audio channel control: the meter image (0-5) for a power level in percent: at most 3 -> 0,
    // up to 25 -> 1, up to 50 -> 2, up to 75 -> 3, up to 90 -> 4, above 90 -> 5.
    static int meterImageIndex(double powerLevelPercent);
    // The knob is a 7-pixel triangle travelling from `top` (its highest place) to `bottom` - 7
    // (its lowest). Gain = minimum + |maximum - minimum| x (bottom - knob - 7) / (bottom - top
    // - 7): the maximum at the top, the minimum at the lowest place; knob places outside the
    // travel are clamped to it.
    static constexpr int kKnobHeight = 7;
    static float knobGain(float minimum, float maximum, int top, int bottom, int knob);
    // The knob place (within the travel) nearest to the one giving `gain`.
    static int knobForGain(float gain, float minimum, float maximum, int top, int bottom);
    // The level reported when the knob is let go: 100 - (knob - top) / (bottom - top) x 100,
    // truncated (knob clamped to its travel; 100 when the track has no height).
    static int knobLevelPercent(int top, int bottom, int knob);
};
