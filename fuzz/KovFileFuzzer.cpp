// Opens arbitrary bytes as a KOV file and does what the player and the sealer do with one: learn
// its frames, read and decode them, position by time and split it (into a callback). A split that
// succeeds must have passed on every frame the bytes hold: anything else stops the run.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "KovCompressedVideoFile.h"
#include "KovFrameHeader.h"

namespace {

std::string scratchPath() {
    const std::string directory = std::filesystem::exists("/dev/shm")
                                      ? std::string("/dev/shm")
                                      : std::filesystem::temp_directory_path().string();
    return directory + "/fuzz-kov-" + std::to_string(::getpid()) + ".kov";
}

bool discard(void*, double, const uint8_t*, uint32_t, const std::string*, bool) {
    return true;
}

// Calls of a split's callback per target: one for the header, two per frame, one to finish.
struct CallCount {
    std::map<std::string, size_t> writes;
    std::map<std::string, size_t> finishes;
};

bool count(void* context, double, const uint8_t*, uint32_t, const std::string* target,
           bool finished) {
    auto* calls = static_cast<CallCount*>(context);
    ++(finished ? calls->finishes : calls->writes)[*target];
    return true;
}

// The frames the bytes hold one after another from the end of the header to the end of the
// file, found without the navigator; -1 when they do not fill the file.
long contiguousFrames(const uint8_t* data, size_t size, const KovFileHeader& header) {
    const uint64_t block = header.getFrameHeaderLength();
    if (block == 0 || block > KovFileHeader::kMaximumFrameHeaderLength) {
        return -1;
    }
    KovFrameHeader frame(&header);
    long frames = 0;
    uint64_t at = header.getHeaderLength();
    while (at < size) {
        if (size - at < block) {
            return -1;
        }
        frame.decodeBlock(data + at, block);
        if (!frame.hasValidMarker() || size - at - block < frame.getLengthOfFrameData()) {
            return -1;
        }
        at += block + frame.getLengthOfFrameData();
        ++frames;
    }
    return frames;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = scratchPath();
    {
        std::FILE* file = std::fopen(path.c_str(), "wb");
        if (file == nullptr) {
            return 0;
        }
        std::fwrite(data, 1, size, file);
        std::fclose(file);
    }
    {
        KovCompressedVideoFile video(path);
        video.isValid();
        const double start = video.getStartTime();
        const double end = video.getEndTime();
        std::unique_ptr<VideoSegmentFrame> frame;
        bool endOfFile = false;
        for (int i = 0; i < 16 && video.getNextFrame(frame, &endOfFile, i >= 3); ++i) {
        }
        double reached = 0;
        for (double fraction : {0.5, 0.0, 1.0, 0.25}) {
            video.setPositionByEpochTime(start + (end - start) * fraction, 0.5f, reached);
            video.getNextFrame(frame, &endOfFile, true);
        }
        video.copyAndSplitAtEpochTimeToPaths(start + (end - start) / 2, "a", "b", 0.5f, discard,
                                             nullptr, 0);
        std::vector<KovNavigatorAndFormatter::SplitPart> parts(3);
        parts[0].path = "a";
        parts[1].path = "b";
        parts[2].path = "c";
        CallCount calls;
        if (video.navigator().splitAtEpochTimes(
                {start + (end - start) / 3, start + (end - start) * 2 / 3}, parts, 0.5f, count,
                &calls)) {
            long written = 0;
            for (const auto& part : parts) {
                const size_t writes = calls.writes[part.path];
                if (part.written != (writes > 0) || calls.finishes[part.path] != (writes > 0) ||
                    (writes > 0 && writes % 2 == 0)) {
                    __builtin_trap();
                }
                written += writes > 0 ? static_cast<long>(writes - 1) / 2 : 0;
            }
            if (written != contiguousFrames(data, size, video.navigator().fileHeaderIs())) {
                __builtin_trap();
            }
        }
        video.refreshFileInformation();
    }
    std::filesystem::remove(path);
    return 0;
}
