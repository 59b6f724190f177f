#include "JpegImageCompressor.h"

#include <turbojpeg.h>

#include <algorithm>

namespace {

// The subsampling index of the settings mapped to TurboJPEG's codes.
constexpr int kSubsamplingCodes[4] = {TJSAMP_444, TJSAMP_422, TJSAMP_420, TJSAMP_GRAY};

std::string turboJpegError(void* handle) {
    return tjGetErrorStr2(static_cast<tjhandle>(handle));
}

}  // namespace

JpegImageCompressor::JpegImageCompressor(int quality, int subsamplingIndex, int flags)
    : ImageCompressor("JPEG"),
      subsampling_(subsamplingIndex >= 0 && subsamplingIndex < 4
                       ? kSubsamplingCodes[subsamplingIndex]
                       : TJSAMP_420),
      quality_(std::clamp(quality, 1, 100)),
      flags_(flags) {}

JpegImageCompressor::~JpegImageCompressor() {
    if (compressHandle_ != nullptr) {
        tjDestroy(static_cast<tjhandle>(compressHandle_));
    }
    if (decompressHandle_ != nullptr) {
        tjDestroy(static_cast<tjhandle>(decompressHandle_));
    }
}

int JpegImageCompressor::pixelFormat() const {
    return (flags_ & kFlagBgr) ? TJPF_BGR : TJPF_RGB;
}

int JpegImageCompressor::turboJpegFlags() const {
    return (flags_ & kFlagBottomUp) ? TJFLAG_BOTTOMUP : 0;
}

bool JpegImageCompressor::compress(const Image& input, std::unique_ptr<CompressedImage>& output,
                                   std::string& errorText) {
    std::lock_guard guard(lock_);
    output.reset();
    if (compressHandle_ == nullptr) {
        compressHandle_ = tjInitCompress();
        if (compressHandle_ == nullptr) {
            errorText =
                "JpegImageCompressor::ctor(): Error! tjInitCompress() returned a null "
                "instance.";
            return false;
        }
    }
    if (input.getTypeName() != RgbImage::kTypeName) {
        errorText = "JPEG compressor can only handle \"RGB\"; the input image was \"" +
                    input.getTypeName() + "\"";
        return false;
    }
    const auto* pixels = dynamic_cast<const RgbImage*>(&input);
    if (pixels == nullptr) {
        errorText = "JPEG compressor can only handle \"RGB\"; the input image was \"" +
                    input.getTypeName() + "\" but the dynamic_cast still failed.";
        return false;
    }
    const uint64_t pixelBytes = uint64_t{pixels->getPitch()} * pixels->getHeight();
    if (pixels->getData() == nullptr || pixels->getDataLength() < pixelBytes ||
        pixels->getWidth() == 0 || pixels->getHeight() == 0 ||
        pixels->getWidth() > kMaximumDimension || pixels->getHeight() > kMaximumDimension) {
        errorText = "JPEG compressor needs an RGB image with pixels of at most " +
                    std::to_string(kMaximumDimension) + " x " + std::to_string(kMaximumDimension);
        return false;
    }
    const int width = static_cast<int>(pixels->getWidth());
    const int height = static_cast<int>(pixels->getHeight());
    const unsigned long worstCase = tjBufSize(width, height, subsampling_);
    auto image = std::make_unique<CompressedImage>(pixels->getWidth(), pixels->getHeight(),
                                                   static_cast<uint32_t>(worstCase), "JPEG");
    if (!image->allocateBuffer()) {
        errorText = "Allocation of compression buffer failed.";
        return false;
    }
    compressWatch_.start();
    unsigned char* destination = image->getData();
    unsigned long jpegSize = worstCase;
    const int status =
        tjCompress2(static_cast<tjhandle>(compressHandle_), pixels->getData(), width,
                    static_cast<int>(pixels->getPitch()), height, pixelFormat(), &destination,
                    &jpegSize, subsampling_, quality_, turboJpegFlags() | TJFLAG_NOREALLOC);
    compressWatch_.stop();
    if (status != 0 || destination != image->getData() || jpegSize > worstCase) {
        errorText = "tjCompress() call returned failure. tjGetErrorStr():\"" +
                    turboJpegError(compressHandle_) + "\"";
        return false;
    }
    image->setDataLength(static_cast<uint32_t>(jpegSize));
    output = std::move(image);
    return true;
}

bool JpegImageCompressor::decompress(const CompressedImage& input,
                                     std::unique_ptr<RgbImage>& output, std::string& errorText) {
    std::lock_guard guard(lock_);
    output.reset();
    if (decompressHandle_ == nullptr) {
        decompressHandle_ = tjInitDecompress();
        if (decompressHandle_ == nullptr) {
            errorText =
                "JpegImageCompressor::ctor(): Error! tjInitDecompress() returned a null "
                "instance.";
            return false;
        }
    }
    tjhandle handle = static_cast<tjhandle>(decompressHandle_);
    int width = 0;
    int height = 0;
    int subsampling = 0;
    int colorspace = 0;
    if (input.getData() == nullptr ||
        tjDecompressHeader3(handle, input.getData(), input.getDataLength(), &width, &height,
                            &subsampling, &colorspace) != 0) {
        errorText =
            "Parsing JPEG header failed.  tjGetErrorStr():\"" + turboJpegError(handle) + "\"";
        return false;
    }
    if (width <= 0 || height <= 0 || static_cast<uint32_t>(width) > kMaximumDimension ||
        static_cast<uint32_t>(height) > kMaximumDimension ||
        uint64_t(width) * uint64_t(height) > kMaximumPixels) {
        errorText = "JPEG image of " + std::to_string(width) + " x " + std::to_string(height) +
                    " pixels is larger than a video frame can be.";
        return false;
    }
    auto pixels = std::make_unique<RgbImage>(width, height);
    if (!pixels->allocateBuffer()) {
        errorText = "Failure to allocation image buffer within RgbImage object.";
        return false;
    }
    decompressWatch_.start();
    // Progressive images with absurd scan counts are refused rather than decoded for minutes.
    const int status = tjDecompress2(handle, input.getData(), input.getDataLength(),
                                     pixels->getData(), width, static_cast<int>(pixels->getPitch()),
                                     height, pixelFormat(), turboJpegFlags() | TJFLAG_LIMITSCANS);
    decompressWatch_.stop();
    // A warning (damaged data the decoder worked around) still leaves a picture to show.
    if (status != 0 && tjGetErrorCode(handle) != TJERR_WARNING) {
        errorText = "Decompression of JPEG input failed.  tjGetErrorStr():\"" +
                    turboJpegError(handle) + "\"";
        return false;
    }
    output = std::move(pixels);
    return true;
}

double JpegImageCompressor::lastCompressSeconds() const {
    std::lock_guard guard(lock_);
    return compressWatch_.elapsedSeconds();
}

double JpegImageCompressor::lastDecompressSeconds() const {
    std::lock_guard guard(lock_);
    return decompressWatch_.elapsedSeconds();
}
