#include "SyntheticKovWriter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "KovNavigatorAndFormatter.h"
#include "SystemError.h"
#include "WallClockTime.h"

namespace {

struct Glyph {
    char character;
    uint8_t rows[SyntheticKovWriter::kGlyphHeight];
};

// A 5x7 font of what a time stamp needs.
constexpr Glyph kFont[] = {
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}},
    {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}},
    {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}},
    {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}},
    {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}},
    {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'-', {0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00}},
    {':', {0x00, 0x0C, 0x0C, 0x00, 0x0C, 0x0C, 0x00}},
    {'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C}},
    {' ', {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}},
};

// Characters of a caption ("2010-03-15 11:30:08.250").
constexpr uint32_t kCaptionLength = 23;

void fillRectangle(RgbImage& image, int64_t x0, int64_t y0, int64_t x1, int64_t y1, uint8_t blue,
                   uint8_t green, uint8_t red) {
    x0 = std::clamp<int64_t>(x0, 0, image.getWidth());
    x1 = std::clamp<int64_t>(x1, 0, image.getWidth());
    y0 = std::clamp<int64_t>(y0, 0, image.getHeight());
    y1 = std::clamp<int64_t>(y1, 0, image.getHeight());
    for (int64_t y = y0; y < y1; ++y) {
        uint8_t* pixel = image.row(static_cast<uint32_t>(y)) + x0 * RgbImage::kBytesPerPixel;
        for (int64_t x = x0; x < x1; ++x, pixel += RgbImage::kBytesPerPixel) {
            pixel[0] = blue;
            pixel[1] = green;
            pixel[2] = red;
        }
    }
}

}  // namespace

SyntheticKovWriter::SyntheticKovWriter(const Settings& settings)
    : settings_(settings), compressor_(settings.quality, 2, JpegImageCompressor::kFlagBgr) {}

uint32_t SyntheticKovWriter::frameCount() const {
    const double frames = std::llround(settings_.durationSeconds * settings_.frameRate);
    return frames < 1 ? 1 : static_cast<uint32_t>(std::min<double>(frames, UINT32_MAX));
}

double SyntheticKovWriter::frameTime(uint32_t index) const {
    return settings_.startTime + static_cast<double>(index) / settings_.frameRate;
}

uint64_t SyntheticKovWriter::frameTimeStamp(uint32_t index) const {
    return static_cast<uint64_t>(index) * static_cast<uint64_t>(settings_.counterFrequency) /
           settings_.frameRate;
}

std::string SyntheticKovWriter::caption(double epochTime) {
    const WallClockTime stamp(epochTime < 0 ? 0.0 : epochTime, 0);
    int day, month, year, hour, minute, second, microseconds;
    stamp.getDate(day, month, year, 0);
    stamp.getTime(hour, minute, second, microseconds, 0);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d", year, month, day, hour,
                  minute, second, microseconds / 1000);
    return text;
}

SyntheticKovWriter::CaptionLayout SyntheticKovWriter::captionLayout(uint32_t width,
                                                                    uint32_t height) {
    const uint32_t units = kCaptionLength * kGlyphAdvance - 1;
    const uint32_t scale = std::max<uint32_t>(1, width * 3 / 4 / units);
    const uint32_t textWidth = units * scale;
    const uint32_t x = width > textWidth ? (width - textWidth) / 2 : 0;
    const uint32_t textHeight = (kGlyphHeight + 2) * scale;
    const uint32_t y = height > textHeight ? height - textHeight : 0;
    return {x, y, scale};
}

const uint8_t* SyntheticKovWriter::glyph(char c) {
    for (const Glyph& entry : kFont) {
        if (entry.character == c) {
            return entry.rows;
        }
    }
    return nullptr;
}

