#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>

#include "KovWriteCallback.h"
#include "MediaFileCheckpoint.h"

class EncodedAudioChunk;

// The audio file as the audio decoder sees it, sealed or not: its span of wall-clock time, its
// frames, a read position that can be set by offset or epoch time, saved and restored, chunks of
// encoded audio, and copies cut at epoch times. Times are epoch seconds (double); offsets and
// durations inside the file are float seconds.
class CompressedAudioFile {
public:
    explicit CompressedAudioFile(std::string fileName) : fileName_(std::move(fileName)) {}
    virtual ~CompressedAudioFile() = default;

    CompressedAudioFile(const CompressedAudioFile&) = delete;
    CompressedAudioFile& operator=(const CompressedAudioFile&) = delete;

    // Whether `fileName` follows this kind's naming scheme.
    virtual bool isValidFileName(const std::string& fileName) = 0;
    virtual double getStartTime() = 0;
    // getStartTime() + getDuration().
    virtual double getEndTime();
    virtual float getDuration() = 0;
    // Re-reads what may have changed while a recording grows. False when the file cannot be read.
    virtual bool refreshFileInformation() = 0;
    virtual uint32_t getFrameSize() = 0;
    virtual float getFrameDuration() = 0;
    virtual uint32_t getEncodedFrameSize() = 0;
    virtual float getEncodedFrameDuration() = 0;
    // Positions at `offsetSeconds` from the start; true only when the reached offset lies within
    // `toleranceSeconds` of it.
    virtual bool setPositionByTimeOffset(float offsetSeconds, float toleranceSeconds,
                                         float& reachedOffsetSeconds) = 0;
    // Not supported by any file kind: false.
    virtual bool reservedPositioning() { return false; }
    virtual bool setPositionByEpochTime(double epochTime, float toleranceSeconds,
                                        double& reachedEpochTime) = 0;
    // Reads in step with `other` (same position, same clock). False when `other` is not of this
    // kind or is this file.
    virtual bool slaveToAnotherFile(CompressedAudioFile* other) = 0;
    // A snapshot of the read position, owned by the caller.
    virtual std::unique_ptr<MediaFileCheckpoint> generateCheckpoint() = 0;
    virtual bool restoreCheckpoint(const MediaFileCheckpoint* checkpoint) = 0;
    virtual double getCurrentEpochTime() = 0;
    virtual float getCurrentTimeOffset() = 0;
    // The next `durationSeconds` of encoded audio at the read point, owned by the caller.
    // `endOfFile` tells that the file has no more. False when nothing could be read.
    virtual bool getNextEncodedChunk(std::unique_ptr<EncodedAudioChunk>& chunk, bool& endOfFile,
                                     float durationSeconds) = 0;
    // One CSV line per stamped frame: name time, stamp, difference, absolute difference.
    virtual void dumpTimingDataAsCsv(std::ostream& output) = 0;
    // Copies the file cut at two epoch times into three new files in `outputDirectory`, named by
    // the scheme with the times the cuts reached; the parts selected by `mode` (0 all, 1 first,
    // 2 middle, 3 last) come back as new file objects owned by the caller.
    virtual bool copyAndSplitAtEpochTime(double firstSplitTime, double secondSplitTime,
                                         const std::string& outputDirectory,
                                         std::unique_ptr<CompressedAudioFile>& firstPart,
                                         std::unique_ptr<CompressedAudioFile>& secondPart,
                                         std::unique_ptr<CompressedAudioFile>& thirdPart,
                                         float toleranceSeconds, KovWriteCallback callback,
                                         void* callbackContext, int mode) = 0;
    // The same with one cut into two parts (`mode` 0 both, 1 first, 3 second).
    virtual bool copyAndSplitAtEpochTime(double splitTime, const std::string& outputDirectory,
                                         std::unique_ptr<CompressedAudioFile>& firstPart,
                                         std::unique_ptr<CompressedAudioFile>& secondPart,
                                         float toleranceSeconds, KovWriteCallback callback,
                                         void* callbackContext, int mode) = 0;
    // Cuts at `splitTime` into the two given paths; `reachedTime` is where the cut landed.
    virtual bool copyAndSplitAtEpochTimeToPaths(double splitTime, double& reachedTime,
                                                const std::string& firstPartPath,
                                                const std::string& secondPartPath,
                                                float toleranceSeconds, KovWriteCallback callback,
                                                void* callbackContext, int mode, bool dryRun) = 0;
    // The reason the last split failed.
    virtual std::string getErrorText() = 0;
    // With `wholeFile`, true when [t1, t2] covers the whole file; otherwise true when the file and
    // [t1, t2] share any instant.
    virtual bool overlapsTimeRange(double t1, double t2, bool wholeFile);
    // Releases any open file handle.
    virtual void close() = 0;
    // False for placeholders of sealed audio, which yield no media.
    virtual bool isAvailable() = 0;
    // N1 of the file name.
    virtual int getFirstNameNumber() = 0;

    const std::string& fileName() const { return fileName_; }

private:
    std::string fileName_;
};
