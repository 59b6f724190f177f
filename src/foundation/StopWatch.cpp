#include "StopWatch.h"

void StopWatch::start() {
    start_ = Clock::now();
    stop_ = {};
}

void StopWatch::stop() {
    stop_ = Clock::now();
}

double StopWatch::elapsedSeconds() const {
    return std::chrono::duration<double>(stop_ - start_).count();
}

double StopWatch::monotonicSeconds() {
    return std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
}
