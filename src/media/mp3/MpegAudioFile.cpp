#include "MpegAudioFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <filesystem>
#include <utility>
#include <vector>

#include "AvDebugLogger.h"
#include "FileIo.h"
#include "SystemError.h"

namespace {

// Parts of a split are copied in blocks of this size, the size writers of copies receive.
constexpr uint64_t kCopyBlockBytes = 2u << 20;
// A cut asked for this close to a frame start is that frame start: epoch times in doubles carry
// about a quarter of a microsecond of rounding, and no frame is shorter than a millisecond.
constexpr double kCutSnapSeconds = 0.5e-6;

// The MPEG audio files holding a read descriptor, for the process-wide limit.
struct OpenFileRegistry {
    std::mutex mutex;
    std::vector<MpegAudioFile*> files;
    size_t maximum = 256;
    std::atomic<uint64_t> clock{0};
};

OpenFileRegistry& registry() {
    // Never destroyed: files may close while static objects are torn down.
    static auto* instance = new OpenFileRegistry();
    return *instance;
}

}  // namespace

// Holds the file's lock for one public operation and marks the file busy, so the open-file limit
// never closes a descriptor that an operation further up the stack is using.
class MpegAudioFile::Operation {
public:
    explicit Operation(MpegAudioFile& file) : file_(file), guard_(file.lock_) {
        ++file_.busy_;
        file_.lastUse_.store(registry().clock.fetch_add(1) + 1, std::memory_order_relaxed);
    }
    ~Operation() { --file_.busy_; }

    Operation(const Operation&) = delete;
    Operation& operator=(const Operation&) = delete;

private:
    MpegAudioFile& file_;
    std::lock_guard<std::recursive_mutex> guard_;
};

MpegAudioFile::MpegAudioFile(std::string fileName) : fileName_(std::move(fileName)) {}

MpegAudioFile::~MpegAudioFile() {
    std::lock_guard guard(lock_);
    releaseDescriptor();
}

void MpegAudioFile::setMaximumOpenFiles(size_t maximum) {
    std::lock_guard guard(registry().mutex);
    registry().maximum = std::max<size_t>(maximum, 1);
}

size_t MpegAudioFile::maximumOpenFiles() {
    std::lock_guard guard(registry().mutex);
    return registry().maximum;
}

size_t MpegAudioFile::openFileCount() {
    std::lock_guard guard(registry().mutex);
    return registry().files.size();
}

void MpegAudioFile::evictIdleFilesFor(MpegAudioFile* opened) {
    OpenFileRegistry& r = registry();
    std::lock_guard guard(r.mutex);
    r.files.push_back(opened);
    if (r.files.size() <= r.maximum) {
        return;
    }
    // Readers stamp their files without the registry lock, so sort a snapshot of the stamps:
    // a key that changes under std::sort breaks its ordering and lets it run off the buffer.
    std::vector<std::pair<uint64_t, MpegAudioFile*>> stamped;
    stamped.reserve(r.files.size());
    for (MpegAudioFile* file : r.files) {
        if (file != opened) {
            stamped.emplace_back(file->lastUse_.load(std::memory_order_relaxed), file);
        }
    }
    std::sort(stamped.begin(), stamped.end());
    for (const auto& [stamp, file] : stamped) {
        if (r.files.size() <= r.maximum) {
            break;
        }
        // Only a file nobody is using: never wait for another file's lock here.
        std::unique_lock fileGuard(file->lock_, std::try_to_lock);
        if (!fileGuard.owns_lock() || file->busy_ != 0) {
            continue;
        }
        ::close(file->descriptor_);
        file->descriptor_ = -1;
        r.files.erase(std::find(r.files.begin(), r.files.end(), file));
    }
}

bool MpegAudioFile::ensureOpen() {
    if (descriptor_ >= 0) {
        return true;
    }
    descriptor_ = ::open(fileName_.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor_ < 0) {
        AvDebugLogger::instance().log(AvDebugLogger::kSevere,
                                      "MpegAudioFile::parseAndBufferFirstFrame(): Opening file "
                                      "\"%s\" FAILED. strerror(errno) "
                                      "says \"%s\" ...",
                                      fileName_.c_str(), SystemError::last().c_str());
        AvDebugLogger::instance().log(
            AvDebugLogger::kSevere,
            "MpegAudioFile::parseAndBufferFirstFrame(): Closing file since open failed ...");
        return false;
    }
    evictIdleFilesFor(this);
    return true;
}

