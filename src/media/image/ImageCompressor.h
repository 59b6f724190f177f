#pragma once

#include <memory>
#include <string>

#include "CompressedImage.h"
#include "Image.h"
#include "RgbImage.h"

// A still-image codec: pixels to an encoded CompressedImage and back. Its name is the encoding
// name it produces and accepts ("JPEG").
class ImageCompressor {
public:
    explicit ImageCompressor(std::string name) : name_(std::move(name)) {}
    virtual ~ImageCompressor() = default;

    // Encodes `input`. On success `output` holds the new image (owned by the caller); on failure
    // it is null and `errorText` says why.
    virtual bool compress(const Image& input, std::unique_ptr<CompressedImage>& output,
                          std::string& errorText) = 0;
    // Decodes `input`. On success `output` holds the new pixels (owned by the caller); on failure
    // it is null and `errorText` says why.
    virtual bool decompress(const CompressedImage& input, std::unique_ptr<RgbImage>& output,
                            std::string& errorText) = 0;

    const std::string& getName() const { return name_; }

private:
    std::string name_;
};
