// Arbitrary bytes as an MPEG audio file: the header decoder on every 4-byte window of the start,
// the frame scanner on the bytes, the file reader (header, positions, frame reads, a dry-run
// split, chunks of frames of any size) on the bytes as a file, and the codec wrapper fed the bytes
// as chunks of frames and the reader's chunks.

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "DecodedAudioChunk.h"
#include "EncodedAudioChunk.h"
#include "KorvalisMp3CompressedAudioFile.h"
#include "MpegAudioCompressor.h"
#include "MpegAudioFile.h"
#include "MpegAudioFrameHeader.h"
#include "MpegAudioFrameScanner.h"

namespace {

void require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

void checkHeader(const uint8_t* bytes) {
    const MpegAudioFrameHeader header(bytes);
    const uint32_t size = header.frameSize();
    require(size <= 1441 * 4, "frame size within the largest frame");
    require(!header.isUsable() || (size > 0 && header.frameDuration() > 0.0f),
            "a usable header has a size and a duration");
    require(header.layerNumber() >= 0 && header.layerNumber() <= 3, "layer number");
}

void scanFrames(const uint8_t* data, size_t size) {
    if (size < MpegAudioFrameHeader::kSize || size > UINT32_MAX) {
        return;
    }
    const MpegAudioFrameHeader first(data);
    if (!first.isUsable()) {
        return;
    }
    const MpegAudioFrameScanner scanner(first);
    const auto length = static_cast<uint32_t>(size);
    for (bool endOfData : {false, true}) {
        const MpegAudioFrameScanner::Scan scan = scanner.scan(data, length, 1000, endOfData);
        require(scan.consumed <= length, "no more consumed than given");
        uint64_t covered = 0;
        uint64_t end = 0;
        for (const auto& frame : scan.frames) {
            require(frame.offset >= end && uint64_t{frame.offset} + frame.size <= scan.consumed,
                    "frames in order, inside what was consumed");
            require(frame.size <= MpegAudioFrameScanner::kMaximumFrameBytes, "frame size bound");
            require(scanner.belongs(MpegAudioFrameHeader(data + frame.offset)), "frames belong");
            end = uint64_t{frame.offset} + frame.size;
            covered += frame.size;
        }
        require(covered + scan.junkBytes == scan.consumed, "frames and junk make up the consumed");
        require(!endOfData || scan.stop != MpegAudioFrameScanner::Stop::kEndOfBytes ||
                    scan.consumed == length,
                "at the end of the data everything is consumed");
    }
    uint32_t frames = 0;
    std::string reason;
    if (scanner.countBackToBack(data, length, frames, reason)) {
        require(frames > 0, "back-to-back frames are counted");
    } else {
        require(!reason.empty(), "a refusal says why");
    }
}

void readAsFile(const uint8_t* data, size_t size) {
    // An in-memory file, opened by name as every media file is.
    static const int descriptor = memfd_create("mpeg-audio-fuzz", 0);
    if (descriptor < 0 || ftruncate(descriptor, 0) != 0 ||
        pwrite(descriptor, data, size, 0) != static_cast<ssize_t>(size)) {
        return;
    }
    MpegAudioFile file("/proc/self/fd/" + std::to_string(descriptor));
    const bool usable = file.parseAndBufferFirstFrame(false);
    require(!usable || file.getFrameSize() > 0, "a parsed file has a frame size");
    const float total = file.getTotalDuration();
    float reached = 0.0f;
    for (float offset : {0.0f, total / 3, total, total + 1.0f, -1.0f}) {
        if (file.setPositionByTimeOffset(offset, reached)) {
            require(reached <= offset + 1e-3f && file.getStreamPosition() <= size, "position");
        }
    }
    file.setPositionByTimeOffset(0.0f, reached);
    std::vector<uint8_t> buffer(4096);
    uint32_t bytesRead = 0;
    bool endOfFile = false;
    uint64_t totalRead = 0;
    while (file.readFrames(3, buffer.data(), buffer.size(), bytesRead, endOfFile)) {
        require(bytesRead > 0 && bytesRead % file.getFrameSize() == 0, "whole frames");
        totalRead += bytesRead;
        require(totalRead <= size, "no more than the file");
    }
    float first = 0.0f;
    float second = 0.0f;
    file.copyAndSplitAtOffset(total / 3, total / 2, first, second, "", "", "", 1.0f, nullptr,
                              nullptr, 0, true);

    // The same bytes as a timed file: chunks with their stamps, the stamp count and the dump.
    KorvalisMp3CompressedAudioFile timed("/proc/self/fd/" + std::to_string(descriptor), true);
    std::unique_ptr<EncodedAudioChunk> chunk;
    bool timedEnd = false;
    MpegAudioCompressor codec(16000, 16000, 32, 7);
    while (!timedEnd && timed.getNextEncodedChunk(chunk, timedEnd, 0.144f)) {
        require(chunk->validLengthIs() > 0 && chunk->validLengthIs() <= size, "chunk size");
        require(codec.feedEncodedChunk(chunk.get()),
                "the codec takes every chunk the reader makes");
        std::unique_ptr<DecodedAudioChunk> decoded;
        while (codec.getDecodedChunk(chunk->numberOfSamplesIs(), decoded) ==
               AudioCompressor::kChunkProduced) {
        }
    }
    timed.countStampedFrames();
    std::ostringstream csv;
    timed.dumpTimingDataAsCsv(csv);
}

void decodeAsChunks(const uint8_t* data, size_t size) {
    if (size < MpegAudioFrameHeader::kSize) {
        return;
    }
    const MpegAudioFrameHeader header(data);
    const uint32_t frameSize = header.frameSize();
    if (frameSize == 0 || size < frameSize) {
        return;
    }
    MpegAudioCompressor codec(16000, 16000, 32, 7);
    const uint32_t frames = static_cast<uint32_t>(std::min<size_t>(size / frameSize, 40));
    for (uint32_t at = 0; at < frames; at += 4) {
        const uint32_t count = std::min(4u, frames - at);
        EncodedAudioChunk chunk(count * frameSize, header.sampleRate(),
                                count * header.samplesPerFrame(), "MPEG Audio", 1000.0 + at);
        if (!chunk.allocateBuffer(false) ||
            !chunk.appendBytes(data + at * frameSize, count * frameSize)) {
            return;
        }
        chunk.advanceValidLength(count * frameSize);
        codec.feedEncodedChunk(&chunk);
        std::unique_ptr<DecodedAudioChunk> decoded;
        while (codec.getDecodedChunk(1000, decoded) == AudioCompressor::kChunkProduced) {
            require(decoded->validLengthIs() == 2000, "a full chunk");
        }
    }
    std::unique_ptr<DecodedAudioChunk> decoded;
    while (codec.drainDecodedChunk(decoded) == AudioCompressor::kChunkProduced) {
        require(decoded->validLengthIs() > 0, "a drained chunk holds samples");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (size_t i = 0; i + MpegAudioFrameHeader::kSize <= size && i < 16; ++i) {
        checkHeader(data + i);
    }
    scanFrames(data, size);
    readAsFile(data, size);
    decodeAsChunks(data, size);
    return 0;
}