void MpegAudioFile::releaseDescriptor() {
    if (descriptor_ < 0) {
        return;
    }
    ::close(descriptor_);
    descriptor_ = -1;
    OpenFileRegistry& r = registry();
    std::lock_guard guard(r.mutex);
    r.files.erase(std::remove(r.files.begin(), r.files.end(), this), r.files.end());
}

bool MpegAudioFile::readAt(uint64_t offset, uint8_t* buffer, uint64_t count, uint64_t& got) {
    got = 0;
    while (got < count) {
        const ssize_t n =
            ::pread(descriptor_, buffer + got, count - got, static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return false;
        }
        if (n == 0) {
            break;
        }
        got += static_cast<uint64_t>(n);
    }
    return true;
}

bool MpegAudioFile::parseAndBufferFirstFrame(bool reuse) {
    Operation operation(*this);
    parseAttempted_ = true;
    const bool wasOpen = descriptor_ >= 0;
    if (!ensureOpen()) {
        parsed_ = false;
        return false;
    }
    bool ok = true;
    const bool noHeaderYet = std::all_of(std::begin(headerBytes_), std::end(headerBytes_),
                                         [](uint8_t b) { return b == 0; });
    if (!reuse || noHeaderYet) {
        uint8_t bytes[MpegAudioFrameHeader::kSize];
        uint64_t got = 0;
        if (readAt(0, bytes, sizeof bytes, got) && got == sizeof bytes) {
            std::copy(std::begin(bytes), std::end(bytes), headerBytes_);
            header_ = MpegAudioFrameHeader(headerBytes_);
            frameSize_ = header_.frameSize();
        } else {
            ok = false;
        }
    }
    struct stat status {};
    if (::fstat(descriptor_, &status) == 0) {
        fileSize_ = static_cast<uint64_t>(status.st_size);
    } else {
        ok = false;
    }
    const uint32_t bitRate = header_.bitRateKbps() * 1000;
    totalDuration_ = bitRate == 0 ? 0.0f
                                  : static_cast<float>(static_cast<double>(fileSize_) /
                                                       static_cast<double>(bitRate) * 8.0);
    frameDuration_ = header_.frameDuration();
    parsed_ = ok && header_.isUsable();
    if (!wasOpen && reuse) {
        releaseDescriptor();
    }
    return parsed_;
}

bool MpegAudioFile::ensureParsed() {
    // A file that could not be parsed is tried again only when asked to (a refresh), so a
    // missing file is not reopened and logged by every query.
    return parsed_ || (!parseAttempted_ && parseAndBufferFirstFrame(true));
}

bool MpegAudioFile::close() {
    Operation operation(*this);
    releaseDescriptor();
    return true;
}

bool MpegAudioFile::isOpen() {
    Operation operation(*this);
    return descriptor_ >= 0;
}

template <typename Field>
Field MpegAudioFile::parsedValue(const Field& field) {
    Operation operation(*this);
    ensureParsed();
    return field;
}

uint32_t MpegAudioFile::getFrameSize() {
    return parsedValue(frameSize_);
}

float MpegAudioFile::getFrameDuration() {
    return parsedValue(frameDuration_);
}

float MpegAudioFile::getTotalDuration() {
    return parsedValue(totalDuration_);
}

uint32_t MpegAudioFile::getSampleRate() {
    return parsedValue(header_).sampleRate();
}

uint32_t MpegAudioFile::getSamplesPerFrame() {
    return parsedValue(header_).samplesPerFrame();
}

MpegAudioFrameHeader MpegAudioFile::getFirstFrameHeader() {
    return parsedValue(header_);
}

uint64_t MpegAudioFile::getFileSize() {
    return parsedValue(fileSize_);
}

