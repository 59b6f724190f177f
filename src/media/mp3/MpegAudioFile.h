#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "KovWriteCallback.h"
#include "MpegAudioFrameHeader.h"

// Byte-level access to one constant-bit-rate MPEG audio file (the recorder's MP3 channel files):
// the first frame's header, frame size and durations derived from it, positioning by arithmetic on
// the frame size, raw frame reads, and copies of the file cut at time offsets. It never decodes.
//
// File handles: the file is opened on demand and holds at most one read descriptor. Reading to the
// end of the file and close() release it; so does the process-wide limit on open MPEG audio files
// (setMaximumOpenFiles), which closes the least recently used idle file when another one opens. The
// read point survives every close. A split holds one more descriptor, for the part being written,
// until it returns.
//
// Every public operation holds the file's own re-entrant lock; one object may be used by the
// decoding thread and a copy or sealing worker.
class MpegAudioFile {
public:
    // Nothing is opened until an operation needs the file.
    explicit MpegAudioFile(std::string fileName);
    virtual ~MpegAudioFile();

    MpegAudioFile(const MpegAudioFile&) = delete;
    MpegAudioFile& operator=(const MpegAudioFile&) = delete;

    // Reads the first frame's header (again, unless `reuse` and a header was read before) and
    // measures the file. True when the header is a usable MPEG audio frame header. With `reuse`,
    // a file opened by this call is closed again. An open failure is logged and returns false.
    // Other operations parse on demand once; after a failure only this call tries again.
    bool parseAndBufferFirstFrame(bool reuse);
    // Releases the read descriptor; the read point is kept. Always true.
    bool close();
    // True while a read descriptor is held.
    bool isOpen();

    uint32_t getFrameSize();
    float getFrameDuration();
    float getTotalDuration();
    uint32_t getSampleRate();
    uint32_t getSamplesPerFrame();
    MpegAudioFrameHeader getFirstFrameHeader();
    // Bytes, as last measured.
    uint64_t getFileSize();
    const std::string& fileName() const { return fileName_; }

    // Moves the read point to the start of the frame holding `offsetSeconds` (from the start of
    // the file); `reachedSeconds` receives that frame's offset. False when the offset is negative
    // or past the total duration, or the file has no usable header; nothing is reported then.
    bool setPositionByTimeOffset(float offsetSeconds, float& reachedSeconds);
    // (read point / frame size, whole frames) x frame duration; 0 when the frame size is 0.
    float getCurrentTimeOffset();
    // The read point in bytes from the start of the file.
    uint64_t getStreamPosition();
    // Moves the read point to a byte position; false (nothing moved) beyond the end of the file
    // (measured again when the position lies beyond the size last measured).
    bool setStreamPosition(uint64_t position);

    // Reads whole frames at the read point: min(count, bufferSize / frame size) frames, fewer at
    // the end of the file (a truncated last frame is never handed out). `bytesRead` and `endOfFile`
    // report what happened; false when no frame could be read.
    bool readFrames(uint32_t count, uint8_t* buffer, uint32_t bufferSize, uint32_t& bytesRead,
                    bool& endOfFile);
    // Reads up to `count` bytes at the read point, frames or not, and moves past them;
    // `endOfFile` when the file ended first. False when nothing could be read.
    bool readBytes(uint8_t* buffer, uint32_t count, uint32_t& bytesRead, bool& endOfFile);
    // Sets the read point to `other`'s. False when the position lies beyond this file's end.
    bool copyPositionFromAnotherFile(MpegAudioFile& other);

