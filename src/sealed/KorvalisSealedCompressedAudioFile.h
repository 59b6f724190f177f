#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "CompressedAudioFile.h"

class KorvalisEncryptedMediaFile;

// Stands in a channel's time line for audio that has been sealed: it occupies the sealed span,
// reports its start, end and duration and accepts positioning inside it, but yields no audio and
// never decrypts. Only the sealed file's trailer is read, once, when the object is made; a file
// whose trailer cannot be read reports the span -1.0 .. -1.0.
class KorvalisSealedCompressedAudioFile : public CompressedAudioFile {
public:
    explicit KorvalisSealedCompressedAudioFile(const std::string& sealedFilePath);
    ~KorvalisSealedCompressedAudioFile() override;

    // False: sealed files follow no naming scheme of their own.
    bool isValidFileName(const std::string& fileName) override;
    double getStartTime() override;
    float getDuration() override;
    bool refreshFileInformation() override;
    uint32_t getFrameSize() override;
    float getFrameDuration() override;
    uint32_t getEncodedFrameSize() override;
    float getEncodedFrameDuration() override;
    // Moves the position to start + offset when 0 <= offset <= duration (the tolerance is not
    // needed: every instant of the span can be reached).
    bool setPositionByTimeOffset(float offsetSeconds, float toleranceSeconds,
                                 float& reachedOffsetSeconds) override;
    bool setPositionByEpochTime(double epochTime, float toleranceSeconds,
                                double& reachedEpochTime) override;
    bool slaveToAnotherFile(CompressedAudioFile* other) override;
    // No checkpoint: null.
    std::unique_ptr<MediaFileCheckpoint> generateCheckpoint() override;
    bool restoreCheckpoint(const MediaFileCheckpoint* checkpoint) override;
    double getCurrentEpochTime() override;
    float getCurrentTimeOffset() override;
    // Hands out no chunk: sets `endOfFile` and returns false.
    bool getNextEncodedChunk(std::unique_ptr<EncodedAudioChunk>& chunk, bool& endOfFile,
                             float durationSeconds) override;
    void dumpTimingDataAsCsv(std::ostream& output) override;
    // Sealed files are never split: false, nothing written.
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
    bool copyAndSplitAtEpochTimeToPaths(double splitTime, double& reachedTime,
                                        const std::string& firstPartPath,
                                        const std::string& secondPartPath, float toleranceSeconds,
                                        KovWriteCallback callback, void* callbackContext, int mode,
                                        bool dryRun) override;
    std::string getErrorText() override;
    // Nothing is held open.
    void close() override;
    // False: a sealed span yields no media.
    bool isAvailable() override;
    // N1 of the original file's name as the trailer records it (0 when that name does not
    // follow the scheme).
    int getFirstNameNumber() override;

    // The sealed file as read (its trailer fields).
    const KorvalisEncryptedMediaFile& encryptedFile() const { return *encryptedFile_; }

private:
    std::unique_ptr<KorvalisEncryptedMediaFile> encryptedFile_;
    // Guards the position; re-entrant because positioning by time goes through the offset.
    std::recursive_mutex mutex_;
    double currentEpochTime_;
};
