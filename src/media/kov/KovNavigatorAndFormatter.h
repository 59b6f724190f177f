#pragma once

#include <cstdint>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "KovFileHeader.h"
#include "KovFrameHeader.h"
#include "KovWriteCallback.h"
#include "VideoSegmentNavigator.h"

class VideoSegmentFrame;

// The one class that touches KOV files. As a reader it learns a file's first and final frame,
// reads frames one after another and positions the read point by wall-clock time (a byte-rate
// estimate, a scan for the frame marker, then a short frame-by-frame walk). As a writer it writes
// a new file frame by frame, to disk or through a write callback, and it splits a file at a
// wall-clock time into two new files.
//
// Every public operation holds the navigator's re-entrant lock for its whole run, so a navigator
// may be shared by the decoding thread and the user-interface thread.
class KovNavigatorAndFormatter : public VideoSegmentNavigator {
public:
    // Modes of splitAtEpochTime.
    static constexpr int kSplitBothParts = 0;
    static constexpr int kSplitFirstPartOnly = 1;
    static constexpr int kSplitSecondPartOnly = 3;

    // Times closer than this are the same frame time.
    static constexpr double kTimeResolution = 0.001;
    // Targets within this many seconds of the read point are walked to frame by frame.
    static constexpr double kSearchWindowSeconds = 10.0;
    // Targets within this many seconds of the read point do not move it.
    static constexpr double kNoMoveSeconds = 1.0 / 30.0;
    // Bytes read at an estimated position and scanned for a frame (0xC800) ...
    static constexpr uint32_t kEstimateScanBytes = 51200;
    // ... and bytes at the end of a file scanned for its final frame.
    static constexpr uint32_t kFinalFrameScanBytes = 102400;

    // An empty navigator: no file, zero headers.
    KovNavigatorAndFormatter();
    ~KovNavigatorAndFormatter() override;
    KovNavigatorAndFormatter(const KovNavigatorAndFormatter&) = delete;
    KovNavigatorAndFormatter& operator=(const KovNavigatorAndFormatter&) = delete;

    bool setCurrentFrameByWallClockTime(double epochTime, float toleranceSeconds) override;
    bool setCurrentFrameByTimeOffsetFromStart(double offsetSeconds, float unused) override;
    bool setCurrentFrameByTimeOffsetFromCurrent(double offsetSeconds, float unused) override;
    bool reservedOperation(void* unused) override;
    bool getCurrentFrame(std::unique_ptr<VideoSegmentFrame>& frame) override;
    bool getCurrentFrameAndAdvance(std::unique_ptr<VideoSegmentFrame>& frame,
                                   bool* endOfFile) override;
    double getCurrentFrameEpochTime() override;
    // Current frame's time minus the first frame's: positive inside the file.
    float getCurrentTimeOffsetFromStart() override;
    double getFirstFrameEpochTime() override;
    float getTotalDuration() override;

    // Copies this file into `firstPartPath` (the frames before the split frame) and
    // `secondPartPath` (the split frame, the one nearest `splitTime`, and all after it); mode
    // kSplitBothParts, kSplitFirstPartOnly or kSplitSecondPartOnly selects the parts written (any
    // other mode writes none). See splitAtEpochTimes: a part without frames is not written.
    virtual bool splitAtEpochTime(double splitTime, const std::string& firstPartPath,
                                  const std::string& secondPartPath, float toleranceSeconds,
                                  KovWriteCallback callback, void* callbackContext, int mode);
    // One part of a split: where it goes, whether it is wanted, and afterwards whether it was
    // written (a wanted part that holds no frame is not).
    struct SplitPart {
        std::string path;
        bool wanted = true;
        bool written = false;
    };
    // Cuts this file at `splitTimes` (ascending) into splitTimes.size() + 1 parts and copies the
    // wanted ones to their paths, or through `callback`. Part i + 1 opens with the frame nearest
    // splitTimes[i] (the first of frames sharing its time), and every part's header carries its
    // first frame's time as start time. Every frame of the file lands in exactly one part, in
    // order; a part without frames is not written. The whole file is read before anything is
    // written: when a frame cannot be read, a time lies outside the file or a part cannot be
    // written, the result is false with the reason in getErrorText(), and parts already begun on
    // disk are removed (a callback is never sent the finished call of a part the split did not
    // complete).
    bool splitAtEpochTimes(const std::vector<double>& splitTimes, std::vector<SplitPart>& parts,
                           float toleranceSeconds, KovWriteCallback callback,
                           void* callbackContext);
    // Starts writing a new file under the navigator's file name (truncating it) or through
    // `callback`: writes a header with the standard frame-header table and resets the frame
    // counter. False when the file cannot be opened or written, or the callback refuses.
    virtual bool writeFileHeader(double startTime, int64_t highResolutionCounterFrequency,
                                 uint32_t frameWidth, uint32_t frameHeight,
                                 uint32_t targetFrameRate, const std::string& frameEncoding,
                                 KovWriteCallback callback, void* callbackContext);
    // Appends `frame` (its image's data-length bytes) after the frames written so far, chaining
    // the offsets; `isLast` makes it point to itself as the next frame and closes the file (or
    // sends the callback its finished call). False when a write failed or the file would grow
    // past what 32-bit offsets reach.
    virtual bool appendFrame(const VideoSegmentFrame& frame, bool isLast, KovWriteCallback callback,
                             void* callbackContext);

