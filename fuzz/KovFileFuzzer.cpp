// Opens arbitrary bytes as a KOV file and does what the player and the sealer do with one: learn
// its frames, read and decode them, position by time and split it (into a callback).

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "KovCompressedVideoFile.h"

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
        video.refreshFileInformation();
    }
    std::filesystem::remove(path);
    return 0;
}
