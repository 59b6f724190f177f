#include "FlushRecorder.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <mutex>
#include <set>
#include <utility>

namespace {

using FileIdentity = std::pair<dev_t, ino_t>;

std::mutex gLock;
bool gRecording = false;
std::set<FileIdentity> gFlushed;
size_t gFlushCount = 0;

void note(int descriptor) {
    struct stat status {};
    if (::fstat(descriptor, &status) != 0) {
        return;
    }
    std::lock_guard lock(gLock);
    if (gRecording) {
        gFlushed.insert({status.st_dev, status.st_ino});
        ++gFlushCount;
    }
}

using FlushFunction = int (*)(int);

FlushFunction next(const char* name) {
    return reinterpret_cast<FlushFunction>(::dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" int fsync(int descriptor) {
    static const FlushFunction real = next("fsync");
    note(descriptor);
    return real(descriptor);
}

extern "C" int fdatasync(int descriptor) {
    static const FlushFunction real = next("fdatasync");
    note(descriptor);
    return real(descriptor);
}

FlushRecorder::FlushRecorder() {
    std::lock_guard lock(gLock);
    gRecording = true;
    gFlushed.clear();
    gFlushCount = 0;
}

FlushRecorder::~FlushRecorder() {
    std::lock_guard lock(gLock);
    gRecording = false;
}

bool FlushRecorder::wasFlushed(const std::string& path) const {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        return false;
    }
    std::lock_guard lock(gLock);
    return gFlushed.count({status.st_dev, status.st_ino}) > 0;
}

size_t FlushRecorder::flushCount() const {
    std::lock_guard lock(gLock);
    return gFlushCount;
}
