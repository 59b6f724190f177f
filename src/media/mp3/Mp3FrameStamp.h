#pragma once

#include <cstdint>

// The wall-clock stamp that the recorder embeds in MP3 frames: in a frame whose header has the
// stamp form (MpegAudioFrameHeader::mayCarryStamp) and the private bit set, the last bytes are
// "V" (1), the epoch seconds as a little-endian IEEE double (8), "T" (1), followed only by zero
// bytes up to the end of the frame. The bytes hold no lock and own nothing: all static.
class Mp3FrameStamp {
public:
    static constexpr uint32_t kSize = 10;
    // The header (4) and the stamp (10) come before the last byte a "T" may sit on.
    static constexpr uint32_t kMinimumTIndex = 15;

    // The stamp of one frame: the header must have the stamp form and the private bit, and the
    // stamp must be plausible (below). False when the frame carries none.
    static bool find(const uint8_t* frame, uint32_t frameSize, double& stamp);
    // The scan alone, header unchecked: backwards from the last byte over zero bytes; the first
    // byte that is not zero must be a "T" (at index 15 or later) with a "V" nine bytes before it.
    static bool scan(const uint8_t* frame, uint32_t frameSize, double& stamp);
    // Epoch seconds a stamp may hold: finite and within the unsigned 32-bit seconds of file names.
    static bool isPlausible(double stamp);

    // Where a run of whole frames (an encoded chunk) carries its first stamp.
    struct Found {
        uint32_t frameIndex = 0;   // index of the stamped frame in the run
        uint32_t frameOffset = 0;  // its byte offset in the run
        double stamp = 0.0;
        float frameDuration = 0.0f;  // of the stamped frame
    };
    // Walks the frames from the first while more than 14 bytes remain: a frame whose header lacks
    // the stamp form, whose size is 0 or that does not fit in the run ends the walk; frames without
    // the private bit or without a stamp are stepped over.
    static bool findFirstInFrames(const uint8_t* data, uint32_t size, Found& found);

    // Bytes at the end of a single-channel MPEG-2 or 2.5 Layer III frame that hold no audio
    // data: after the header (4), the side information (9) and the main data the side information
    // declares. 0 for other frames, for frames whose main data starts in an earlier frame (bit
    // reservoir), and for frames that are too short.
    static uint32_t freeTrailingBytes(const uint8_t* frame, uint32_t frameSize);
    // Where this frame's main data starts, in bytes before its side information ends (0 when it
    // starts in this frame, as without a bit reservoir). Only for MPEG-2/2.5 Layer III frames.
    static uint32_t mainDataBegin(const uint8_t* frame);

    // Writes `stamp` over the free trailing bytes (zeroing the rest of them) and sets the private
    // bit. False, the frame unchanged, when the frame has fewer than kSize free trailing bytes or
    // lacks the stamp form. The caller makes sure no later frame's main data starts in this one.
    static bool place(uint8_t* frame, uint32_t frameSize, double stamp);
};
