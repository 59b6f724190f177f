#pragma once

// A stretch of a channel's time line covered by its files: epoch seconds from `start` to `end`,
// and whether the files there are sealed placeholders (no media to play).
struct TimeRange {
    double start = 0.0;
    double end = 0.0;
    bool sealed = false;

    bool operator==(const TimeRange&) const = default;
};
