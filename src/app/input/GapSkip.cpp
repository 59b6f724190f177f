#include "GapSkip.h"

#include <cmath>

double GapSkip::skip(const std::vector<RecordedSegment>& segments, double targetSeconds,
                     bool backwards) {
    if (segments.size() < 2) {
        return 0.0;
    }
    for (const RecordedSegment& segment : segments) {
        if (segment.startSeconds <= targetSeconds && targetSeconds <= segment.endSeconds) {
            return 0.0;
        }
    }
    for (std::size_t i = 0; i + 1 < segments.size(); ++i) {
        const double gapStart = segments[i].endSeconds;
        const double gapEnd = segments[i + 1].startSeconds;
        if (gapStart < targetSeconds && targetSeconds < gapEnd) {
            return std::trunc(backwards ? gapStart : gapEnd);
        }
    }
    return 0.0;
}
