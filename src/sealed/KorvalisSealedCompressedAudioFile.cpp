#include "KorvalisSealedCompressedAudioFile.h"

#include <new>

#include "EncodedAudioChunk.h"
#include "KorvalisEncryptedMediaFile.h"
#include "MediaFileName.h"
#include "PointerChecks.h"

KorvalisSealedCompressedAudioFile::KorvalisSealedCompressedAudioFile(
    const std::string& sealedFilePath)
    : CompressedAudioFile(sealedFilePath) {
    bool trailerRead = false;
    encryptedFile_.reset(new (std::nothrow) KorvalisEncryptedMediaFile(
        MediaFileName::directoryOf(sealedFilePath), MediaFileName::fileNameOf(sealedFilePath),
        trailerRead));
    CHECK_ALLOCATION(encryptedFile_);
    currentEpochTime_ = encryptedFile_->getStartTime();
}

KorvalisSealedCompressedAudioFile::~KorvalisSealedCompressedAudioFile() = default;

bool KorvalisSealedCompressedAudioFile::isValidFileName(const std::string&) {
    return false;
}

double KorvalisSealedCompressedAudioFile::getStartTime() {
    return encryptedFile_->getStartTime();
}

float KorvalisSealedCompressedAudioFile::getDuration() {
    return static_cast<float>(encryptedFile_->getDuration());
}

bool KorvalisSealedCompressedAudioFile::refreshFileInformation() {
    return false;
}

uint32_t KorvalisSealedCompressedAudioFile::getFrameSize() {
    return 0;
}

float KorvalisSealedCompressedAudioFile::getFrameDuration() {
    return 0.0f;
}

uint32_t KorvalisSealedCompressedAudioFile::getEncodedFrameSize() {
    return 0;
}

float KorvalisSealedCompressedAudioFile::getEncodedFrameDuration() {
    return 0.0f;
}

bool KorvalisSealedCompressedAudioFile::setPositionByTimeOffset(float offsetSeconds, float,
                                                                float& reachedOffsetSeconds) {
    std::lock_guard guard(mutex_);
    // Offsets before the start are outside the span as much as those after its end.
    if (!(offsetSeconds >= 0.0f) || offsetSeconds > getDuration()) {
        return false;
    }
    reachedOffsetSeconds = offsetSeconds;
    currentEpochTime_ = getStartTime() + offsetSeconds;
    return true;
}

bool KorvalisSealedCompressedAudioFile::setPositionByEpochTime(double epochTime,
                                                               float toleranceSeconds,
                                                               double& reachedEpochTime) {
    std::lock_guard guard(mutex_);
    if (epochTime < getStartTime() || epochTime > getEndTime()) {
        return false;
    }
    float reachedOffset = 0.0f;
    if (!setPositionByTimeOffset(static_cast<float>(epochTime - getStartTime()), toleranceSeconds,
                                 reachedOffset)) {
        return false;
    }
    // The position is the time asked for, not its float offset rounded back.
    currentEpochTime_ = epochTime;
    reachedEpochTime = epochTime;
    return true;
}

bool KorvalisSealedCompressedAudioFile::slaveToAnotherFile(CompressedAudioFile*) {
    return false;
}

std::unique_ptr<MediaFileCheckpoint> KorvalisSealedCompressedAudioFile::generateCheckpoint() {
    return nullptr;
}

bool KorvalisSealedCompressedAudioFile::restoreCheckpoint(const MediaFileCheckpoint*) {
    return false;
}

double KorvalisSealedCompressedAudioFile::getCurrentEpochTime() {
    std::lock_guard guard(mutex_);
    return currentEpochTime_;
}

float KorvalisSealedCompressedAudioFile::getCurrentTimeOffset() {
    std::lock_guard guard(mutex_);
    return static_cast<float>(currentEpochTime_ - getStartTime());
}

bool KorvalisSealedCompressedAudioFile::getNextEncodedChunk(
    std::unique_ptr<EncodedAudioChunk>& chunk, bool& endOfFile, float) {
    chunk.reset();
    endOfFile = true;
    return false;
}

void KorvalisSealedCompressedAudioFile::dumpTimingDataAsCsv(std::ostream&) {}

bool KorvalisSealedCompressedAudioFile::copyAndSplitAtEpochTime(
    double, double, const std::string&, std::unique_ptr<CompressedAudioFile>&,
    std::unique_ptr<CompressedAudioFile>&, std::unique_ptr<CompressedAudioFile>&, float,
    KovWriteCallback, void*, int) {
    return false;
}

bool KorvalisSealedCompressedAudioFile::copyAndSplitAtEpochTime(
    double, const std::string&, std::unique_ptr<CompressedAudioFile>&,
    std::unique_ptr<CompressedAudioFile>&, float, KovWriteCallback, void*, int) {
    return false;
}

bool KorvalisSealedCompressedAudioFile::copyAndSplitAtEpochTimeToPaths(double, double&,
                                                                       const std::string&,
                                                                       const std::string&, float,
                                                                       KovWriteCallback, void*, int,
                                                                       bool) {
    return false;
}

std::string KorvalisSealedCompressedAudioFile::getErrorText() {
    return {};
}

void KorvalisSealedCompressedAudioFile::close() {}

bool KorvalisSealedCompressedAudioFile::isAvailable() {
    return false;
}

int KorvalisSealedCompressedAudioFile::getFirstNameNumber() {
    MediaFileName name;
    return MediaFileName::parse(encryptedFile_->getOriginalFileName(), name) ? name.n1() : 0;
}
