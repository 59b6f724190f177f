#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "MpegAudioFrameHeader.h"

// Finds the frames of one MPEG audio stream in a run of bytes, each frame sized by its own header:
// frames whose padding or bit rate varies their size, and bytes between them that are no frame
// (junk), which are passed over. The stream is that of a first frame: the same version, layer and
// sample rate (and so the same samples per frame). A value; no state between scans.
class MpegAudioFrameScanner {
public:
    // The largest frame any usable header describes (MPEG-2.5 Layer II, 160 kbit/s at 8000 Hz,
    // padded), in bytes.
    static constexpr uint32_t kMaximumFrameBytes = 2881;

    // `first` must be usable (MpegAudioFrameHeader::isUsable).
    explicit MpegAudioFrameScanner(const MpegAudioFrameHeader& first);

    // A usable header of the stream.
    bool belongs(const MpegAudioFrameHeader& header) const;

    struct Frame {
        uint32_t offset;
        uint32_t size;
    };
    enum class Stop {
        kEnoughFrames,  // the frames asked for were found
        kEndOfBytes,    // the bytes ran out (what was cut off is left for the next scan)
        kOtherStream,   // a frame of another format begins at `consumed`
    };
    struct Scan {
        std::vector<Frame> frames;
        // Bytes done with from the start: the frames and the junk before and between them.
        uint32_t consumed = 0;
        uint32_t junkBytes = 0;
        Stop stop = Stop::kEndOfBytes;
        // The header of the other stream's frame (kOtherStream).
        MpegAudioFrameHeader otherHeader;
    };
    // Scans `bytes` for up to `maximumFrames` frames. Unless `endOfData`, a header or frame cut
    // off by the end of the bytes is left unconsumed for the next scan, which must start at
    // `consumed`; with it, what makes no whole frame at the end is junk. A frame found after junk
    // counts only when another header follows it (or the data ends with it), so stray sync bits
    // in junk are not taken for a frame. A header of another format counts as a frame of another
    // stream on the same terms, and ends the scan.
    Scan scan(const uint8_t* bytes, uint32_t length, uint32_t maximumFrames, bool endOfData) const;

    // True when `bytes` are whole frames of the stream back to back, with their number in
    // `frames`. Otherwise false, with the index of the first frame that is not and the reason.
    bool countBackToBack(const uint8_t* bytes, uint32_t length, uint32_t& frames,
                         std::string& reason) const;

    // "MPEG-1 Layer III at 44100 Hz".
    static std::string describe(const MpegAudioFrameHeader& header);

private:
    MpegAudioFrameHeader first_;
};
