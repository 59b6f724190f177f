#include "MpegAudioCompressor.h"

#include <lame/lame.h>
#include <mpg123.h>

#include <algorithm>
#include <cstring>
#include <mutex>

#include "AvDebugLogger.h"
#include "DecodedAudioChunk.h"
#include "EncodedAudioChunk.h"
#include "MpegAudioFrameHeader.h"
#include "MpegAudioFrameScanner.h"
#include "PointerChecks.h"

namespace {

constexpr const char* kFormatName = "MPEG Audio";
constexpr const char* kPcmFormatName = "PCM";
constexpr uint32_t kLameModeMono = 3;  // MPEG_mode MONO

std::once_flag mpg123InitOnce;
bool mpg123Initialised = false;

bool initialiseMpg123Once() {
    std::call_once(mpg123InitOnce, [] { mpg123Initialised = mpg123_init() == MPG123_OK; });
    return mpg123Initialised;
}

// Bytes of one frame, computed as the first frame of a file is (MpegAudioFrameHeader).
uint32_t frameBytes(uint32_t samplesPerFrame, uint32_t bitRateKbps, uint32_t sampleRate) {
    return sampleRate == 0 ? 0 : samplesPerFrame / 8 * (bitRateKbps * 1000) / sampleRate;
}

}  // namespace

MpegAudioCompressor::MpegAudioCompressor(uint32_t sampleRate, uint32_t lameOutputSampleRate,
                                         uint32_t lameBitRateKbps, uint32_t lameQuality)
    : AudioCompressor(kFormatName),
      sampleRate_(sampleRate),
      lameOutputSampleRate_(lameOutputSampleRate),
      lameBitRateKbps_(lameBitRateKbps),
      lameQuality_(lameQuality) {}

MpegAudioCompressor::~MpegAudioCompressor() {
    closeDecoder();
    closeEncoder();
}

// Encoding ----------------------------------------------------------------------------------------

bool MpegAudioCompressor::prepareEncoder(uint32_t inputSampleRate) {
    if (lameInitialised_) {
        return true;
    }
    lame_ = lame_init();
    if (lame_ == nullptr) {
        return false;
    }
    lame_set_num_channels(lame_, 1);
    lame_set_in_samplerate(lame_, static_cast<int>(inputSampleRate));
    lame_set_out_samplerate(lame_, static_cast<int>(lameOutputSampleRate_));
    lame_set_brate(lame_, static_cast<int>(lameBitRateKbps_));
    lame_set_mode(lame_, static_cast<MPEG_mode>(kLameModeMono));
    lame_set_quality(lame_, static_cast<int>(lameQuality_));
    lame_set_VBR(lame_, vbr_off);
    lame_set_bWriteVbrTag(lame_, 0);
    lame_set_original(lame_, 0);
    lame_set_strict_ISO(lame_, 1);
    lame_set_disable_reservoir(lame_, 1);
    lame_set_write_id3tag_automatic(lame_, 0);
    lame_set_errorf(lame_, nullptr);
    lame_set_debugf(lame_, nullptr);
    lame_set_msgf(lame_, nullptr);
    if (lame_init_params(lame_) < 0) {
        closeEncoder();
        return false;
    }
    lameInitialised_ = true;
    encodedFrameSamples_ = static_cast<uint32_t>(lame_get_framesize(lame_));
    encodedFrameBytes_ = frameBytes(encodedFrameSamples_, lameBitRateKbps_, lameOutputSampleRate_);
    // Standard output belongs to the tools' data, so the encoder's parameters go to the log.
    AvDebugLogger::instance().log(AvDebugLogger::kInfo,
                                  "lame says OUTPUT frame size (samples) is: %d, lag is %d",
                                  lame_get_framesize(lame_), lame_get_encoder_delay(lame_));
    return true;
}

uint32_t MpegAudioCompressor::encoderDelaySamples() const {
    return lameInitialised_ ? static_cast<uint32_t>(lame_get_encoder_delay(lame_)) : 0;
}

void MpegAudioCompressor::closeEncoder() {
    if (lame_ != nullptr) {
        lame_close(lame_);
        lame_ = nullptr;
    }
    lameInitialised_ = false;
}

