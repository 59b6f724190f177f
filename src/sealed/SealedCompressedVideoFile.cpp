#include "SealedCompressedVideoFile.h"

#include <new>

#include "KorvalisEncryptedMediaFile.h"
#include "MediaFileName.h"
#include "PointerChecks.h"

SealedCompressedVideoFile::SealedCompressedVideoFile(const std::string& sealedFilePath)
    : CompressedVideoFile(sealedFilePath) {
    bool trailerRead = false;
    encryptedFile_.reset(new (std::nothrow) KorvalisEncryptedMediaFile(
        MediaFileName::directoryOf(sealedFilePath), MediaFileName::fileNameOf(sealedFilePath),
        trailerRead));
    CHECK_ALLOCATION(encryptedFile_);
}

SealedCompressedVideoFile::~SealedCompressedVideoFile() = default;

bool SealedCompressedVideoFile::isValidFileName(const std::string&) {
    return false;
}

double SealedCompressedVideoFile::getStartTime() {
    return encryptedFile_->getStartTime();
}

float SealedCompressedVideoFile::getDuration() {
    return static_cast<float>(encryptedFile_->getDuration());
}

bool SealedCompressedVideoFile::refreshFileInformation() {
    return false;
}

bool SealedCompressedVideoFile::setPositionByTimeOffsetFromStart(float, float, float&) {
    return false;
}

bool SealedCompressedVideoFile::setPositionByTimeOffsetFromCurrent(float, float, float&) {
    return false;
}

bool SealedCompressedVideoFile::setPositionByEpochTime(double, float, double&) {
    return false;
}

double SealedCompressedVideoFile::getCurrentEpochTime() {
    return 0.0;
}

float SealedCompressedVideoFile::getCurrentTimeOffset() {
    return 0.0f;
}

bool SealedCompressedVideoFile::getNextFrame(std::unique_ptr<VideoSegmentFrame>& frame,
                                             bool* endOfFile, bool) {
    frame.reset();
    if (endOfFile != nullptr) {
        *endOfFile = true;
    }
    return false;
}

void SealedCompressedVideoFile::dumpTimingDataAsCsv(std::ostream&) {}

bool SealedCompressedVideoFile::copyAndSplitAtEpochTime(double, double, const std::string&,
                                                        std::unique_ptr<CompressedVideoFile>&,
                                                        std::unique_ptr<CompressedVideoFile>&,
                                                        std::unique_ptr<CompressedVideoFile>&,
                                                        float, KovWriteCallback, void*, int) {
    return false;
}

bool SealedCompressedVideoFile::copyAndSplitAtEpochTime(double, const std::string&,
                                                        std::unique_ptr<CompressedVideoFile>&,
                                                        std::unique_ptr<CompressedVideoFile>&,
                                                        float, KovWriteCallback, void*, int) {
    return false;
}

bool SealedCompressedVideoFile::copyAndSplitAtEpochTimeToPaths(double, const std::string&,
                                                               const std::string&, float,
                                                               KovWriteCallback, void*, int) {
    return false;
}

std::string SealedCompressedVideoFile::getErrorText() {
    return {};
}

bool SealedCompressedVideoFile::close() {
    return true;
}

bool SealedCompressedVideoFile::isAvailable() {
    return false;
}

bool SealedCompressedVideoFile::isValid() {
    return true;
}
