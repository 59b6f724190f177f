#include "AudioDecoder.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "AudioCompressor.h"
#include "AudioDecoderMediaFileCheckpoint.h"
#include "DecodedAudioChunk.h"
#include "EncodedAudioChunk.h"
#include "MpegAudioCompressor.h"
#include "PointerChecks.h"
#include "TransactionId.h"
#include "WallClockTime.h"

AudioDecoder::AudioDecoder(AudioCompressor* codec, float chunkDuration)
    : codec_(codec), chunkDuration_(chunkDuration) {
    CHECK_POINTER(codec_);
}

AudioDecoder::AudioDecoder(std::unique_ptr<AudioCompressor> codec, float chunkDuration)
    : ownedCodec_(std::move(codec)), codec_(ownedCodec_.get()), chunkDuration_(chunkDuration) {
    CHECK_POINTER(codec_);
}

AudioDecoder::~AudioDecoder() {
    std::lock_guard guard(lock_);
    files_.clear();
    fileNames_.clear();
    current_ = 0;
}

bool AudioDecoder::addFileToDecodeList(std::unique_ptr<CompressedAudioFile> file) {
    CHECK_POINTER(file);
    std::lock_guard guard(lock_);
    if (fileNames_.count(file->fileName()) != 0) {
        return false;  // the offered file is destroyed here
    }
    const double startTime = file->getStartTime();
    // After every file that starts no later: the place a stable sort by start time gives it.
    const auto place =
        std::upper_bound(files_.begin(), files_.end(), startTime,
                         [](double time, const Entry& entry) { return time < entry.startTime; });
    const size_t index = static_cast<size_t>(place - files_.begin());
    const bool wasEmpty = files_.empty();
    fileNames_.insert(file->fileName());
    files_.insert(place, Entry{std::move(file), startTime});
    if (wasEmpty || !started_) {
        current_ = 0;
    } else if (index <= current_) {
        ++current_;
    }
    return true;
}

bool AudioDecoder::fileNameIsInDecodeList(const std::string& fileName) {
    std::lock_guard guard(lock_);
    return fileNames_.count(fileName) != 0;
}

unsigned AudioDecoder::numberOfFilesIs() {
    std::lock_guard guard(lock_);
    return static_cast<unsigned>(files_.size());
}

std::vector<CompressedAudioFile*> AudioDecoder::filesInDecodeListIs() {
    std::lock_guard guard(lock_);
    std::vector<CompressedAudioFile*> files;
    files.reserve(files_.size());
    for (const Entry& entry : files_) {
        files.push_back(entry.file.get());
    }
    return files;
}

CompressedAudioFile* AudioDecoder::currentFileLocked() const {
    return current_ < files_.size() ? files_[current_].file.get() : nullptr;
}

void AudioDecoder::makeCurrentLocked(size_t index) {
    started_ = true;
    if (index != current_ && current_ < files_.size()) {
        // Only the file being read keeps a descriptor; it is reopened when read again.
        files_[current_].file->close();
    }
    current_ = index;
}

void AudioDecoder::resetCodecLocked() {
    codec_->reset();
    primedChunks_ = 0;
    drained_.reset();
    drainedSamplesHandedOut_ = 0;
    drainAttempted_ = false;
}

std::unique_ptr<EncodedAudioChunk> AudioDecoder::getNextEncodedChunk(bool* endOfData,
                                                                     TransactionId* id) {
    CHECK_POINTER(endOfData);
    std::lock_guard guard(lock_);
    return nextEncodedChunkLocked(endOfData, id);
}

std::unique_ptr<EncodedAudioChunk> AudioDecoder::nextEncodedChunkLocked(bool* endOfData,
                                                                        TransactionId* id) {
    *endOfData = false;
    if (files_.empty()) {
        *endOfData = true;
        return nullptr;
    }
    started_ = true;
    std::unique_ptr<EncodedAudioChunk> chunk;
    bool endOfFile = false;
    bool nextFileExists = false;
    for (;;) {
        CompressedAudioFile* file = files_[current_].file.get();
        endOfFile = false;
        chunk.reset();
        if (!file->getNextEncodedChunk(chunk, endOfFile, chunkDuration_)) {
            chunk.reset();
        }
        nextFileExists = current_ + 1 < files_.size();
        if (chunk) {
            if (id != nullptr) {
                chunk->transactionIdIs() = *id;
            }
            break;
        }
        if (!nextFileExists) {
            break;
        }
        // The file has nothing more (or cannot deliver): go on with the next one from its start.
        makeCurrentLocked(current_ + 1);
        float reachedOffset = 0.0f;
        files_[current_].file->setPositionByTimeOffset(0.0f, 1.0f, reachedOffset);
    }
    // A last file that delivers nothing ends the data even when it did not report its end (it
    // is unreadable or vanished): otherwise readers would ask it again for ever.
    *endOfData = !nextFileExists && (endOfFile || !chunk);
    return chunk;
}

