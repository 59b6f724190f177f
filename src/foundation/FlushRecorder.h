#pragma once

#include <sys/types.h>

#include <string>

// For tests: records which files and directories the process flushes to disk. An executable
// linked with this takes the place of the C library's fsync and fdatasync with versions that
// note the flushed file (device and inode, so a file renamed afterwards is still recognised)
// and then pass the call on. Recording runs while a recorder object lives; one at a time.
class FlushRecorder {
public:
    FlushRecorder();
    ~FlushRecorder();

    FlushRecorder(const FlushRecorder&) = delete;
    FlushRecorder& operator=(const FlushRecorder&) = delete;

    // True when the file or directory now at `path` was flushed since the recorder started.
    bool wasFlushed(const std::string& path) const;
    // How many flushes were recorded.
    size_t flushCount() const;
};
