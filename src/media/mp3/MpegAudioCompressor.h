#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "AudioCompressor.h"
#include "StopWatch.h"

struct lame_global_struct;
struct mpg123_handle_struct;

// MPEG audio for the pipeline: decodes MP3 chunks with mpg123 in feed mode into 16-bit mono PCM
// chunks timed by the frames they came from, and encodes PCM with LAME (mono, constant bit rate,
// no bit reservoir, strict ISO). The session media set makes one per channel with 16000, 16000,
// 32 and 7. One thread at a time; only the process-wide library set-up is shared.
class MpegAudioCompressor : public AudioCompressor {
public:
    // `sampleRate` is the rate the decoded side expects (Hz); LAME encodes at
    // `lameOutputSampleRate` Hz, `lameBitRateKbps` kbit/s and quality `lameQuality` (0 best, 9).
    MpegAudioCompressor(uint32_t sampleRate, uint32_t lameOutputSampleRate,
                        uint32_t lameBitRateKbps, uint32_t lameQuality);
    ~MpegAudioCompressor() override;

    bool CompressChunk(const DecodedAudioChunk* input, std::unique_ptr<EncodedAudioChunk>& output,
                       uint32_t outputCapacity) override;
    // The chunk must hold whole frames of one stream back to back, each of the size its own
    // header gives (padding and variable bit rates vary it), and say how many samples they make.
    // A refused chunk is not fed; feedErrorText() says why.
    bool feedEncodedChunk(const EncodedAudioChunk* chunk) override;
    // Why the last feedEncodedChunk refused its chunk (empty after one that was fed).
    const std::string& feedErrorText() const { return feedErrorText_; }
    // Answers kNeedMoreInput until three chunks were fed since the start or the last reset. A
    // chunk's start time is the time of the frame its first sample came from. Samples decoded
    // while more input is needed are kept for the next call.
    int getDecodedChunk(uint32_t samplesWanted, std::unique_ptr<DecodedAudioChunk>& chunk) override;
    unsigned getOutputLag() override { return 3; }
    bool reset() override;

    // At the end of the input: hands out, as one chunk of what there is, every sample the decoder
    // can still produce from what was fed. kNeedMoreInput when there is none.
    int drainDecodedChunk(std::unique_ptr<DecodedAudioChunk>& chunk);
    // At the end of the PCM input: ends the encoded stream and hands out everything not yet
    // handed out (possibly less than a full chunk). False when nothing remained. The next
    // CompressChunk starts a new stream.
    bool flushCompressedOutput(std::unique_ptr<EncodedAudioChunk>& output);
    // Sets LAME up for input at `inputSampleRate` Hz before the first CompressChunk, so its frame
    // size and delay can be asked for. False when LAME refuses the settings.
    bool prepareEncoder(uint32_t inputSampleRate);
    // Samples LAME delays its output by (valid once the encoder is set up; 0 before).
    uint32_t encoderDelaySamples() const;
    // Bytes of one encoded frame and samples it holds (0 before the encoder is set up).
    uint32_t encodedFrameBytes() const { return encodedFrameBytes_; }
    uint32_t encodedFrameSamples() const { return encodedFrameSamples_; }

    // The rate the decoded side of the pipeline expects (Hz); decoded chunks carry their stream's
    // own rate, which the recorder's files share with it.
    uint32_t sampleRateIs() const { return sampleRate_; }
    // The start time of the first chunk fed since the last reset (-1.0 before).
    double firstEpochTimeIs() const { return firstEpochTime_; }
    uint64_t bytesFed() const { return bytesFed_; }
    uint64_t framesFed() const { return framesFed_; }
    uint64_t samplesDecoded() const { return samplesDecoded_; }
    uint64_t samplesEncoded() const { return samplesEncoded_; }

private:
    bool setUpDecoder(const EncodedAudioChunk& chunk);
    void closeDecoder();
    void closeEncoder();
    int readDecoded(DecodedAudioChunk& chunk);
    void handOutDecoded(std::unique_ptr<DecodedAudioChunk>& chunk);
    bool fillOutputChunk(std::unique_ptr<EncodedAudioChunk>& output);

    const uint32_t sampleRate_;
    const uint32_t lameOutputSampleRate_;
    const uint32_t lameBitRateKbps_;
    const uint32_t lameQuality_;

    lame_global_struct* lame_ = nullptr;
    bool lameInitialised_ = false;
    uint32_t encodedFrameBytes_ = 0;
    uint32_t encodedFrameSamples_ = 0;
    std::unique_ptr<EncodedAudioChunk> outputChunk_;
    std::vector<uint8_t> pendingEncoded_;
    std::vector<uint8_t> encodeScratch_;
    double pendingStartTime_ = -1.0;

    mpg123_handle_struct* decoder_ = nullptr;
    bool decoderInitialised_ = false;
    double firstEpochTime_ = -1.0;
    uint32_t firstSampleRate_ = 0;
    uint32_t firstSamplesPerFrame_ = 0;
    uint32_t outputSampleRate_ = 0;
    std::deque<double> frameTimes_;
    uint32_t samplesIntoFrontFrame_ = 0;
    unsigned primingCount_ = 3;
    std::unique_ptr<DecodedAudioChunk> partialDecoded_;
    std::string feedErrorText_;

    uint64_t bytesFed_ = 0;
    uint64_t framesFed_ = 0;
    uint64_t samplesDecoded_ = 0;
    uint64_t samplesEncoded_ = 0;
    StopWatch stopWatch_;
};
