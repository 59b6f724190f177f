#pragma once

#include <cstdint>

// The four header bytes that open every MPEG audio frame, decoded. A value: copied freely.
//
// Header, one 32-bit big-endian word: sync 0x7FF (11 bits), version id (2), layer (2),
// protection (1), bit-rate index (4), sample-rate index (2), padding (1), private (1),
// channel mode (2), mode extension (2), copyright (1), original (1), emphasis (2).
class MpegAudioFrameHeader {
public:
    static constexpr uint32_t kSize = 4;

    // Version ids and layer codes as they appear in the header.
    static constexpr uint32_t kVersion25 = 0;
    static constexpr uint32_t kVersionReserved = 1;
    static constexpr uint32_t kVersion2 = 2;
    static constexpr uint32_t kVersion1 = 3;
    static constexpr uint32_t kLayerReserved = 0;
    static constexpr uint32_t kLayer3 = 1;
    static constexpr uint32_t kLayer2 = 2;
    static constexpr uint32_t kLayer1 = 3;
    static constexpr uint32_t kChannelModeSingle = 3;

    // All fields zero except version id and layer (3), as before any header was read.
    MpegAudioFrameHeader() = default;
    // Decodes four header bytes. The fields are stored even when the sync word is wrong.
    explicit MpegAudioFrameHeader(const uint8_t* bytes);

    // The 11 sync bits are all set.
    bool hasValidSync() const { return validSync_; }
    // A frame this system can position in: valid sync, a known version and layer, and a bit rate
    // and sample rate from the tables (free-format and reserved indexes are not usable).
    bool isUsable() const { return validSync_ && frameSize() > 0; }
    // The header form of frames that may carry a time stamp, the private bit aside: valid sync,
    // no CRC, single channel, mode extension 0, copyright and original clear, no emphasis.
    bool mayCarryStamp() const;

    // Frame size in bytes as the first frame gives it: (samples per frame / 8) x bit rate x 1000
    // / sample rate, + 1 with padding; Layer I counts in 4-byte slots. 0 when not computable.
    uint32_t frameSize() const;
    // Samples per frame / sample rate, in seconds (0 when the sample rate is 0).
    float frameDuration() const;

    uint32_t word() const { return word_; }
    uint32_t versionId() const { return versionId_; }
    uint32_t layer() const { return layer_; }
    bool crcProtected() const { return crcProtected_; }
    uint32_t bitRateIndex() const { return bitRateIndex_; }
    uint32_t bitRateKbps() const { return bitRateKbps_; }
    uint32_t sampleRate() const { return sampleRate_; }
    bool padding() const { return padding_; }
    bool privateBit() const { return privateBit_; }
    uint32_t channelMode() const { return channelMode_; }
    uint32_t modeExtension() const { return modeExtension_; }
    bool copyrightFlag() const { return copyrightFlag_; }
    bool originalFlag() const { return originalFlag_; }
    uint32_t emphasis() const { return emphasis_; }
    uint32_t samplesPerFrame() const { return samplesPerFrame_; }

    // "1", "2", "2.5", or "reserved".
    const char* versionName() const;
    // 1, 2 or 3 (0 for the reserved layer code).
    int layerNumber() const;

    // Sets or clears the private bit in header bytes (byte 2, bit 0).
    static void setPrivateBit(uint8_t* bytes, bool value);

private:
    uint32_t word_ = 0;
    bool validSync_ = false;
    uint32_t versionId_ = 3;
    uint32_t layer_ = 3;
    bool crcProtected_ = false;
    uint32_t bitRateIndex_ = 0;
    uint32_t bitRateKbps_ = 0;
    uint32_t sampleRate_ = 0;
    bool padding_ = false;
    bool privateBit_ = false;
    uint32_t channelMode_ = 0;
    uint32_t modeExtension_ = 0;
    bool copyrightFlag_ = false;
    bool originalFlag_ = false;
    uint32_t emphasis_ = 0;
    uint32_t samplesPerFrame_ = 0;
};
