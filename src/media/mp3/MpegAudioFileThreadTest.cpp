#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Mp3TestFiles.h"
#include "MpegAudioFile.h"
#include "TemporaryDirectory.h"

namespace {

// Readers on several threads share a small open-file limit, so files are closed under one
// another's feet all the time; every read must still see its own file's frames, in order.
TEST(MpegAudioFileThreadTest, EvictionNeverDisturbsAReader) {
    TemporaryDirectory directory("mpeg-threads-");
    const size_t previous = MpegAudioFile::maximumOpenFiles();
    MpegAudioFile::setMaximumOpenFiles(3);
    constexpr int kThreads = 6;
    constexpr int kFilesPerThread = 12;
    constexpr uint32_t kFrames = 60;
    std::vector<std::vector<std::unique_ptr<MpegAudioFile>>> files(kThreads);
    for (int t = 0; t < kThreads; ++t) {
        for (int f = 0; f < kFilesPerThread; ++f) {
            const std::string path =
                directory.path() + "/" + std::to_string(t) + "-" + std::to_string(f) + ".mp3";
            mp3test::writeBytes(path, mp3test::frameRun(mp3test::kRecorderHeader, kFrames));
            files[t].push_back(std::make_unique<MpegAudioFile>(path));
        }
    }
    std::atomic<int> errors{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            std::vector<uint8_t> buffer(144);
            for (uint32_t frame = 0; frame < kFrames; ++frame) {
                for (auto& file : files[t]) {
                    uint32_t bytesRead = 0;
                    bool endOfFile = false;
                    if (!file->readFrames(1, buffer.data(), 144, bytesRead, endOfFile) ||
                        buffer[4] != frame) {
                        ++errors;
                    }
                }
            }
        });
    }
    // Meanwhile another thread splits a file that a reader is using; the split keeps its lock
    // for the whole copy and puts the read point back.
    std::thread splitter([&] {
        const KovWriteCallback discard = [](void*, double, const uint8_t*, uint32_t,
                                            const std::string*, bool) { return true; };
        for (int i = 0; i < 20; ++i) {
            float reached = 0;
            if (!files[0][0]->copyAndSplitAtOffset(1.0f, reached, "a", "b", 1.0f, discard, nullptr,
                                                   0, false)) {
                ++errors;
            }
            files[0][1]->getCurrentTimeOffset();
            MpegAudioFile::openFileCount();
        }
    });
    for (auto& thread : threads) {
        thread.join();
    }
    splitter.join();
    EXPECT_EQ(errors.load(), 0);
    files.clear();
    EXPECT_EQ(MpegAudioFile::openFileCount(), 0u);
    MpegAudioFile::setMaximumOpenFiles(previous);
}

}  // namespace
