#include "CompressedVideoFile.h"

#include "MediaTimeSpan.h"

CompressedVideoFile::CompressedVideoFile(std::string fileName) : fileName_(std::move(fileName)) {}

CompressedVideoFile::~CompressedVideoFile() = default;

double CompressedVideoFile::getEndTime() {
    return getStartTime() + getDuration();
}

bool CompressedVideoFile::overlapsTimeRange(double t1, double t2, bool wholeFile) {
    const double start = getStartTime();
    return MediaTimeSpan::overlaps(start, start + getDuration(), t1, t2, wholeFile);
}
