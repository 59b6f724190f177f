#pragma once

#include <memory>
#include <ostream>
#include <string>

#include "KovWriteCallback.h"
#include "VideoSegmentFrame.h"

// A video file of a session as the decoders and the sealing and copy operations see it, whether
// a plain KOV file or a sealed placeholder: its time range, positioning by wall-clock time, its
// frames, a timing dump and cutting at wall-clock times. Times are epoch seconds (double);
// offsets and durations inside the file are float seconds.
class CompressedVideoFile {
public:
    // Modes of the splits: which parts are written.
    static constexpr int kSplitAllParts = 0;
    static constexpr int kSplitFirstPartOnly = 1;
    static constexpr int kSplitMiddlePartOnly = 2;  // two split times only
    static constexpr int kSplitLastPartOnly = 3;

    explicit CompressedVideoFile(std::string fileName);
    virtual ~CompressedVideoFile();
    CompressedVideoFile(const CompressedVideoFile&) = delete;
    CompressedVideoFile& operator=(const CompressedVideoFile&) = delete;

    virtual bool isValidFileName(const std::string& fileName) = 0;
    virtual double getStartTime() = 0;
    // getStartTime() + getDuration().
    virtual double getEndTime();
    virtual float getDuration() = 0;
    virtual bool refreshFileInformation() = 0;
    // Positions at the frame nearest the time `offsetSeconds` after the start; `reachedOffset`
    // is the position reached, in seconds after the start.
    virtual bool setPositionByTimeOffsetFromStart(float offsetSeconds, float toleranceSeconds,
                                                  float& reachedOffset) = 0;
    virtual bool setPositionByTimeOffsetFromCurrent(float offsetSeconds, float toleranceSeconds,
                                                    float& reachedOffset) = 0;
    // Positions at the frame nearest `epochTime`; `reachedEpochTime` is that frame's time.
    virtual bool setPositionByEpochTime(double epochTime, float toleranceSeconds,
                                        double& reachedEpochTime) = 0;
    virtual double getCurrentEpochTime() = 0;
    virtual float getCurrentTimeOffset() = 0;
    // The next frame (owned by the caller), as stored when `compressed` is set, else decoded.
    // `endOfFile`, when given, is set when the file end was met.
    virtual bool getNextFrame(std::unique_ptr<VideoSegmentFrame>& frame, bool* endOfFile,
                              bool compressed) = 0;
    // One CSV line per frame; odd time stamps are logged (and a backward jump reported).
    virtual void dumpTimingDataAsCsv(std::ostream& output) = 0;
    // Cuts the file at two times into up to three new files in `outputDirectory`, named by the
    // media file name scheme; the parts the mode selects come back (owned by the caller), the
    // others stay null.
    virtual bool copyAndSplitAtEpochTime(double firstSplitTime, double secondSplitTime,
                                         const std::string& outputDirectory,
                                         std::unique_ptr<CompressedVideoFile>& firstPart,
                                         std::unique_ptr<CompressedVideoFile>& secondPart,
                                         std::unique_ptr<CompressedVideoFile>& thirdPart,
                                         float toleranceSeconds, KovWriteCallback callback,
                                         void* callbackContext, int mode) = 0;
    // Cuts the file at one time into up to two new files in `outputDirectory`.
    virtual bool copyAndSplitAtEpochTime(double splitTime, const std::string& outputDirectory,
                                         std::unique_ptr<CompressedVideoFile>& firstPart,
                                         std::unique_ptr<CompressedVideoFile>& secondPart,
                                         float toleranceSeconds, KovWriteCallback callback,
                                         void* callbackContext, int mode) = 0;
    // Cuts the file at one time into the two given paths.
    virtual bool copyAndSplitAtEpochTimeToPaths(double splitTime, const std::string& firstPartPath,
                                                const std::string& secondPartPath,
                                                float toleranceSeconds, KovWriteCallback callback,
                                                void* callbackContext, int mode) = 0;
    // Why the last split failed.
    virtual std::string getErrorText() = 0;
    // With `wholeFile`: the file lies entirely inside [t1, t2]. Otherwise: the file and the range
    // overlap (an end of the file inside the range, or the range inside the file).
    virtual bool overlapsTimeRange(double t1, double t2, bool wholeFile);
    virtual bool close() = 0;
    // False for placeholders whose media cannot be read.
    virtual bool isAvailable() = 0;
    virtual bool isValid() = 0;

    const std::string& getFileName() const { return fileName_; }

private:
    const std::string fileName_;
};
