#include "MediaFileCheckpoint.h"

std::atomic<long> MediaFileCheckpoint::liveInstances_{0};

MediaFileCheckpoint::MediaFileCheckpoint() {
    liveInstances_.fetch_add(1, std::memory_order_relaxed);
}

MediaFileCheckpoint::MediaFileCheckpoint(const MediaFileCheckpoint&) : MediaFileCheckpoint() {}

MediaFileCheckpoint::~MediaFileCheckpoint() {
    liveInstances_.fetch_sub(1, std::memory_order_relaxed);
}

long MediaFileCheckpoint::liveInstances() {
    return liveInstances_.load(std::memory_order_relaxed);
}