bool MpegAudioCompressor::fillOutputChunk(std::unique_ptr<EncodedAudioChunk>& output) {
    const uint32_t count = std::min<uint32_t>(outputChunk_->freeSpaceIs(),
                                              static_cast<uint32_t>(pendingEncoded_.size()));
    if (count > 0) {
        outputChunk_->appendBytes(pendingEncoded_.data(), count);
        outputChunk_->advanceValidLength(count);
        pendingEncoded_.erase(pendingEncoded_.begin(), pendingEncoded_.begin() + count);
    }
    if (outputChunk_->freeSpaceIs() > 0) {
        return false;
    }
    if (encodedFrameBytes_ > 0) {
        samplesEncoded_ +=
            outputChunk_->validLengthIs() / encodedFrameBytes_ * encodedFrameSamples_;
    }
    output = std::move(outputChunk_);
    return true;
}

bool MpegAudioCompressor::CompressChunk(const DecodedAudioChunk* input,
                                        std::unique_ptr<EncodedAudioChunk>& output,
                                        uint32_t outputCapacity) {
    CHECK_POINTER(input);
    if (!prepareEncoder(input->sampleRateIs())) {
        return false;
    }
    if (!outputChunk_) {
        const uint32_t capacity = outputCapacity != 0 ? outputCapacity : encodedFrameBytes_;
        const uint32_t frames = encodedFrameBytes_ == 0 ? 0 : capacity / encodedFrameBytes_;
        outputChunk_ = std::make_unique<EncodedAudioChunk>(
            capacity, lameOutputSampleRate_, frames * encodedFrameSamples_, kFormatName,
            pendingEncoded_.empty() ? input->startTimeIs() : pendingStartTime_);
        outputChunk_->allocateBuffer(false);
        CHECK_ALLOCATION(outputChunk_->bufferIs());
    }
    // The samples of the first channel; LAME takes them as an array of shorts.
    const uint32_t count = input->validLengthIs() / 2;
    std::vector<short> samples(count);
    if (count > 0) {
        std::memcpy(samples.data(), input->bufferIs(), count * sizeof(short));
    }
    // LAME's own bound for what one call may produce.
    encodeScratch_.resize(count + count / 4 + 7200);
    const int produced =
        lame_encode_buffer(lame_, samples.data(), samples.data(), static_cast<int>(count),
                           encodeScratch_.data(), static_cast<int>(encodeScratch_.size()));
    if (produced < 0) {
        return false;
    }
    if (pendingEncoded_.empty()) {
        pendingStartTime_ = input->startTimeIs();
    }
    pendingEncoded_.insert(pendingEncoded_.end(), encodeScratch_.begin(),
                           encodeScratch_.begin() + produced);
    fillOutputChunk(output);
    return true;
}

bool MpegAudioCompressor::flushCompressedOutput(std::unique_ptr<EncodedAudioChunk>& output) {
    if (!lameInitialised_) {
        return false;
    }
    encodeScratch_.resize(7200);
    const int produced =
        lame_encode_flush(lame_, encodeScratch_.data(), static_cast<int>(encodeScratch_.size()));
    if (produced > 0) {
        pendingEncoded_.insert(pendingEncoded_.end(), encodeScratch_.begin(),
                               encodeScratch_.begin() + produced);
    }
    std::vector<uint8_t> remaining;
    double startTime = pendingStartTime_;
    if (outputChunk_) {
        remaining.assign(outputChunk_->bufferIs(),
                         outputChunk_->bufferIs() + outputChunk_->validLengthIs());
        startTime = outputChunk_->startTimeIs();
        outputChunk_.reset();
    }
    remaining.insert(remaining.end(), pendingEncoded_.begin(), pendingEncoded_.end());
    pendingEncoded_.clear();
    closeEncoder();
    if (remaining.empty()) {
        return false;
    }
    const uint32_t size = static_cast<uint32_t>(remaining.size());
    const uint32_t frames = encodedFrameBytes_ == 0 ? 0 : size / encodedFrameBytes_;
    auto chunk = std::make_unique<EncodedAudioChunk>(
        size, lameOutputSampleRate_, frames * encodedFrameSamples_, kFormatName, startTime);
    chunk->allocateBuffer(false);
    CHECK_ALLOCATION(chunk->bufferIs());
    chunk->appendBytes(remaining.data(), size);
    chunk->advanceValidLength(size);
    samplesEncoded_ += frames * encodedFrameSamples_;
    output = std::move(chunk);
    return true;
}

// Decoding ----------------------------------------------------------------------------------------

