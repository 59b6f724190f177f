// Arbitrary bytes as one MP3 frame and as a run of frames: the stamp scan, the free-byte count
// and the first-stamp walk must stay inside the bytes; a stamp placed must be found again.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "Mp3FrameStamp.h"

namespace {

void require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1u << 20) {
        return 0;
    }
    const auto length = static_cast<uint32_t>(size);
    // Exactly the bytes, so reading past them is caught.
    std::vector<uint8_t> frame(data, data + size);
    double stamp = 0.0;
    if (Mp3FrameStamp::find(frame.data(), length, stamp)) {
        require(Mp3FrameStamp::isPlausible(stamp), "a found stamp is plausible");
    }
    Mp3FrameStamp::scan(frame.data(), length, stamp);
    const uint32_t free = Mp3FrameStamp::freeTrailingBytes(frame.data(), length);
    require(free <= length, "free bytes inside the frame");

    Mp3FrameStamp::Found found;
    if (Mp3FrameStamp::findFirstInFrames(frame.data(), length, found)) {
        require(found.frameOffset < length, "the stamped frame lies in the run");
        require(Mp3FrameStamp::isPlausible(found.stamp), "a walked stamp is plausible");
    }

    if (Mp3FrameStamp::place(frame.data(), length, 1268662016.25)) {
        double again = 0.0;
        require(Mp3FrameStamp::find(frame.data(), length, again) && again == 1268662016.25,
                "a placed stamp is found");
    }
    return 0;
}