    // Copies the file cut at `offsetSeconds` into the parts [0, p) and [p, end): `mode` 0 writes
    // both, 1 the first, 3 the second; a part with no bytes is not written. Without a callback the
    // parts become files at the paths (truncated; removed again when writing fails); with one the
    // bytes go to the callback in pieces of at most 2 MiB, then one finished call, per part.
    // `reachedSeconds` receives the frame offset the cut lands on. A dry run only reports it and
    // leaves the read point at the cut; otherwise the read point is restored. False, with
    // getErrorText(), when the offset lies outside the file or further than `toleranceSeconds`
    // from its frame, when a part would overwrite this file, or when reading or writing fails.
    bool copyAndSplitAtOffset(float offsetSeconds, float& reachedSeconds,
                              const std::string& firstPartPath, const std::string& secondPartPath,
                              float toleranceSeconds, KovWriteCallback callback,
                              void* callbackContext, int mode, bool dryRun);
    // The same with two cuts, into [0, p1), [p1, p2) and [p2, end): `mode` 0 writes all three, 1
    // the first, 2 the middle, 3 the last. Both cuts must lie after the first frame.
    bool copyAndSplitAtOffset(float firstOffsetSeconds, float secondOffsetSeconds,
                              float& firstReachedSeconds, float& secondReachedSeconds,
                              const std::string& firstPartPath, const std::string& secondPartPath,
                              const std::string& thirdPartPath, float toleranceSeconds,
                              KovWriteCallback callback, void* callbackContext, int mode,
                              bool dryRun);
    // The same two splits for callers that hold epoch times, in double precision throughout: an
    // offset within half a microsecond of a frame start is that frame start (and within any
    // tolerance of it), and the reached offsets are the frames' exact starts (frame index x
    // samples per frame / sample rate).
    bool copyAndSplitAtSeconds(double offsetSeconds, double& reachedSeconds,
                               const std::string& firstPartPath, const std::string& secondPartPath,
                               float toleranceSeconds, KovWriteCallback callback,
                               void* callbackContext, int mode, bool dryRun);
    bool copyAndSplitAtSeconds(double firstOffsetSeconds, double secondOffsetSeconds,
                               double& firstReachedSeconds, double& secondReachedSeconds,
                               const std::string& firstPartPath, const std::string& secondPartPath,
                               const std::string& thirdPartPath, float toleranceSeconds,
                               KovWriteCallback callback, void* callbackContext, int mode,
                               bool dryRun);
    // The reason the last split failed.
    std::string getErrorText();

    // The most MPEG audio files the process keeps open at once (256 unless set; at least 1).
    static void setMaximumOpenFiles(size_t maximum);
    static size_t maximumOpenFiles();
    // MPEG audio files holding a read descriptor now.
    static size_t openFileCount();

private:
    class Operation;

    bool ensureParsed();
    // A field of the header or the file, read under the lock after parsing on demand.
    template <typename Field>
    Field parsedValue(const Field& field);
    bool ensureOpen();
    void releaseDescriptor();
    bool readAt(uint64_t offset, uint8_t* buffer, uint64_t count, uint64_t& got);
    uint64_t frameIndexAt(double offsetSeconds) const;
    bool positionAt(float offsetSeconds, float& reachedSeconds, uint64_t& bytePosition);
    bool writesOverThisFile(const std::string& path) const;
    // Parses the file again and finds the frame start each offset cuts the file at. False, with
    // the error text, when an offset lies outside the file or its tolerance, or (when
    // `mustFollowFirstFrame`) on the very start.
    // With `exact`, offsets are taken as double-precision times (exactPositionAt); otherwise as
    // the float offsets of the original interface (positionAt).
    bool findCuts(const double* offsetsSeconds, double* reachedSeconds, uint64_t* cuts, int count,
                  float toleranceSeconds, bool mustFollowFirstFrame, bool exact);
    // The frame start nearest below `offsetSeconds`, or the one within half a microsecond above
    // it, in exact frame arithmetic. `distanceSeconds` is 0 for an offset taken as its frame.
    bool exactPositionAt(double offsetSeconds, double& reachedSeconds, uint64_t& bytePosition,
                         double& distanceSeconds);
    bool splitInTwo(double offsetSeconds, double& reachedSeconds, const std::string& firstPartPath,
                    const std::string& secondPartPath, float toleranceSeconds,
                    KovWriteCallback callback, void* callbackContext, int mode, bool dryRun,
                    bool exact);
    bool splitInThree(const double* offsetsSeconds, double* reachedSeconds,
                      const std::string& firstPartPath, const std::string& secondPartPath,
                      const std::string& thirdPartPath, float toleranceSeconds,
                      KovWriteCallback callback, void* callbackContext, int mode, bool dryRun,
                      bool exact);
    bool copyPart(uint64_t begin, uint64_t end, const std::string& path, KovWriteCallback callback,
                  void* callbackContext, bool& readFailed, bool& writeFailed);
    // One part of a split: bytes [begin, end) to `path`, when selected by the mode.
    struct Part {
        uint64_t begin;
        uint64_t end;
        const std::string* path;
        bool selected;
    };
    bool writeParts(const Part* parts, int count, KovWriteCallback callback, void* callbackContext,
                    bool onePointTexts);

    static void evictIdleFilesFor(MpegAudioFile* opened);

    std::recursive_mutex lock_;
    const std::string fileName_;
    int descriptor_ = -1;
    unsigned busy_ = 0;
    std::atomic<uint64_t> lastUse_{0};
    uint64_t position_ = 0;
    uint8_t headerBytes_[MpegAudioFrameHeader::kSize] = {};
    MpegAudioFrameHeader header_;
    bool parsed_ = false;
    bool parseAttempted_ = false;
    uint64_t fileSize_ = 0;
    uint32_t frameSize_ = 0;
    float frameDuration_ = 0.0f;
    float totalDuration_ = 0.0f;
    std::string errorText_;
};
