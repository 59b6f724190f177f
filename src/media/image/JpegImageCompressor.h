#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "ImageCompressor.h"
#include "StopWatch.h"

// JPEG through TurboJPEG. Each compressor keeps one compression and one decompression handle,
// made on first use and reused for every picture; its lock makes it safe to share, though each
// video file has its own.
class JpegImageCompressor : public ImageCompressor {
public:
    // Flags: pixels are blue, green, red (else red, green, blue) ...
    static constexpr int kFlagBgr = 1;
    // ... and rows are stored bottom row first.
    static constexpr int kFlagBottomUp = 2;
    // Largest picture decoded, so that a damaged header cannot demand unbounded memory.
    static constexpr uint32_t kMaximumDimension = 16384;
    static constexpr uint64_t kMaximumPixels = uint64_t{1} << 25;

    // `quality` 1-100; `subsamplingIndex` 0 4:4:4, 1 4:2:2, 2 4:2:0, 3 grey (others: 4:2:0);
    // `flags` a combination of the kFlag values. Video files use (70, 2, kFlagBgr).
    JpegImageCompressor(int quality, int subsamplingIndex, int flags);
    ~JpegImageCompressor() override;
    JpegImageCompressor(const JpegImageCompressor&) = delete;
    JpegImageCompressor& operator=(const JpegImageCompressor&) = delete;

    // Accepts only an RgbImage ("RGB"); the result is a "JPEG" CompressedImage whose buffer is
    // TurboJPEG's worst case for the size and whose data length is the JPEG's size.
    bool compress(const Image& input, std::unique_ptr<CompressedImage>& output,
                  std::string& errorText) override;
    // Decodes the JPEG in the input's first data-length bytes into an RgbImage of the size its
    // header gives. Damage that the decoder can recover from still yields a picture.
    bool decompress(const CompressedImage& input, std::unique_ptr<RgbImage>& output,
                    std::string& errorText) override;

    // Seconds the last compress and decompress call took.
    double lastCompressSeconds() const;
    double lastDecompressSeconds() const;

private:
    int pixelFormat() const;
    int turboJpegFlags() const;

    mutable std::mutex lock_;
    void* compressHandle_ = nullptr;
    void* decompressHandle_ = nullptr;
    int subsampling_;
    int quality_;
    int flags_;
    StopWatch compressWatch_;
    StopWatch decompressWatch_;
};
