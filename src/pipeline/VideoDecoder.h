#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <unordered_set>
#include <vector>

#include "CompressedVideoFile.h"
#include "VideoSegmentFrame.h"

// A session's video files (plain KOV files or sealed placeholders) as one stream of frames, in
// order of start time: reads frames from the current file and moves on when it ends, positions by
// wall-clock time, and answers which files cover a time range.
//
// Threads: every public operation holds the decoder's lock for its whole body (feeder thread:
// frames and positioning; refresh thread: adding and refreshing files). Only the current file
// holds an open descriptor once the decoder has moved away from the others or refreshed them.
class VideoDecoder {
public:
    VideoDecoder();
    virtual ~VideoDecoder();

    VideoDecoder(const VideoDecoder&) = delete;
    VideoDecoder& operator=(const VideoDecoder&) = delete;

    // Inserts the file before the first listed file that does not start earlier; until the decoder
    // is first read or positioned, the earliest file is current. A file whose name is listed
    // already is destroyed and false returned. Fatal check when `file` is null.
    bool addFileToDecodeList(std::unique_ptr<CompressedVideoFile> file);
    bool fileNameIsInDecodeList(const std::string& fileName);
    // Destroys every file.
    void removeAllFilesFromDecodeList();
    unsigned numberOfFilesIs();
    // The listed files in order; the decoder keeps ownership.
    std::vector<CompressedVideoFile*> filesInDecodeListIs();

    // The next frame (owned by the caller), decoded unless `compressed`, from the current file or
    // the following ones; a file that cannot deliver is skipped. `endOfData` (required) is set
    // when no frame came and the last file has ended.
    std::unique_ptr<VideoSegmentFrame> getNextFrame(bool* endOfData, bool compressed);
    // Positions the first file whose span holds `t` (ends included). A time in a gap between files
    // fails.
    bool setPositionByWallClockTime(double t, float tolerance);
    // Re-reads files that started less than `maximumAgeSeconds` ago and closes every file other
    // than the current one. True when nothing failed.
    bool refreshAllFileInformation(double maximumAgeSeconds);
    // Appends, in list order, every file for which overlapsTimeRange(t1, t2, wholeFile) holds; true
    // when one was appended. The decoder keeps ownership.
    bool getAllFilesInTimeRange(double t1, double t2, std::vector<CompressedVideoFile*>& out,
                                bool wholeFile);

private:
    struct Entry {
        std::unique_ptr<CompressedVideoFile> file;
        double startTime;
    };

    void makeCurrentLocked(size_t index);

    std::vector<Entry> files_;
    size_t current_ = 0;
    std::unordered_set<std::string> fileNames_;
    std::mutex lock_;
    // Until the decoder is first read or positioned, the earliest file is the current one.
    bool started_ = false;
};