uint64_t MpegAudioFile::frameIndexAt(double offsetSeconds) const {
    const double frames = offsetSeconds / static_cast<double>(frameDuration_);
    const double nearest = std::round(frames);
    // Offsets travel as floats: one that is a frame boundary up to float rounding is that
    // boundary, so positioning at a reached offset reaches it again.
    const auto boundary = static_cast<float>(nearest * static_cast<double>(frameDuration_));
    const auto offset = static_cast<float>(offsetSeconds);
    const float ulp = std::nextafter(std::fabs(offset), INFINITY) - std::fabs(offset);
    if (std::fabs(offset - boundary) <= 2.0f * ulp) {
        return static_cast<uint64_t>(nearest);
    }
    return static_cast<uint64_t>(std::floor(frames));
}

bool MpegAudioFile::positionAt(float offsetSeconds, float& reachedSeconds, uint64_t& bytePosition) {
    if (!ensureParsed() || !(offsetSeconds >= 0.0f) || !(offsetSeconds <= totalDuration_) ||
        !(totalDuration_ > 0.0f) || frameSize_ == 0 || !(frameDuration_ > 0.0f)) {
        return false;
    }
    const uint64_t frame = std::min(frameIndexAt(offsetSeconds), fileSize_ / frameSize_);
    reachedSeconds =
        static_cast<float>(static_cast<double>(frame) * static_cast<double>(frameDuration_));
    bytePosition = frame * frameSize_;
    return true;
}

bool MpegAudioFile::setPositionByTimeOffset(float offsetSeconds, float& reachedSeconds) {
    Operation operation(*this);
    float reached = 0.0f;
    uint64_t position = 0;
    if (!positionAt(offsetSeconds, reached, position)) {
        return false;
    }
    position_ = position;
    reachedSeconds = reached;
    return true;
}

float MpegAudioFile::getCurrentTimeOffset() {
    Operation operation(*this);
    ensureParsed();
    if (frameSize_ == 0) {
        return 0.0f;
    }
    return static_cast<float>(static_cast<double>(position_ / frameSize_) *
                              static_cast<double>(frameDuration_));
}

uint64_t MpegAudioFile::getStreamPosition() {
    Operation operation(*this);
    return position_;
}

bool MpegAudioFile::setStreamPosition(uint64_t position) {
    Operation operation(*this);
    if (!ensureParsed()) {
        return false;
    }
    if (position > fileSize_) {
        // Measured again: a recording may have grown since.
        parseAndBufferFirstFrame(true);
    }
    if (!parsed_ || position > fileSize_) {
        return false;
    }
    position_ = position;
    return true;
}

bool MpegAudioFile::readFrames(uint32_t count, uint8_t* buffer, uint32_t bufferSize,
                               uint32_t& bytesRead, bool& endOfFile) {
    Operation operation(*this);
    bytesRead = 0;
    endOfFile = false;
    if (buffer == nullptr || !ensureParsed() || frameSize_ == 0) {
        return false;
    }
    const uint64_t frames = std::min<uint64_t>(count, bufferSize / frameSize_);
    if (frames == 0 || !ensureOpen()) {
        return false;
    }
    const uint64_t wanted = frames * frameSize_;
    uint64_t got = 0;
    const bool ok = readAt(position_, buffer, wanted, got);
    const uint64_t whole = got - got % frameSize_;
    position_ += whole;
    bytesRead = static_cast<uint32_t>(whole);
    if (ok && got < wanted) {
        endOfFile = true;
        releaseDescriptor();  // Finished with: give the handle back.
    }
    return ok && whole > 0;
}

bool MpegAudioFile::readBytes(uint8_t* buffer, uint32_t count, uint32_t& bytesRead,
                              bool& endOfFile) {
    Operation operation(*this);
    bytesRead = 0;
    endOfFile = false;
    if (buffer == nullptr || count == 0 || !ensureParsed() || !ensureOpen()) {
        return false;
    }
    uint64_t got = 0;
    const bool ok = readAt(position_, buffer, count, got);
    position_ += got;
    bytesRead = static_cast<uint32_t>(got);
    if (ok && got < count) {
        endOfFile = true;
        releaseDescriptor();
    }
    return ok && got > 0;
}

bool MpegAudioFile::copyPositionFromAnotherFile(MpegAudioFile& other) {
    // The other file's lock is never held together with this one's.
    return setStreamPosition(other.getStreamPosition());
}

std::string MpegAudioFile::getErrorText() {
    Operation operation(*this);
    return errorText_;
}

