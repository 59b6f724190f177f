#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "AudioDecoder.h"
#include "DecodedAudioChunk.h"
#include "EncodedAudioChunk.h"
#include "TimeRange.h"

class CompressedAudioFile;
class TransactionId;

// One decoded chunk per channel (position i is channel i; null where a channel gave nothing).
using DecodedChunkSet = std::vector<std::unique_ptr<DecodedAudioChunk>>;
using EncodedChunkSet = std::vector<std::unique_ptr<EncodedAudioChunk>>;

// The per-channel audio decoders of one session: channel i is decoder i, and channel 0 is the
// master that every other channel is brought in step with before each read.
//
// Threads: the group's own lock guards its list of decoders (the refresh thread may add a channel
// while the feeder reads); each decoder locks itself. Decoders are never removed, so a pointer
// from decoderForChannel stays valid for the group's life.
class AudioDecoderGroup {
public:
    AudioDecoderGroup();
    virtual ~AudioDecoderGroup();

    AudioDecoderGroup(const AudioDecoderGroup&) = delete;
    AudioDecoderGroup& operator=(const AudioDecoderGroup&) = delete;

    // Appends a decoder as the next channel; the group owns it. Fatal check when null.
    void addDecoder(std::unique_ptr<AudioDecoder> decoder);
    unsigned numberOfDecodersIs();
    // Decoder of channel `i` (the group keeps ownership), or null when out of range.
    AudioDecoder* decoderForChannel(unsigned i);
    // False when the channel is out of range.
    bool fileNameIsInDecodeList(unsigned channel, const std::string& fileName);
    // False (the file destroyed) when the channel is out of range or the decoder refuses it.
    bool addFileToDecodeList(unsigned channel, std::unique_ptr<CompressedAudioFile> file);
    // Every decoder is positioned, even after one fails; true only when all succeeded.
    bool setPositionByWallClockTime(double t, float tolerance);
    // Every decoder refreshes; true only when all succeeded.
    bool refreshAllFileInformation(double maximumAgeSeconds);
    // Channel 0's play time, or 0.0 without decoders.
    double totalPlayTimeIs();
    // Slaves every channel to channel 0, then reads one decoded chunk per channel (the caller owns
    // the set). `endOfData`, when given, is set when every channel has ended.
    DecodedChunkSet getNextDecodedChunks(bool* endOfData = nullptr);
    // The same for encoded chunks; a non-null `id` is copied into each chunk.
    EncodedChunkSet getNextEncodedChunks(bool* endOfData = nullptr, TransactionId* id = nullptr);
    // Appends channel `channel`'s merged time ranges (gaps up to 5.0 s joined); the number
    // appended, 0 when the channel is out of range.
    unsigned listTimeRangesForChannel(unsigned channel, std::vector<TimeRange>& out);

private:
    void slaveToMasterLocked();

    std::mutex lock_;
    std::vector<std::unique_ptr<AudioDecoder>> decoders_;
};
