#pragma once

#include "LiveInstanceCounter.h"

// A snapshot of a media file's read position, to be restored later. Each file kind derives its
// own; the base only counts live instances (a leak diagnostic).
class MediaFileCheckpoint {
public:
    virtual ~MediaFileCheckpoint() = default;

    static long liveInstances() {
        return LiveInstanceCounter<MediaFileCheckpoint>::liveInstances();
    }

private:
    LiveInstanceCounter<MediaFileCheckpoint> counter_;
};