bool MpegAudioFile::writesOverThisFile(const std::string& path) const {
    std::error_code code;
    return std::filesystem::equivalent(path, fileName_, code) && !code;
}

bool MpegAudioFile::copyPart(uint64_t begin, uint64_t end, const std::string& path,
                             KovWriteCallback callback, void* callbackContext, bool& readFailed,
                             bool& writeFailed) {
    if (begin >= end) {
        return true;  // An empty part is not written.
    }
    if (!ensureOpen()) {
        readFailed = true;
        return false;
    }
    int output = -1;
    if (callback == nullptr) {
        output = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (output < 0) {
            writeFailed = true;
            return false;
        }
    }
    std::vector<uint8_t> block(static_cast<size_t>(std::min(kCopyBlockBytes, end - begin)));
    for (uint64_t at = begin; at < end;) {
        const uint64_t count = std::min<uint64_t>(block.size(), end - at);
        uint64_t got = 0;
        if (!readAt(at, block.data(), count, got) || got != count) {
            if (got != count) {
                errno = EIO;  // The file shrank under us.
            }
            readFailed = true;
            break;
        }
        const bool written = callback != nullptr
                                 ? callback(callbackContext, 0.0, block.data(),
                                            static_cast<uint32_t>(count), &path, false)
                                 : FileIo::writeAll(output, block.data(), count);
        if (!written) {
            writeFailed = true;
            break;
        }
        at += count;
    }
    if (callback != nullptr && !readFailed && !writeFailed &&
        !callback(callbackContext, 0.0, nullptr, 0, &path, true)) {
        writeFailed = true;
    }
    if (output >= 0) {
        if (::close(output) != 0) {
            writeFailed = true;
        }
        if (readFailed || writeFailed) {
            const int savedErrno = errno;
            ::unlink(path.c_str());
            errno = savedErrno;
        }
    }
    return !readFailed && !writeFailed;
}

bool MpegAudioFile::writeParts(const Part* parts, int count, KovWriteCallback callback,
                               void* callbackContext, bool onePointTexts) {
    for (int i = 0; i < count; ++i) {
        if (parts[i].selected && callback == nullptr && writesOverThisFile(*parts[i].path)) {
            errorText_ =
                "A split part would overwrite the file being split: \"" + *parts[i].path + "\"";
            return false;
        }
    }
    static const char* kOrdinal[3] = {"First", "Second", "Third"};
    bool readFailed[3] = {false, false, false};
    bool writeFailed[3] = {false, false, false};
    std::string reason;
    for (int i = 0; i < count; ++i) {
        if (!parts[i].selected || copyPart(parts[i].begin, parts[i].end, *parts[i].path, callback,
                                           callbackContext, readFailed[i], writeFailed[i])) {
            continue;
        }
        reason = SystemError::last();
        if (!errorText_.empty()) {
            continue;  // The first reason is kept.
        }
        if (readFailed[i]) {
            errorText_ = std::string(kOrdinal[i]) + " read failed. File=\"" + fileName_ +
                         "\" strerror(errno)=" + reason;
        } else if (onePointTexts) {
            errorText_ = std::string(kOrdinal[i]) + " part write failed. " + reason;
        } else {
            errorText_ = std::string(kOrdinal[i]) + " write failed.  File=\"" + *parts[i].path +
                         "\" strerror(errno)=" + reason;
        }
    }
    if (errorText_.empty()) {
        return true;
    }
    AvDebugLogger::instance().log(
        AvDebugLogger::kWarning,
        "MpegAudioFile::copyAndSplitAtOffset(): File operation failed. callbackAddr=%08X"
        "firstReadFailed=%d, secondReadFailed=%d, thirdReadFailed=%d, firstWriteFailed=%d, "
        "secondWriteFailed=%d, thirdWriteFailed=%d \"%s\"",
        static_cast<unsigned>(reinterpret_cast<uintptr_t>(callback)), readFailed[0], readFailed[1],
        readFailed[2], writeFailed[0], writeFailed[1], writeFailed[2], reason.c_str());
    return false;
}

