#include "AudioDecoderGroup.h"

#include "PointerChecks.h"
#include "TransactionId.h"

AudioDecoderGroup::AudioDecoderGroup() = default;

AudioDecoderGroup::~AudioDecoderGroup() = default;

void AudioDecoderGroup::addDecoder(std::unique_ptr<AudioDecoder> decoder) {
    CHECK_POINTER(decoder);
    std::lock_guard guard(lock_);
    decoders_.push_back(std::move(decoder));
}

unsigned AudioDecoderGroup::numberOfDecodersIs() {
    std::lock_guard guard(lock_);
    return static_cast<unsigned>(decoders_.size());
}

AudioDecoder* AudioDecoderGroup::decoderForChannel(unsigned i) {
    std::lock_guard guard(lock_);
    return i < decoders_.size() ? decoders_[i].get() : nullptr;
}

bool AudioDecoderGroup::fileNameIsInDecodeList(unsigned channel, const std::string& fileName) {
    AudioDecoder* decoder = decoderForChannel(channel);
    return decoder != nullptr && decoder->fileNameIsInDecodeList(fileName);
}

bool AudioDecoderGroup::addFileToDecodeList(unsigned channel,
                                            std::unique_ptr<CompressedAudioFile> file) {
    AudioDecoder* decoder = decoderForChannel(channel);
    return decoder != nullptr && decoder->addFileToDecodeList(std::move(file));
}

bool AudioDecoderGroup::setPositionByWallClockTime(double t, float tolerance) {
    std::lock_guard guard(lock_);
    bool result = true;
    for (const auto& decoder : decoders_) {
        result = decoder->setPositionByWallClockTime(t, tolerance) && result;
    }
    return result;
}

bool AudioDecoderGroup::refreshAllFileInformation(double maximumAgeSeconds) {
    std::lock_guard guard(lock_);
    bool result = true;
    for (const auto& decoder : decoders_) {
        result = decoder->refreshAllFileInformation(maximumAgeSeconds) && result;
    }
    return result;
}

double AudioDecoderGroup::totalPlayTimeIs() {
    std::lock_guard guard(lock_);
    return decoders_.empty() ? 0.0 : decoders_.front()->totalPlayTimeIs();
}

void AudioDecoderGroup::slaveToMasterLocked() {
    if (decoders_.empty() || decoders_.front()->numberOfFilesIs() == 0) {
        return;  // a master without files has no position to follow
    }
    AudioDecoder* master = decoders_.front().get();
    for (size_t i = 1; i < decoders_.size(); ++i) {
        decoders_[i]->slaveToAnotherDecoder(master);
    }
}

DecodedChunkSet AudioDecoderGroup::getNextDecodedChunks(bool* endOfData) {
    std::lock_guard guard(lock_);
    slaveToMasterLocked();
    DecodedChunkSet chunks;
    chunks.reserve(decoders_.size());
    bool allEnded = true;
    for (const auto& decoder : decoders_) {
        bool ended = false;
        chunks.push_back(decoder->getNextDecodedChunk(&ended));
        allEnded = allEnded && ended && !chunks.back();
    }
    if (endOfData != nullptr) {
        *endOfData = allEnded;
    }
    return chunks;
}

EncodedChunkSet AudioDecoderGroup::getNextEncodedChunks(bool* endOfData, TransactionId* id) {
    std::lock_guard guard(lock_);
    slaveToMasterLocked();
    EncodedChunkSet chunks;
    chunks.reserve(decoders_.size());
    bool allEnded = true;
    for (const auto& decoder : decoders_) {
        bool ended = false;
        chunks.push_back(decoder->getNextEncodedChunk(&ended, id));
        allEnded = allEnded && ended && !chunks.back();
    }
    if (endOfData != nullptr) {
        *endOfData = allEnded;
    }
    return chunks;
}

unsigned AudioDecoderGroup::listTimeRangesForChannel(unsigned channel,
                                                     std::vector<TimeRange>& out) {
    AudioDecoder* decoder = decoderForChannel(channel);
    return decoder == nullptr ? 0 : decoder->listTimeRanges(out, true, 5.0f);
}