    // Stores the file name and closes the file; with `refresh`, reads the file's information.
    void setFileName(const std::string& fileName, bool refresh);
    std::string getFileName() const;
    // Reads the file header, the first and the final frame header. A file that was not open is
    // left positioned at its first frame; an open one keeps its read point. False when the file
    // cannot be opened or read, or has no final frame.
    bool refreshFileInformation();
    // Re-reads the file's information when `force` is set or its size changed since it was last
    // measured, keeping the read point. False only when the read point cannot be restored.
    bool refreshIfFileChanged(bool force);
    // Opens the file for reading unless it is open. Failures are logged.
    bool openFileReadOnlyIfRequired();
    // Closes the file and opens it afresh for reading and writing, truncated (made if missing).
    bool forceReopenFileForReadWrite();
    // Closes the file; the next read opens it again.
    void closeFile();
    // Finds the last frame header of the file from its end into `header`, keeping the read
    // point: the last marker that starts a frame, even when the frame's Offset_To_This_Frame is
    // wrong. False when the file cannot be read or holds no frame marker.
    bool getFinalFrameHeader(KovFrameHeader& header);
    // Positions at the frame nearest `epochTime`: walks there when it is within `windowSeconds`
    // of the read point, otherwise estimates the position from the file's byte rate first.
    bool setCurrentFrameByWallClockTimeSmartSearch(double epochTime, float toleranceSeconds,
                                                   double windowSeconds);
    // Moves the read point one frame along the chain; false (read point unchanged) when the
    // frame there is not valid.
    bool moveToNextFrame();
    bool moveToPriorFrame();
    // The reason the last split failed ("" after a successful one).
    std::string getErrorText() const;

    // Snapshots of what the last refresh learnt.
    KovFileHeader fileHeaderIs() const;
    KovFrameHeader firstFrameHeaderIs() const;
    KovFrameHeader finalFrameHeaderIs() const;
    // File size in bytes as last measured by getFinalFrameHeader.
    uint64_t fileSizeIs() const;
    // Bytes of the file, as last measured, that make no whole frame at its end: 0 for a file that
    // ends where its final frame ends; more for one cut off inside a frame (a crash of the
    // recorder, a copy broken off, or a file still being written).
    uint64_t bytesAfterFinalFrameIs() const;

private:
    bool seekTo(uint64_t position);
    // Position of the stream, or -1.
    int64_t position();
    // The file's size now, keeping the stream position.
    uint64_t measureFileSize();
    bool moveByOneFrame(bool forwards);
    bool stepSearch(double epochTime, float toleranceSeconds);
    // Starting at `from`, the file position of the first frame block whose marker and checksum
    // are right and which names its own position; false when none lies within reach.
    bool scanForwardsForFrame(uint64_t from, uint64_t& blockPosition);
    // Whether a marker found at `blockPosition` starts a frame that names its own position.
    bool isFrameAt(uint64_t blockPosition, KovFrameHeader& header);
    bool readFinalFrameHeader(KovFrameHeader& header, uint64_t& blockPosition);
    // Why writing these parts would destroy data ("" when it would not).
    std::string splitPathConflict(const std::vector<SplitPart>& parts) const;
    // Where each split time cuts the file, learnt by reading every frame header from the first
    // frame to the end of the file.
    struct SplitSurvey {
        size_t frameCount = 0;
        double firstTime = 0.0;
        double lastTime = 0.0;
        std::vector<size_t> cuts;  // index of the frame that opens each later part
    };
    // False, with the reason in the error text, when the frames do not run contiguously from the
    // header to the end of the file.
    bool surveyForSplit(const std::vector<double>& splitTimes, SplitSurvey& survey);
    bool copyParts(const SplitSurvey& survey, std::vector<SplitPart>& parts,
                   KovWriteCallback callback, void* callbackContext);

    mutable std::recursive_mutex lock_;
    std::string fileName_;
    std::fstream stream_;
    KovFileHeader fileHeader_;
    KovFrameHeader firstFrameHeader_;
    KovFrameHeader finalFrameHeader_;
    KovFrameHeader currentFrameHeader_;
    uint64_t fileSize_ = 0;
    // File positions of the first and final frame headers found by the last refresh (a frame's own
    // Offset_To_This_Frame may say otherwise).
    uint64_t firstFramePosition_ = 0;
    uint64_t finalFramePosition_ = 0;
    // Where getFinalFrameHeader found the last header it read.
    uint64_t lastFinalFramePosition_ = 0;
    // Append state: offsets of the frame being written, the next and the prior frame.
    uint32_t thisOffset_ = 0;
    uint32_t nextOffset_ = 0;
    uint32_t priorOffset_ = 0;
    uint32_t frameCounter_ = 0;
    std::string errorText_;
};
