#pragma once

#include <memory>
#include <string>

#include "CompressedVideoFile.h"

class KorvalisEncryptedMediaFile;

// Stands in the video time line for video that has been sealed: it occupies the sealed span and
// reports its start, end and duration, but cannot be positioned in, yields no frames and never
// decrypts. Only the sealed file's trailer is read, once, when the object is made.
class SealedCompressedVideoFile : public CompressedVideoFile {
public:
    explicit SealedCompressedVideoFile(const std::string& sealedFilePath);
    ~SealedCompressedVideoFile() override;

    bool isValidFileName(const std::string& fileName) override;
    double getStartTime() override;
    float getDuration() override;
    bool refreshFileInformation() override;
    // No positioning inside a sealed span: false.
    bool setPositionByTimeOffsetFromStart(float offsetSeconds, float toleranceSeconds,
                                          float& reachedOffset) override;
    bool setPositionByTimeOffsetFromCurrent(float offsetSeconds, float toleranceSeconds,
                                            float& reachedOffset) override;
    bool setPositionByEpochTime(double epochTime, float toleranceSeconds,
                                double& reachedEpochTime) override;
    double getCurrentEpochTime() override;
    float getCurrentTimeOffset() override;
    // Hands out no frame: sets `endOfFile` (when given) and returns false.
    bool getNextFrame(std::unique_ptr<VideoSegmentFrame>& frame, bool* endOfFile,
                      bool compressed) override;
    void dumpTimingDataAsCsv(std::ostream& output) override;
    bool copyAndSplitAtEpochTime(double firstSplitTime, double secondSplitTime,
                                 const std::string& outputDirectory,
                                 std::unique_ptr<CompressedVideoFile>& firstPart,
                                 std::unique_ptr<CompressedVideoFile>& secondPart,
                                 std::unique_ptr<CompressedVideoFile>& thirdPart,
                                 float toleranceSeconds, KovWriteCallback callback,
                                 void* callbackContext, int mode) override;
    bool copyAndSplitAtEpochTime(double splitTime, const std::string& outputDirectory,
                                 std::unique_ptr<CompressedVideoFile>& firstPart,
                                 std::unique_ptr<CompressedVideoFile>& secondPart,
                                 float toleranceSeconds, KovWriteCallback callback,
                                 void* callbackContext, int mode) override;
    bool copyAndSplitAtEpochTimeToPaths(double splitTime, const std::string& firstPartPath,
                                        const std::string& secondPartPath, float toleranceSeconds,
                                        KovWriteCallback callback, void* callbackContext,
                                        int mode) override;
    std::string getErrorText() override;
    bool close() override;
    // False: a sealed span yields no media.
    bool isAvailable() override;
    // True: the placeholder is a valid member of the time line.
    bool isValid() override;

    const KorvalisEncryptedMediaFile& encryptedFile() const { return *encryptedFile_; }

private:
    std::unique_ptr<KorvalisEncryptedMediaFile> encryptedFile_;
};