bool MpegAudioFile::exactPositionAt(double offsetSeconds, double& reachedSeconds,
                                    uint64_t& bytePosition, double& distanceSeconds) {
    if (!ensureParsed()) {
        return false;
    }
    const uint32_t samplesPerFrame = header_.samplesPerFrame();
    const uint32_t sampleRate = header_.sampleRate();
    if (!(offsetSeconds >= -kCutSnapSeconds) || frameSize_ == 0 || samplesPerFrame == 0 ||
        sampleRate == 0 || fileSize_ == 0) {
        return false;
    }
    const double frameSeconds = static_cast<double>(samplesPerFrame) / sampleRate;
    const double frames = std::max(offsetSeconds, 0.0) / frameSeconds;
    const double nearest = std::round(frames);
    uint64_t frame = static_cast<uint64_t>(std::floor(frames));
    distanceSeconds = std::fabs(offsetSeconds - static_cast<double>(frame) * frameSeconds);
    if (std::fabs(offsetSeconds - nearest * frameSeconds) <= kCutSnapSeconds) {
        frame = static_cast<uint64_t>(nearest);
        distanceSeconds = 0.0;
    }
    const uint64_t lastStart = fileSize_ / frameSize_;
    if (frame > lastStart) {
        frame = lastStart;
        distanceSeconds = std::fabs(offsetSeconds - static_cast<double>(frame) * frameSeconds);
    }
    reachedSeconds = static_cast<double>(frame) * samplesPerFrame / sampleRate;
    bytePosition = frame * frameSize_;
    return true;
}

bool MpegAudioFile::findCuts(const double* offsetsSeconds, double* reachedSeconds, uint64_t* cuts,
                             int count, float toleranceSeconds, bool mustFollowFirstFrame,
                             bool exact) {
    errorText_.clear();
    // Measured again: a recording may have grown since the file was parsed.
    if (!parseAndBufferFirstFrame(true)) {
        errorText_ = "Cannot read the first frame of \"" + fileName_ + "\".";
        return false;
    }
    const double totalSeconds =
        exact && header_.bitRateKbps() != 0
            ? static_cast<double>(fileSize_) * 8.0 / (header_.bitRateKbps() * 1000.0)
            : static_cast<double>(totalDuration_);
    for (int i = 0; i < count; ++i) {
        const double slack = exact ? kCutSnapSeconds : 0.0;
        if (!(offsetsSeconds[i] <= totalSeconds + slack)) {
            errorText_ = "Split point(s) not in this file.";
            return false;
        }
    }
    for (int i = 0; i < count; ++i) {
        bool found = false;
        double distance = 0.0;
        if (exact) {
            found = exactPositionAt(offsetsSeconds[i], reachedSeconds[i], cuts[i], distance);
        } else {
            const auto offset = static_cast<float>(offsetsSeconds[i]);
            float reached = 0.0f;
            found = positionAt(offset, reached, cuts[i]);
            reachedSeconds[i] = reached;
            distance = std::fabs(offset - reached);
        }
        if (!found || !(distance <= toleranceSeconds) || (mustFollowFirstFrame && cuts[i] < 1)) {
            errorText_ = "Set position to split point was not in tolerance.";
            return false;
        }
    }
    return true;
}

bool MpegAudioFile::splitInTwo(double offsetSeconds, double& reachedSeconds,
                               const std::string& firstPartPath, const std::string& secondPartPath,
                               float toleranceSeconds, KovWriteCallback callback,
                               void* callbackContext, int mode, bool dryRun, bool exact) {
    Operation operation(*this);
    double reached = 0.0;
    uint64_t cut = 0;
    if (!findCuts(&offsetSeconds, &reached, &cut, 1, toleranceSeconds, false, exact)) {
        return false;
    }
    reachedSeconds = reached;
    if (dryRun) {
        position_ = cut;
        return true;
    }
    if (mode != 0 && mode != 1 && mode != 3) {
        errorText_ = "Unknown split mode " + std::to_string(mode) + ".";
        return false;
    }
    const Part parts[2] = {
        {0, cut, &firstPartPath, (mode == 0 || mode == 1) && cut > 0},
        {cut, fileSize_, &secondPartPath, (mode == 0 || mode == 3) && cut < fileSize_},
    };
    return writeParts(parts, 2, callback, callbackContext, true);
}

