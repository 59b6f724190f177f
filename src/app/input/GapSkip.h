#pragma once

#include <vector>

#include "TransportTarget.h"

// Where a step that lands between two recorded segments should go instead. With fewer than two
// segments, or a target inside a segment (start <= target <= end), the answer is 0: no change.
// Otherwise, for the gap that holds the target, the answer is the earlier segment's end
// (backwards) or the later segment's start (forwards), truncated to whole seconds. A target
// before the first or after the last segment lies in no gap and also gives 0.
class GapSkip {
public:
    static double skip(const std::vector<RecordedSegment>& segments, double targetSeconds,
                       bool backwards);
};
