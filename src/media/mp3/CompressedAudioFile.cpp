#include "CompressedAudioFile.h"

#include "MediaTimeSpan.h"

double CompressedAudioFile::getEndTime() {
    return getStartTime() + getDuration();
}

bool CompressedAudioFile::overlapsTimeRange(double t1, double t2, bool wholeFile) {
    const double start = getStartTime();
    return MediaTimeSpan::overlaps(start, start + getDuration(), t1, t2, wholeFile);
}
