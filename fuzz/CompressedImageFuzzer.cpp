// Feeds arbitrary bytes to the serialized-image reader; what it accepts must serialize back to
// the same bytes it consumed.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "CompressedImage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CompressedImage image(0, 0, 0, "");
    uint32_t read = 0;
    if (!image.deserializeFromBuffer(data, static_cast<uint32_t>(size), read)) {
        return 0;
    }
    if (read > size) {
        std::abort();
    }
    std::vector<uint8_t> again(image.getSerializedSize());
    uint32_t written = 0;
    if (!image.serializeToBuffer(again.data(), static_cast<uint32_t>(again.size()), written)) {
        std::abort();
    }
    // Names are cut at their first zero byte and the buffer size follows the maximum data size,
    // so width, height, data length, maximum size and the data must agree.
    if (std::memcmp(again.data(), data, 8) != 0 ||
        std::memcmp(again.data() + 12, data + 12, 8) != 0 ||
        std::memcmp(again.data() + written - image.getDataLength(),
                    data + read - image.getDataLength(), image.getDataLength()) != 0) {
        std::abort();
    }
    return 0;
}