std::unique_ptr<RgbImage> SyntheticKovWriter::drawFrame(double epochTime,
                                                        uint32_t frameIndex) const {
    auto image = std::make_unique<RgbImage>(settings_.width, settings_.height);
    if (!image->allocateBuffer()) {
        return nullptr;
    }
    const uint32_t width = settings_.width;
    const uint32_t height = settings_.height;
    // A gradient drifting right, a textured red channel and a bar sweeping across.
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* pixel = image->row(y);
        const uint8_t green = static_cast<uint8_t>(y * 255 / std::max<uint32_t>(1, height - 1));
        for (uint32_t x = 0; x < width; ++x, pixel += RgbImage::kBytesPerPixel) {
            pixel[0] = static_cast<uint8_t>((x * 256 / width + frameIndex * 4) & 0xFF);
            pixel[1] = green;
            pixel[2] = static_cast<uint8_t>(96 + ((x ^ y) & 63));
        }
    }
    const uint32_t barWidth = std::max<uint32_t>(1, width / 32);
    const int64_t barX = (static_cast<int64_t>(frameIndex) * barWidth / 2) % width;
    fillRectangle(*image, barX, 0, barX + barWidth, height, 255, 255, 255);

    // The caption: white glyphs on a black box.
    const CaptionLayout layout = captionLayout(width, height);
    const std::string text = caption(epochTime);
    const int64_t scale = layout.scale;
    fillRectangle(*image, static_cast<int64_t>(layout.x) - scale,
                  static_cast<int64_t>(layout.y) - scale,
                  layout.x + (kCaptionLength * kGlyphAdvance) * scale,
                  layout.y + (kGlyphHeight + 1) * scale, 0, 0, 0);
    for (size_t k = 0; k < text.size(); ++k) {
        const uint8_t* rows = glyph(text[k]);
        if (rows == nullptr) {
            continue;
        }
        for (uint32_t row = 0; row < kGlyphHeight; ++row) {
            for (uint32_t column = 0; column < kGlyphWidth; ++column) {
                if (rows[row] & (0x10 >> column)) {
                    const int64_t x = layout.x + (k * kGlyphAdvance + column) * scale;
                    const int64_t y = layout.y + row * scale;
                    fillRectangle(*image, x, y, x + scale, y + scale, 255, 255, 255);
                }
            }
        }
    }
    return image;
}

std::unique_ptr<VideoSegmentFrame> SyntheticKovWriter::makeFrame(double epochTime,
                                                                 uint64_t timeStamp,
                                                                 uint32_t frameIndex,
                                                                 std::string& errorText) {
    std::unique_ptr<RgbImage> pixels = drawFrame(epochTime, frameIndex);
    if (!pixels) {
        errorText = "Not enough memory for a frame of " + std::to_string(settings_.width) + " x " +
                    std::to_string(settings_.height) + " pixels.";
        return nullptr;
    }
    std::unique_ptr<CompressedImage> jpeg;
    if (!compressor_.compress(*pixels, jpeg, errorText)) {
        return nullptr;
    }
    return std::make_unique<VideoSegmentFrame>(std::move(jpeg), epochTime, timeStamp);
}

bool SyntheticKovWriter::write(const std::string& path, std::string& errorText,
                               KovWriteCallback callback, void* callbackContext) {
    if (settings_.width == 0 || settings_.height == 0 || settings_.width > kMaximumSide ||
        settings_.height > kMaximumSide) {
        errorText = "Frame sides must be between 1 and " + std::to_string(kMaximumSide) + ".";
        return false;
    }
    if (settings_.frameRate == 0 || !std::isfinite(settings_.startTime) ||
        !(settings_.durationSeconds >= 0)) {
        errorText = "The frame rate must be positive and the duration not negative.";
        return false;
    }
    KovNavigatorAndFormatter writer;
    writer.setFileName(path, false);
    if (!writer.writeFileHeader(settings_.startTime, settings_.counterFrequency, settings_.width,
                                settings_.height, settings_.frameRate, "JPEG", callback,
                                callbackContext)) {
        errorText = "Could not write \"" + path + "\": " + SystemError::last();
        return false;
    }
    const uint32_t frames = frameCount();
    for (uint32_t index = 0; index < frames; ++index) {
        std::unique_ptr<VideoSegmentFrame> frame =
            makeFrame(frameTime(index), frameTimeStamp(index), index, errorText);
        if (!frame) {
            return false;
        }
        if (!writer.appendFrame(*frame, index + 1 == frames, callback, callbackContext)) {
            errorText = "Could not write frame " + std::to_string(index) + " to \"" + path +
                        "\": " + SystemError::last();
            return false;
        }
    }
    return true;
}