std::unique_ptr<DecodedAudioChunk> AudioDecoder::getNextDecodedChunk(bool* endOfData) {
    CHECK_POINTER(endOfData);
    std::lock_guard guard(lock_);
    *endOfData = false;
    if (drained_) {
        return nextDrainedChunkLocked(endOfData);
    }
    std::unique_ptr<DecodedAudioChunk> decoded;
    int status = AudioCompressor::kNeedMoreInput;
    bool encodedEnd = false;
    do {
        std::unique_ptr<EncodedAudioChunk> encoded = nextEncodedChunkLocked(&encodedEnd, nullptr);
        if (encoded) {
            codec_->feedEncodedChunk(encoded.get());
            drainAttempted_ = false;
        }
        if (primedChunks_ < codec_->getOutputLag()) {
            ++primedChunks_;
            status = AudioCompressor::kNeedMoreInput;
        } else {
            if (encoded) {
                lastChunkSamples_ = encoded->numberOfSamplesIs();
            }
            status = codec_->getDecodedChunk(lastChunkSamples_, decoded);
            if (status != AudioCompressor::kChunkProduced) {
                decoded.reset();
            }
        }
    } while (status == AudioCompressor::kNeedMoreInput && !encodedEnd);

    if (decoded || !encodedEnd) {
        return decoded;
    }
    // The end of the channel: the codec still holds the audio of the last chunks fed (its output
    // lag). Hand it out too, in chunks of the usual size.
    auto* mpegCodec = dynamic_cast<MpegAudioCompressor*>(codec_);
    if (mpegCodec != nullptr && !drainAttempted_) {
        drainAttempted_ = true;
        std::unique_ptr<DecodedAudioChunk> rest;
        if (mpegCodec->drainDecodedChunk(rest) == AudioCompressor::kChunkProduced && rest &&
            rest->numberOfSamplesIs() > 0) {
            drained_ = std::move(rest);
            drainedSamplesHandedOut_ = 0;
            return nextDrainedChunkLocked(endOfData);
        }
    }
    *endOfData = true;
    return nullptr;
}

std::unique_ptr<DecodedAudioChunk> AudioDecoder::nextDrainedChunkLocked(bool* endOfData) {
    const uint32_t total = drained_->numberOfSamplesIs();
    const uint32_t left = total - drainedSamplesHandedOut_;
    const uint32_t size = lastChunkSamples_ == 0 ? left : std::min(left, lastChunkSamples_);
    const double startTime =
        drained_->startTimeIs() + static_cast<double>(drainedSamplesHandedOut_) /
                                      static_cast<double>(drained_->sampleRateIs());
    auto chunk = std::make_unique<DecodedAudioChunk>(size, drained_->sampleRateIs(),
                                                     drained_->channelCountIs(), "PCM", startTime);
    std::unique_ptr<DecodedAudioChunk> result;
    if (chunk->allocateBuffer(false)) {
        const uint8_t* source = drained_->bufferIs() + size_t{drainedSamplesHandedOut_} * 2;
        chunk->appendBytes(source, size * 2);
        chunk->advanceValidLength(size * 2);
        chunk->transactionIdIs() = drained_->transactionIdIs();
        result = std::move(chunk);
    }
    drainedSamplesHandedOut_ += size;
    if (drainedSamplesHandedOut_ >= total || !result) {
        drained_.reset();
        drainedSamplesHandedOut_ = 0;
        *endOfData = true;
    }
    return result;
}

bool AudioDecoder::setPositionByWallClockTime(double t, float tolerance) {
    std::lock_guard guard(lock_);
    const bool snapForward = tolerance == -1.0f;
    for (size_t i = 0; i < files_.size(); ++i) {
        CompressedAudioFile* file = files_[i].file.get();
        const double start = files_[i].startTime;
        if (start > t && !(snapForward && 0.0 < t)) {
            break;  // the list is in order of start time: no later file holds t
        }
        if (snapForward && 0.0 < t && t < start) {
            t = start;
        }
        if (start <= t && t <= start + static_cast<double>(file->getDuration())) {
            double reached = 0.0;
            const bool positioned = file->setPositionByEpochTime(t, 1.0f, reached);
            resetCodecLocked();
            if (positioned) {
                makeCurrentLocked(i);
                return true;
            }
            if (i != current_) {
                file->close();
            }
        }
    }
    return false;
}

