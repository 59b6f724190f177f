#pragma once

#include <atomic>

// A snapshot of a media file's read position, to be restored later. Each file kind derives its
// own; the base only counts live instances (a leak diagnostic).
class MediaFileCheckpoint {
public:
    MediaFileCheckpoint();
    MediaFileCheckpoint(const MediaFileCheckpoint& other);
    MediaFileCheckpoint& operator=(const MediaFileCheckpoint&) = default;
    virtual ~MediaFileCheckpoint();

    static long liveInstances();

private:
    static std::atomic<long> liveInstances_;
};