bool MpegAudioCompressor::setUpDecoder(const EncodedAudioChunk& chunk) {
    if (!initialiseMpg123Once()) {
        return false;
    }
    int error = MPG123_OK;
    decoder_ = mpg123_new(nullptr, &error);
    if (decoder_ == nullptr) {
        return false;
    }
    // Quiet (corrupt input is ours to report), mono, and no gapless trimming: every frame fed
    // yields exactly its samples, which keeps the frame times in step with the output.
    mpg123_param(decoder_, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_MONO_MIX, 0.0);
    mpg123_param(decoder_, MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0.0);
    mpg123_format_none(decoder_);
    const long* rates = nullptr;
    size_t rateCount = 0;
    mpg123_rates(&rates, &rateCount);
    for (size_t i = 0; i < rateCount; ++i) {
        mpg123_format(decoder_, rates[i], MPG123_MONO, MPG123_ENC_SIGNED_16);
    }
    if (mpg123_open_feed(decoder_) != MPG123_OK) {
        closeDecoder();
        return false;
    }
    decoderInitialised_ = true;
    firstEpochTime_ = chunk.startTimeIs();
    const MpegAudioFrameHeader header(chunk.bufferIs());
    firstSampleRate_ = header.sampleRate();
    firstSamplesPerFrame_ = header.samplesPerFrame();
    outputSampleRate_ = firstSampleRate_;
    bytesFed_ = 0;
    framesFed_ = 0;
    samplesDecoded_ = 0;
    stopWatch_.start();
    return true;
}

void MpegAudioCompressor::closeDecoder() {
    if (decoder_ != nullptr) {
        mpg123_close(decoder_);
        mpg123_delete(decoder_);
        decoder_ = nullptr;
    }
    decoderInitialised_ = false;
}

bool MpegAudioCompressor::feedEncodedChunk(const EncodedAudioChunk* chunk) {
    CHECK_POINTER(chunk);
    const uint32_t length = chunk->validLengthIs();
    if (length < MpegAudioFrameHeader::kSize || chunk->bufferIs() == nullptr) {
        feedErrorText_ = "the chunk holds no frame";
        return false;
    }
    const MpegAudioFrameHeader header(chunk->bufferIs());
    const uint32_t samplesPerFrame = header.samplesPerFrame();
    if (!header.isUsable() || samplesPerFrame == 0) {
        feedErrorText_ = "the chunk does not start with a usable MPEG audio frame header";
        return false;
    }
    // Whole frames back to back, each of its own size: padding and variable bit rates vary it.
    const MpegAudioFrameScanner scanner(header);
    uint32_t frames = 0;
    if (!scanner.countBackToBack(chunk->bufferIs(), length, frames, feedErrorText_)) {
        return false;
    }
    const uint32_t samples = chunk->numberOfSamplesIs();
    if (samples % samplesPerFrame != 0 || samples / samplesPerFrame != frames) {
        feedErrorText_ = "the chunk holds " + std::to_string(frames) +
                         " frames but says it holds " + std::to_string(samples) + " samples";
        return false;
    }
    if (!decoderInitialised_ && !setUpDecoder(*chunk)) {
        feedErrorText_ = "the decoder could not be set up";
        return false;
    }
    if (mpg123_feed(decoder_, chunk->bufferIs(), length) != MPG123_OK) {
        feedErrorText_ = std::string("the decoder refused the bytes: ") + mpg123_strerror(decoder_);
        return false;
    }
    feedErrorText_.clear();
    const double frameDuration = static_cast<double>(samplesPerFrame) / header.sampleRate();
    for (uint32_t i = 0; i < frames; ++i) {
        frameTimes_.push_back(chunk->startTimeIs() + i * frameDuration);
    }
    if (primingCount_ != 0) {
        --primingCount_;
    }
    bytesFed_ += length;
    framesFed_ += frames;
    return true;
}

int MpegAudioCompressor::readDecoded(DecodedAudioChunk& chunk) {
    for (;;) {
        size_t done = 0;
        const int result =
            mpg123_read(decoder_, chunk.writePositionIs(), chunk.freeSpaceIs(), &done);
        chunk.advanceValidLength(static_cast<uint32_t>(done));
        if (result == MPG123_NEW_FORMAT) {
            long rate = 0;
            int channels = 0;
            int encoding = 0;
            if (mpg123_getformat(decoder_, &rate, &channels, &encoding) == MPG123_OK) {
                outputSampleRate_ = static_cast<uint32_t>(rate);
            }
            continue;
        }
        if (result == MPG123_OK && chunk.freeSpaceIs() > 0) {
            if (done == 0) {
                return MPG123_NEED_MORE;
            }
            continue;
        }
        return result;
    }
}

