#include "MpegAudioFrameScanner.h"

MpegAudioFrameScanner::MpegAudioFrameScanner(const MpegAudioFrameHeader& first) : first_(first) {}

bool MpegAudioFrameScanner::belongs(const MpegAudioFrameHeader& header) const {
    return header.isUsable() && header.versionId() == first_.versionId() &&
           header.layer() == first_.layer() && header.sampleRate() == first_.sampleRate();
}

MpegAudioFrameScanner::Scan MpegAudioFrameScanner::scan(const uint8_t* bytes, uint32_t length,
                                                        uint32_t maximumFrames,
                                                        bool endOfData) const {
    Scan result;
    uint32_t at = 0;
    bool afterJunk = false;
    // Whether a frame of `size` bytes at `at` is followed by a usable header, or ends the data.
    // Unknown (left for the next scan) when the bytes end before that can be told.
    enum class Follow { kYes, kNo, kUnknown };
    auto followed = [&](uint32_t size) {
        const uint64_t next = uint64_t{at} + size;
        if (next + MpegAudioFrameHeader::kSize <= length) {
            return MpegAudioFrameHeader(bytes + next).isUsable() ? Follow::kYes : Follow::kNo;
        }
        if (!endOfData) {
            return Follow::kUnknown;
        }
        return next == length ? Follow::kYes : Follow::kNo;
    };
    while (result.frames.size() < maximumFrames) {
        if (uint64_t{at} + MpegAudioFrameHeader::kSize > length) {
            if (endOfData) {
                result.junkBytes += length - at;
                at = length;
            }
            result.consumed = at;
            result.stop = Stop::kEndOfBytes;
            return result;
        }
        const MpegAudioFrameHeader header(bytes + at);
        const uint32_t size = header.frameSize();
        if (belongs(header)) {
            const bool whole = uint64_t{at} + size <= length;
            if (!whole && !endOfData) {
                result.consumed = at;
                result.stop = Stop::kEndOfBytes;
                return result;
            }
            const Follow follow = whole && afterJunk ? followed(size) : Follow::kYes;
            if (follow == Follow::kUnknown) {
                result.consumed = at;
                result.stop = Stop::kEndOfBytes;
                return result;
            }
            if (whole && follow == Follow::kYes) {
                result.frames.push_back({at, size});
                at += size;
                afterJunk = false;
                continue;
            }
        } else if (header.isUsable()) {
            const Follow follow = followed(size);
            if (follow == Follow::kUnknown) {
                result.consumed = at;
                result.stop = Stop::kEndOfBytes;
                return result;
            }
            if (follow == Follow::kYes) {
                result.consumed = at;
                result.stop = Stop::kOtherStream;
                result.otherHeader = header;
                return result;
            }
        }
        ++result.junkBytes;
        ++at;
        afterJunk = true;
    }
    result.consumed = at;
    result.stop = Stop::kEnoughFrames;
    return result;
}

bool MpegAudioFrameScanner::countBackToBack(const uint8_t* bytes, uint32_t length, uint32_t& frames,
                                            std::string& reason) const {
    frames = 0;
    uint64_t at = 0;
    while (at < length) {
        if (at + MpegAudioFrameHeader::kSize > length) {
            reason = "frame " + std::to_string(frames) + " of the chunk is cut off";
            return false;
        }
        const MpegAudioFrameHeader header(bytes + at);
        if (!belongs(header)) {
            reason = "frame " + std::to_string(frames) + " of the chunk (byte " +
                     std::to_string(at) + ") is not a frame of " + describe(first_);
            return false;
        }
        if (at + header.frameSize() > length) {
            reason = "frame " + std::to_string(frames) + " of the chunk is cut off";
            return false;
        }
        at += header.frameSize();
        ++frames;
    }
    return true;
}

std::string MpegAudioFrameScanner::describe(const MpegAudioFrameHeader& header) {
    return std::string("MPEG-") + header.versionName() + " Layer " +
           std::string(static_cast<size_t>(header.layerNumber()), 'I') + " at " +
           std::to_string(header.sampleRate()) + " Hz";
}
