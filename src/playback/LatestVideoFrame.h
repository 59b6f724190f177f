#pragma once

#include <cstdint>
#include <vector>

// A copy of the newest video frame the player has played, for the video window to draw:
// 24-bit pixels in blue, green, red byte order, top row first, rows of width x 3 bytes with no
// padding (the window wraps them as a BGR888 image).
struct LatestVideoFrame {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> pixels;
    // The frame's wall-clock time, epoch seconds; -1.0 while the copy holds no frame.
    double epochTime = -1.0;
    // Grows with every frame the player plays (0: none yet), so a caller can tell a new frame
    // from the one it already holds.
    uint64_t sequenceNumber = 0;
};
