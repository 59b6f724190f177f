#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "CompressedAudioFile.h"
#include "MediaFileName.h"
#include "MpegAudioFile.h"

// One timed MP3 file of a recorded channel. Wall-clock time comes from the file name
// (PREFIX~SECONDS~MILLISECONDS~N1~N2~N3.mp3: the start time) and, while reading, from the stamps
// that frames may carry (Mp3FrameStamp): a stamp re-anchors the clock at its frame.
//
// Handles: none after construction; reading opens the file through MpegAudioFile (one descriptor
// at most, released at the end of the file, by close() and by the process-wide open-file limit),
// and a split holds one more for the part it writes. The object adds no lock of its own: it is used
// by one decoder thread at a time, and every file access goes through MpegAudioFile's lock.
class KorvalisMp3CompressedAudioFile : public CompressedAudioFile {
public:
    // The read position of a timed MP3 file and the clock anchor in force there.
    class KorvalisMp3MediaFileCheckpoint : public MediaFileCheckpoint {
    public:
        KorvalisMp3MediaFileCheckpoint(float timeOffset, int64_t anchorBytePosition,
                                       double anchorEpochTime, bool useEmbeddedStamps)
            : timeOffset_(timeOffset),
              anchorBytePosition_(anchorBytePosition),
              anchorEpochTime_(anchorEpochTime),
              useEmbeddedStamps_(useEmbeddedStamps) {}

        float timeOffset() const { return timeOffset_; }
        int64_t anchorBytePosition() const { return anchorBytePosition_; }
        double anchorEpochTime() const { return anchorEpochTime_; }
        bool useEmbeddedStamps() const { return useEmbeddedStamps_; }

    private:
        float timeOffset_;
        int64_t anchorBytePosition_;
        double anchorEpochTime_;
        bool useEmbeddedStamps_;
    };

    // Reads the name and the first frame, then closes the file again. The session media set
    // passes true for `useEmbeddedStamps`.
    KorvalisMp3CompressedAudioFile(const std::string& path, bool useEmbeddedStamps);
    ~KorvalisMp3CompressedAudioFile() override;

    // The name follows the scheme and the first frame is a usable MPEG audio frame header.
    bool isValid() const { return valid_; }

    bool isValidFileName(const std::string& fileName) override;
    double getStartTime() override { return startTime_; }
    float getDuration() override;
    bool refreshFileInformation() override;
    uint32_t getFrameSize() override;
    float getFrameDuration() override;
    uint32_t getEncodedFrameSize() override;
    float getEncodedFrameDuration() override;
    // False for a negative offset.
    bool setPositionByTimeOffset(float offsetSeconds, float toleranceSeconds,
                                 float& reachedOffsetSeconds) override;
    // Positions at epoch time - start time; `reachedEpochTime` is written in every case.
    bool setPositionByEpochTime(double epochTime, float toleranceSeconds,
                                double& reachedEpochTime) override;
    // Takes the other file's read point and clock anchor and stops following stamps.
    bool slaveToAnotherFile(CompressedAudioFile* other) override;
    std::unique_ptr<MediaFileCheckpoint> generateCheckpoint() override;
    // The checkpoint must come from a timed MP3 file (a fatal check otherwise).
    bool restoreCheckpoint(const MediaFileCheckpoint* checkpoint) override;
    // Start time + offset, or, once a stamp anchored the clock, the anchor's time plus the frames
    // read since the anchor's frame.
    double getCurrentEpochTime() override;
    float getCurrentTimeOffset() override;
    // A chunk of round(duration / frame duration) whole frames (fewer at the end of the file),
    // timed by getCurrentEpochTime() and, with stamps in use, by the first stamp it carries.
    // Frames of varying size are read by their own headers, and bytes between frames left out.
    // False with endOfFile at the end; false without it (and getErrorText()) when the file
    // cannot be read on: a read error, a frame of another format, or nothing but junk.
    bool getNextEncodedChunk(std::unique_ptr<EncodedAudioChunk>& chunk, bool& endOfFile,
                             float durationSeconds) override;
    // Walks the whole file; the read point is kept.
    void dumpTimingDataAsCsv(std::ostream& output) override;
    bool copyAndSplitAtEpochTime(double firstSplitTime, double secondSplitTime,
                                 const std::string& outputDirectory,
                                 std::unique_ptr<CompressedAudioFile>& firstPart,
                                 std::unique_ptr<CompressedAudioFile>& secondPart,
                                 std::unique_ptr<CompressedAudioFile>& thirdPart,
                                 float toleranceSeconds, KovWriteCallback callback,
                                 void* callbackContext, int mode) override;
    bool copyAndSplitAtEpochTime(double splitTime, const std::string& outputDirectory,
                                 std::unique_ptr<CompressedAudioFile>& firstPart,
                                 std::unique_ptr<CompressedAudioFile>& secondPart,
                                 float toleranceSeconds, KovWriteCallback callback,
                                 void* callbackContext, int mode) override;
    // False when `splitTime` lies outside [start, start + duration].
    bool copyAndSplitAtEpochTimeToPaths(double splitTime, double& reachedTime,
                                        const std::string& firstPartPath,
                                        const std::string& secondPartPath, float toleranceSeconds,
                                        KovWriteCallback callback, void* callbackContext, int mode,
                                        bool dryRun) override;
    std::string getErrorText() override { return errorText_; }
    void close() override;
    bool isAvailable() override { return true; }
    int getFirstNameNumber() override { return name_.n1(); }

    const MediaFileName& name() const { return name_; }
    MpegAudioFile& mpegAudioFile() { return mpegAudioFile_; }
    // Frames of the whole file that carry a stamp; the read point is kept.
    uint64_t countStampedFrames();
    // The clock anchor (epoch time -1.0 while there is none).
    double anchorEpochTime() const { return anchorEpochTime_; }
    int64_t anchorBytePosition() const { return anchorBytePosition_; }
    bool usesEmbeddedStamps() const { return useEmbeddedStamps_; }

private:
    void applyEmbeddedStamps(EncodedAudioChunk& chunk);
    // The bytes are frames of the first frame's form and size back to back.
    bool uniformFrames(const uint8_t* bytes, uint32_t length, uint32_t frameSize);
    // A chunk of up to `frames` frames from the read point, each sized by its own header, with
    // what lies between frames left out. False at the end of the file, and (with the error text,
    // `endOfFile` false) at a frame of another format or where nothing but junk follows.
    bool readVaryingFrames(uint32_t frames, double startTime,
                           std::unique_ptr<EncodedAudioChunk>& chunk, bool& endOfFile);
    // Calls `visit` with each whole frame from the start of the file and its offset in seconds.
    void forEachFrame(const std::function<void(const uint8_t* frame, uint32_t size,
                                               double offsetSeconds)>& visit);

    bool valid_ = false;
    MpegAudioFile mpegAudioFile_;
    MediaFileName name_;
    double startTime_ = 0.0;
    int64_t anchorBytePosition_ = 0;
    double anchorEpochTime_ = -1.0;
    bool useEmbeddedStamps_;
    std::string errorText_;
};