void MpegAudioCompressor::handOutDecoded(std::unique_ptr<DecodedAudioChunk>& chunk) {
    const uint32_t samples = partialDecoded_->validLengthIs() / 2;
    const uint32_t rate = outputSampleRate_ != 0 ? outputSampleRate_ : firstSampleRate_;
    if (!frameTimes_.empty() && rate != 0) {
        partialDecoded_->setStartTime(frameTimes_.front() +
                                      static_cast<double>(samplesIntoFrontFrame_) / rate);
    }
    // Each frame fed accounts for samples-per-frame samples of output.
    if (firstSamplesPerFrame_ != 0) {
        uint64_t consumed = uint64_t{samplesIntoFrontFrame_} + samples;
        while (consumed >= firstSamplesPerFrame_ && !frameTimes_.empty()) {
            frameTimes_.pop_front();
            consumed -= firstSamplesPerFrame_;
        }
        samplesIntoFrontFrame_ = frameTimes_.empty() ? 0 : static_cast<uint32_t>(consumed);
    }
    samplesDecoded_ += samples;
    chunk = std::move(partialDecoded_);
}

int MpegAudioCompressor::getDecodedChunk(uint32_t samplesWanted,
                                         std::unique_ptr<DecodedAudioChunk>& chunk) {
    if (primingCount_ != 0) {
        return kNeedMoreInput;
    }
    if (!decoderInitialised_ || samplesWanted == 0) {
        return kDecodeFailed;
    }
    if (!partialDecoded_) {
        partialDecoded_ = std::make_unique<DecodedAudioChunk>(samplesWanted, firstSampleRate_, 1,
                                                              kPcmFormatName, -1.0);
        if (!partialDecoded_->allocateBuffer(false)) {
            partialDecoded_.reset();
            return kDecodeFailed;
        }
    }
    const int result = readDecoded(*partialDecoded_);
    if (result == MPG123_OK) {
        handOutDecoded(chunk);
        return kChunkProduced;
    }
    if (result == MPG123_NEED_MORE) {
        return kNeedMoreInput;
    }
    partialDecoded_.reset();
    return kDecodeFailed;
}

int MpegAudioCompressor::drainDecodedChunk(std::unique_ptr<DecodedAudioChunk>& chunk) {
    if (!decoderInitialised_) {
        return kNeedMoreInput;
    }
    // Whatever is left is at most the frames fed and not yet accounted for.
    const uint64_t left = uint64_t{firstSamplesPerFrame_} * frameTimes_.size();
    if (left == 0) {
        return kNeedMoreInput;
    }
    auto drained = std::make_unique<DecodedAudioChunk>(static_cast<uint32_t>(left),
                                                       firstSampleRate_, 1, kPcmFormatName, -1.0);
    if (!drained->allocateBuffer(false)) {
        return kDecodeFailed;
    }
    if (partialDecoded_) {
        drained->appendBytes(partialDecoded_->bufferIs(), partialDecoded_->validLengthIs());
        drained->advanceValidLength(partialDecoded_->validLengthIs());
    }
    const int result = readDecoded(*drained);
    if ((result != MPG123_OK && result != MPG123_NEED_MORE) || drained->validLengthIs() == 0) {
        partialDecoded_.reset();
        return result == MPG123_NEED_MORE ? kNeedMoreInput : kDecodeFailed;
    }
    // The chunk says how many samples it holds.
    const uint32_t samples = drained->validLengthIs() / 2;
    partialDecoded_ =
        std::make_unique<DecodedAudioChunk>(samples, firstSampleRate_, 1, kPcmFormatName, -1.0);
    if (!partialDecoded_->allocateBuffer(false)) {
        partialDecoded_.reset();
        return kDecodeFailed;
    }
    partialDecoded_->appendBytes(drained->bufferIs(), samples * 2);
    partialDecoded_->advanceValidLength(samples * 2);
    handOutDecoded(chunk);
    return kChunkProduced;
}

bool MpegAudioCompressor::reset() {
    closeDecoder();
    firstEpochTime_ = -1.0;
    firstSampleRate_ = 0;
    firstSamplesPerFrame_ = 0;
    outputSampleRate_ = 0;
    frameTimes_.clear();
    samplesIntoFrontFrame_ = 0;
    partialDecoded_.reset();
    bytesFed_ = 0;
    framesFed_ = 0;
    samplesDecoded_ = 0;
    primingCount_ = 3;
    return true;
}