bool AudioDecoder::slaveToAnotherDecoder(AudioDecoder* master) {
    CHECK_POINTER(master);
    if (master == this) {
        return false;
    }
    // Both locks: the master's list may grow on the refresh thread while this reads it.
    std::scoped_lock guard(lock_, master->lock_);
    CompressedAudioFile* masterFile = master->currentFileLocked();
    CHECK_POINTER(masterFile);
    const double masterStart = master->files_[master->current_].startTime;
    // The first file in list order that starts within one second of the master's file.
    const auto candidate =
        std::upper_bound(files_.begin(), files_.end(), masterStart - 1.0,
                         [](double time, const Entry& entry) { return time < entry.startTime; });
    for (auto it = candidate; it != files_.end() && it->startTime < masterStart + 1.0; ++it) {
        if (std::fabs(it->startTime - masterStart) < 1.0) {
            makeCurrentLocked(static_cast<size_t>(it - files_.begin()));
            return it->file->slaveToAnotherFile(masterFile);
        }
    }
    return false;
}

double AudioDecoder::totalPlayTimeIs() {
    std::lock_guard guard(lock_);
    double total = 0.0;
    for (const Entry& entry : files_) {
        total += static_cast<double>(entry.file->getDuration());
    }
    return total;
}

bool AudioDecoder::refreshAllFileInformation(double maximumAgeSeconds) {
    std::lock_guard guard(lock_);
    const double now = WallClockTime().asUtcSeconds();
    bool result = true;
    for (const Entry& entry : files_) {
        if (now - entry.startTime < maximumAgeSeconds) {
            result = entry.file->refreshFileInformation() && result;
        }
    }
    for (size_t i = 0; i < files_.size(); ++i) {
        if (i != current_) {
            files_[i].file->close();
        }
    }
    return result;
}

unsigned AudioDecoder::listTimeRanges(std::vector<TimeRange>& out, bool merge, float maximumGap) {
    std::lock_guard guard(lock_);
    unsigned appended = 0;
    if (!merge) {
        for (const Entry& entry : files_) {
            out.push_back(
                TimeRange{entry.startTime,
                          entry.startTime + static_cast<double>(entry.file->getDuration()), false});
            ++appended;
        }
        return appended;
    }
    bool started = false;
    TimeRange range;
    for (const Entry& entry : files_) {
        const bool sealed = !entry.file->isAvailable();
        const double end = entry.startTime + static_cast<double>(entry.file->getDuration());
        if (!started) {
            range = TimeRange{entry.startTime, end, sealed};
            started = true;
            continue;
        }
        const double gap = std::fabs(entry.startTime - range.end);
        if (gap > static_cast<double>(maximumGap) || sealed != range.sealed) {
            out.push_back(range);
            ++appended;
            range.start = entry.startTime;
        }
        range.end = end;
        range.sealed = sealed;
    }
    if (started) {
        out.push_back(range);
        ++appended;
    }
    return appended;
}

void AudioDecoder::getAllFilesInTimeRange(double t1, double t2,
                                          std::vector<CompressedAudioFile*>& out, bool wholeFile) {
    std::lock_guard guard(lock_);
    for (const Entry& entry : files_) {
        if (entry.file->overlapsTimeRange(t1, t2, wholeFile)) {
            out.push_back(entry.file.get());
        }
    }
}

std::unique_ptr<MediaFileCheckpoint> AudioDecoder::generateCheckpoint() {
    std::lock_guard guard(lock_);
    CompressedAudioFile* file = currentFileLocked();
    if (file == nullptr) {
        return nullptr;
    }
    std::unique_ptr<MediaFileCheckpoint> fileCheckpoint = file->generateCheckpoint();
    if (!fileCheckpoint) {
        return nullptr;  // a sealed placeholder keeps no position
    }
    auto checkpoint = std::make_unique<AudioDecoderMediaFileCheckpoint>(file->fileName(),
                                                                        std::move(fileCheckpoint));
    CHECK_ALLOCATION(checkpoint);
    return checkpoint;
}

bool AudioDecoder::restoreCheckpoint(const MediaFileCheckpoint* checkpoint) {
    const auto* decoderCheckpoint =
        dynamic_cast<const AudioDecoderMediaFileCheckpoint*>(checkpoint);
    CHECK_POINTER(decoderCheckpoint);
    std::lock_guard guard(lock_);
    bool result = false;
    if (decoderCheckpoint->fileNameIs().empty() ||
        decoderCheckpoint->fileCheckpointIs() == nullptr) {
        return result;
    }
    for (size_t i = 0; i < files_.size(); ++i) {
        if (files_[i].file->fileName() != decoderCheckpoint->fileNameIs()) {
            continue;
        }
        result = files_[i].file->restoreCheckpoint(decoderCheckpoint->fileCheckpointIs());
        if (result) {
            // Audio the codec holds belongs to the position left behind.
            resetCodecLocked();
            makeCurrentLocked(i);
        }
    }
    return result;
}
