#pragma once

// The wall-clock span of one media file, as the sealing and copy transactions test it against a
// time range. Times are epoch seconds.
class MediaTimeSpan {
public:
    // True when the span [start, end] touches [t1, t2] (an end lying on the range counts); with
    // `wholeFile`, only when the range covers the whole span.
    static bool overlaps(double start, double end, double t1, double t2, bool wholeFile);
};
