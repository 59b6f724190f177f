#pragma once

#include <cstdint>
#include <memory>
#include <string>

class DecodedAudioChunk;
class EncodedAudioChunk;

// The audio codec of the pipeline, in both directions: encoded chunks are fed in and decoded PCM
// chunks come out, carrying wall-clock times; decoded chunks are compressed back. One object is
// used by one thread at a time.
class AudioCompressor {
public:
    // What getDecodedChunk answers.
    enum DecodeResult {
        kDecodeFailed = 0,
        kChunkProduced = 1,
        kNeedMoreInput = 2,
    };

    explicit AudioCompressor(std::string formatName) : formatName_(std::move(formatName)) {}
    virtual ~AudioCompressor() = default;

    AudioCompressor(const AudioCompressor&) = delete;
    AudioCompressor& operator=(const AudioCompressor&) = delete;

    // Encodes `input`; once the encoded chunk being filled is full it is handed out in `output`
    // (owned by the caller), otherwise `output` is left alone. `outputCapacity` sizes new encoded
    // chunks (0: one frame). False when encoding fails.
    virtual bool CompressChunk(const DecodedAudioChunk* input,
                               std::unique_ptr<EncodedAudioChunk>& output,
                               uint32_t outputCapacity) = 0;
    // Queues a chunk of whole encoded frames for decoding. False when it is refused.
    virtual bool feedEncodedChunk(const EncodedAudioChunk* chunk) = 0;
    // A decoded chunk of `samplesWanted` samples (owned by the caller) when kChunkProduced.
    virtual int getDecodedChunk(uint32_t samplesWanted,
                                std::unique_ptr<DecodedAudioChunk>& chunk) = 0;
    // Encoded chunks to feed before decoded output comes.
    virtual unsigned getOutputLag() = 0;
    // Drops the decoder and all decoding state.
    virtual bool reset() = 0;
    // The chunk's format name is this codec's ("MPEG Audio").
    virtual bool acceptsEncodedChunk(const EncodedAudioChunk* chunk);
    // The chunk's format name is "PCM".
    virtual bool acceptsDecodedChunk(const DecodedAudioChunk* chunk);

    const std::string& formatNameIs() const { return formatName_; }

private:
    std::string formatName_;
};
