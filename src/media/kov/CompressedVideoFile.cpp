#include "CompressedVideoFile.h"

CompressedVideoFile::CompressedVideoFile(std::string fileName) : fileName_(std::move(fileName)) {}

CompressedVideoFile::~CompressedVideoFile() = default;

double CompressedVideoFile::getEndTime() {
    return getStartTime() + getDuration();
}

bool CompressedVideoFile::overlapsTimeRange(double t1, double t2, bool wholeFile) {
    const double start = getStartTime();
    const double end = start + getDuration();
    if (wholeFile) {
        return t1 <= start && t2 >= end;
    }
    return (end >= t1 && end <= t2) || (start >= t1 && start <= t2) || (start <= t1 && end >= t2);
}