bool MpegAudioFile::splitInThree(const double* offsetsSeconds, double* reachedSeconds,
                                 const std::string& firstPartPath,
                                 const std::string& secondPartPath,
                                 const std::string& thirdPartPath, float toleranceSeconds,
                                 KovWriteCallback callback, void* callbackContext, int mode,
                                 bool dryRun, bool exact) {
    Operation operation(*this);
    double reached[2] = {0.0, 0.0};
    uint64_t cut[2] = {0, 0};
    if (!findCuts(offsetsSeconds, reached, cut, 2, toleranceSeconds, true, exact)) {
        return false;
    }
    if (cut[0] > cut[1]) {
        errorText_ = "The first split point lies after the second.";
        return false;
    }
    reachedSeconds[0] = reached[0];
    reachedSeconds[1] = reached[1];
    if (dryRun) {
        position_ = cut[1];
        return true;
    }
    if (mode < 0 || mode > 3) {
        errorText_ = "Unknown split mode " + std::to_string(mode) + ".";
        return false;
    }
    const Part parts[3] = {
        {0, cut[0], &firstPartPath, mode == 0 || mode == 1},
        {cut[0], cut[1], &secondPartPath, (mode == 0 || mode == 2) && cut[0] < cut[1]},
        {cut[1], fileSize_, &thirdPartPath, (mode == 0 || mode == 3) && cut[1] < fileSize_},
    };
    return writeParts(parts, 3, callback, callbackContext, false);
}

bool MpegAudioFile::copyAndSplitAtOffset(float offsetSeconds, float& reachedSeconds,
                                         const std::string& firstPartPath,
                                         const std::string& secondPartPath, float toleranceSeconds,
                                         KovWriteCallback callback, void* callbackContext, int mode,
                                         bool dryRun) {
    double reached = 0.0;
    const bool ok = splitInTwo(offsetSeconds, reached, firstPartPath, secondPartPath,
                               toleranceSeconds, callback, callbackContext, mode, dryRun, false);
    if (ok) {
        reachedSeconds = static_cast<float>(reached);
    }
    return ok;
}

bool MpegAudioFile::copyAndSplitAtOffset(float firstOffsetSeconds, float secondOffsetSeconds,
                                         float& firstReachedSeconds, float& secondReachedSeconds,
                                         const std::string& firstPartPath,
                                         const std::string& secondPartPath,
                                         const std::string& thirdPartPath, float toleranceSeconds,
                                         KovWriteCallback callback, void* callbackContext, int mode,
                                         bool dryRun) {
    const double offsets[2] = {firstOffsetSeconds, secondOffsetSeconds};
    double reached[2] = {0.0, 0.0};
    const bool ok = splitInThree(offsets, reached, firstPartPath, secondPartPath, thirdPartPath,
                                 toleranceSeconds, callback, callbackContext, mode, dryRun, false);
    if (ok) {
        firstReachedSeconds = static_cast<float>(reached[0]);
        secondReachedSeconds = static_cast<float>(reached[1]);
    }
    return ok;
}

bool MpegAudioFile::copyAndSplitAtSeconds(double offsetSeconds, double& reachedSeconds,
                                          const std::string& firstPartPath,
                                          const std::string& secondPartPath, float toleranceSeconds,
                                          KovWriteCallback callback, void* callbackContext,
                                          int mode, bool dryRun) {
    return splitInTwo(offsetSeconds, reachedSeconds, firstPartPath, secondPartPath,
                      toleranceSeconds, callback, callbackContext, mode, dryRun, true);
}

bool MpegAudioFile::copyAndSplitAtSeconds(double firstOffsetSeconds, double secondOffsetSeconds,
                                          double& firstReachedSeconds, double& secondReachedSeconds,
                                          const std::string& firstPartPath,
                                          const std::string& secondPartPath,
                                          const std::string& thirdPartPath, float toleranceSeconds,
                                          KovWriteCallback callback, void* callbackContext,
                                          int mode, bool dryRun) {
    const double offsets[2] = {firstOffsetSeconds, secondOffsetSeconds};
    double reached[2] = {0.0, 0.0};
    const bool ok = splitInThree(offsets, reached, firstPartPath, secondPartPath, thirdPartPath,
                                 toleranceSeconds, callback, callbackContext, mode, dryRun, true);
    if (ok) {
        firstReachedSeconds = reached[0];
        secondReachedSeconds = reached[1];
    }
    return ok;
}
