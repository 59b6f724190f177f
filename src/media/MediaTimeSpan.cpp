#include "MediaTimeSpan.h"

bool MediaTimeSpan::overlaps(double start, double end, double t1, double t2, bool wholeFile) {
    if (wholeFile) {
        return t1 <= start && t2 >= end;
    }
    return (end >= t1 && end <= t2) || (start >= t1 && start <= t2) || (start <= t1 && end >= t2);
}
