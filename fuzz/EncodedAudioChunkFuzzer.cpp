// Arbitrary bytes as a serialized encoded chunk: refused, or read back and written out again to
// exactly the bytes that were read.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "EncodedAudioChunk.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > UINT32_MAX) {
        return 0;
    }
    uint32_t bytesRead = 0;
    auto chunk =
        EncodedAudioChunk::deserializeFromBuffer(data, static_cast<uint32_t>(size), bytesRead);
    if (!chunk) {
        return 0;
    }
    std::vector<uint8_t> again(chunk->getSerializedSize());
    uint32_t written = 0;
    if (!chunk->serializeToBuffer(again.data(), static_cast<uint32_t>(again.size()), written) ||
        written != bytesRead || std::memcmp(again.data(), data, 24) != 0 ||
        std::memcmp(again.data() + 28, data + 28, written - 28) != 0) {
        std::fprintf(stderr, "a chunk read back does not write out the same\n");
        std::abort();
    }
    return 0;
}
