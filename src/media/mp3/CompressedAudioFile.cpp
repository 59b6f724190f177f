#include "CompressedAudioFile.h"

double CompressedAudioFile::getEndTime() {
    return getStartTime() + getDuration();
}

bool CompressedAudioFile::overlapsTimeRange(double t1, double t2, bool wholeFile) {
    const double start = getStartTime();
    const double end = start + getDuration();
    if (wholeFile) {
        return t1 <= start && t2 >= end;
    }
    return (end >= t1 && end <= t2) || (start >= t1 && start <= t2) || (start <= t1 && end >= t2);
}
