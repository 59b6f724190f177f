#include "VideoDecoder.h"

#include <algorithm>

#include "PointerChecks.h"
#include "WallClockTime.h"

VideoDecoder::VideoDecoder() = default;

VideoDecoder::~VideoDecoder() {
    removeAllFilesFromDecodeList();
}

bool VideoDecoder::addFileToDecodeList(std::unique_ptr<CompressedVideoFile> file) {
    CHECK_POINTER(file);
    std::lock_guard guard(lock_);
    if (fileNames_.count(file->getFileName()) != 0) {
        return false;  // the offered file is destroyed here
    }
    const double startTime = file->getStartTime();
    // Before the first file that does not start earlier.
    const auto place =
        std::lower_bound(files_.begin(), files_.end(), startTime,
                         [](const Entry& entry, double time) { return entry.startTime < time; });
    const size_t index = static_cast<size_t>(place - files_.begin());
    const bool wasEmpty = files_.empty();
    fileNames_.insert(file->getFileName());
    CompressedVideoFile* added = file.get();
    files_.insert(place, Entry{std::move(file), startTime});
    if (wasEmpty) {
        current_ = 0;
    } else if (!started_ && index == 0) {
        files_[1].file->close();  // the earliest file is current until reading starts
        current_ = 0;
    } else {
        if (index <= current_) {
            ++current_;
        }
        // A session holds hundreds of video files: only the one being read stays open.
        added->close();
    }
    return true;
}

bool VideoDecoder::fileNameIsInDecodeList(const std::string& fileName) {
    std::lock_guard guard(lock_);
    return fileNames_.count(fileName) != 0;
}

void VideoDecoder::removeAllFilesFromDecodeList() {
    std::lock_guard guard(lock_);
    files_.clear();
    fileNames_.clear();
    current_ = 0;
    started_ = false;
}

unsigned VideoDecoder::numberOfFilesIs() {
    std::lock_guard guard(lock_);
    return static_cast<unsigned>(files_.size());
}

std::vector<CompressedVideoFile*> VideoDecoder::filesInDecodeListIs() {
    std::lock_guard guard(lock_);
    std::vector<CompressedVideoFile*> files;
    files.reserve(files_.size());
    for (const Entry& entry : files_) {
        files.push_back(entry.file.get());
    }
    return files;
}

void VideoDecoder::makeCurrentLocked(size_t index) {
    started_ = true;
    if (index != current_ && current_ < files_.size()) {
        files_[current_].file->close();
    }
    current_ = index;
}

std::unique_ptr<VideoSegmentFrame> VideoDecoder::getNextFrame(bool* endOfData, bool compressed) {
    CHECK_POINTER(endOfData);
    std::lock_guard guard(lock_);
    *endOfData = false;
    if (files_.empty()) {
        *endOfData = true;
        return nullptr;
    }
    started_ = true;
    std::unique_ptr<VideoSegmentFrame> frame;
    bool nextFileExists = false;
    for (;;) {
        bool endOfFile = false;
        frame.reset();
        if (!files_[current_].file->getNextFrame(frame, &endOfFile, compressed)) {
            frame.reset();
        }
        nextFileExists = current_ + 1 < files_.size();
        if (frame || !nextFileExists) {
            break;
        }
        makeCurrentLocked(current_ + 1);
        float reachedOffset = 0.0f;
        files_[current_].file->setPositionByTimeOffsetFromStart(0.0f, 1.0f, reachedOffset);
    }
    *endOfData = !frame && !nextFileExists;
    return frame;
}

bool VideoDecoder::setPositionByWallClockTime(double t, float tolerance) {
    std::lock_guard guard(lock_);
    for (size_t i = 0; i < files_.size(); ++i) {
        const double start = files_[i].startTime;
        if (start > t) {
            break;  // the list is in order of start time: no later file holds t
        }
        CompressedVideoFile* file = files_[i].file.get();
        if (t <= start + static_cast<double>(file->getDuration())) {
            double reached = 0.0;
            const bool positioned = file->setPositionByEpochTime(t, tolerance, reached);
            if (positioned) {
                makeCurrentLocked(i);
            } else if (i != current_) {
                file->close();
            }
            return positioned;
        }
    }
    return false;
}

bool VideoDecoder::refreshAllFileInformation(double maximumAgeSeconds) {
    std::lock_guard guard(lock_);
    const double now = WallClockTime().asUtcSeconds();
    bool result = true;
    for (Entry& entry : files_) {
        if (now - entry.startTime < maximumAgeSeconds) {
            result = entry.file->refreshFileInformation() && result;
        }
    }
    for (size_t i = 0; i < files_.size(); ++i) {
        if (i != current_) {
            result = files_[i].file->close() && result;
        }
    }
    return result;
}

bool VideoDecoder::getAllFilesInTimeRange(double t1, double t2,
                                          std::vector<CompressedVideoFile*>& out, bool wholeFile) {
    std::lock_guard guard(lock_);
    bool appended = false;
    for (const Entry& entry : files_) {
        if (entry.file->overlapsTimeRange(t1, t2, wholeFile)) {
            out.push_back(entry.file.get());
            appended = true;
        }
    }
    return appended;
}
