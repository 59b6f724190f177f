// KOV video files: seeking by wall-clock time in a one-hour file, reading frames one after another
// (against `cat` of the same file), and decoding JPEG frames.
//
// The files are made once per run by the synthetic writer in the temporary directory and removed
// at exit: one hour at 20 frames per second of 320 x 240 frames (about 7 kB each, 0.5 GB) for
// seeking and reading, and five minutes of 640 x 480 frames (about 24 kB each) for reading.

#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "JpegImageCompressor.h"
#include "KovCompressedVideoFile.h"
#include "SyntheticKovWriter.h"
#include "TemporaryDirectory.h"

namespace {

constexpr double kStart = 1268652608.0;

// The generated files, made on first use and removed when the program ends.
class BenchmarkFiles {
public:
    static BenchmarkFiles& instance() {
        static BenchmarkFiles files;
        return files;
    }

    // A synthetic file of `seconds` at 20 frames per second; empty when it cannot be written.
    std::string file(uint32_t width, uint32_t height, double seconds) {
        const std::string name = "Bench~4b9e1a40~0~" + std::to_string(width) + "~" +
                                 std::to_string(height) + "~" +
                                 std::to_string(static_cast<int>(seconds)) + ".kov";
        auto known = files_.find(name);
        if (known != files_.end()) {
            return known->second;
        }
        SyntheticKovWriter::Settings settings;
        settings.width = width;
        settings.height = height;
        settings.frameRate = 20;
        settings.startTime = kStart;
        settings.durationSeconds = seconds;
        const std::string path = directory_.file(name);
        std::string error;
        const auto began = std::chrono::steady_clock::now();
        if (!SyntheticKovWriter(settings).write(path, error)) {
            std::fprintf(stderr, "cannot write %s: %s\n", path.c_str(), error.c_str());
            return "";
        }
        std::fprintf(
            stderr, "made %s: %.0f MB in %.1f s\n", name.c_str(),
            std::filesystem::file_size(path) / 1e6,
            std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count());
        files_[name] = path;
        return path;
    }

private:
    BenchmarkFiles() = default;

    TemporaryDirectory directory_{"bench-kov-"};
    std::map<std::string, std::string> files_;
};

double secondsSince(std::chrono::steady_clock::time_point began) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
}

// Seeks to random wall-clock times of the one-hour file, as the time slider does. Each seek is
// timed alone; median and worst are reported in microseconds.
void BM_SeekByWallClockTimeInOneHourFile(benchmark::State& state) {
    const std::string path = BenchmarkFiles::instance().file(320, 240, 3600);
    if (path.empty()) {
        state.SkipWithError("no file");
        return;
    }
    KovCompressedVideoFile file(path);
    std::mt19937_64 random(20100315);
    std::uniform_real_distribution<double> offset(0.0, file.getDuration());
    std::vector<double> microseconds;
    for (auto _ : state) {
        const double target = kStart + offset(random);
        double reached = 0;
        const auto began = std::chrono::steady_clock::now();
        const bool found = file.setPositionByEpochTime(target, 0.1f, reached);
        microseconds.push_back(secondsSince(began) * 1e6);
        if (!found || std::abs(reached - target) > 0.0251) {
            state.SkipWithError("seek missed its target");
            break;
        }
    }
    if (microseconds.empty()) {
        return;
    }
    std::sort(microseconds.begin(), microseconds.end());
    state.counters["median_us"] = microseconds[microseconds.size() / 2];
    state.counters["p99_us"] = microseconds[microseconds.size() * 99 / 100];
    state.counters["worst_us"] = microseconds.back();
}
BENCHMARK(BM_SeekByWallClockTimeInOneHourFile)->Iterations(5000)->Unit(benchmark::kMicrosecond);

// Reads every frame of a file (as stored) and, in the same run, `cat`s the same file to
// /dev/null; reports both rates and their ratio. The file is in the page cache for both.
void sequentialReading(benchmark::State& state, uint32_t width, uint32_t height, double seconds) {
    const std::string path = BenchmarkFiles::instance().file(width, height, seconds);
    if (path.empty()) {
        state.SkipWithError("no file");
        return;
    }
    const double megabytes = std::filesystem::file_size(path) / 1e6;
    const std::string cat = "cat '" + path + "' > /dev/null";
    if (std::system(cat.c_str()) != 0) {
        state.SkipWithError("cat failed");
        return;
    }
    KovCompressedVideoFile file(path);
    double readerSeconds = 0;
    double catSeconds = 0;
    uint64_t frames = 0;
    for (auto _ : state) {
        auto began = std::chrono::steady_clock::now();
        float reached = 0;
        file.setPositionByTimeOffsetFromStart(0.0f, 1.0f, reached);
        std::unique_ptr<VideoSegmentFrame> frame;
        while (file.getNextFrame(frame, nullptr, true)) {
            benchmark::DoNotOptimize(frame->getImage()->getData());
            ++frames;
        }
        readerSeconds += secondsSince(began);

        state.PauseTiming();
        began = std::chrono::steady_clock::now();
        const int status = std::system(cat.c_str());
        catSeconds += secondsSince(began);
        state.ResumeTiming();
        if (status != 0) {
            state.SkipWithError("cat failed");
            return;
        }
    }
    const double iterations = static_cast<double>(state.iterations());
    state.SetBytesProcessed(static_cast<int64_t>(megabytes * 1e6 * iterations));
    state.counters["frames"] = static_cast<double>(frames) / iterations;
    state.counters["reader_MBps"] = megabytes * iterations / readerSeconds;
    state.counters["cat_MBps"] = megabytes * iterations / catSeconds;
    state.counters["reader_to_cat"] = catSeconds / readerSeconds;
}

void BM_SequentialFrameReading_320x240_OneHour(benchmark::State& state) {
    sequentialReading(state, 320, 240, 3600);
}
BENCHMARK(BM_SequentialFrameReading_320x240_OneHour)->Iterations(5)->Unit(benchmark::kMillisecond);

void BM_SequentialFrameReading_640x480_FiveMinutes(benchmark::State& state) {
    sequentialReading(state, 640, 480, 300);
}
BENCHMARK(BM_SequentialFrameReading_640x480_FiveMinutes)
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond);

// A synthetic 640 x 480 frame as the video files store it.
std::unique_ptr<CompressedImage> storedFrame() {
    SyntheticKovWriter::Settings settings;
    settings.startTime = kStart;
    SyntheticKovWriter writer(settings);
    std::string error;
    auto frame = writer.makeFrame(kStart + 1234.5, 0, 17, error);
    return std::unique_ptr<CompressedImage>(
        static_cast<CompressedImage*>(frame->getImage()->clone().release()));
}

// Frames per second decoded, with the video files' codec settings.
void BM_JpegDecode640x480(benchmark::State& state) {
    const auto jpeg = storedFrame();
    JpegImageCompressor compressor(70, 2, JpegImageCompressor::kFlagBgr);
    std::unique_ptr<RgbImage> pixels;
    std::string error;
    for (auto _ : state) {
        if (!compressor.decompress(*jpeg, pixels, error)) {
            state.SkipWithError(error.c_str());
            break;
        }
        benchmark::DoNotOptimize(pixels->getData());
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["frame_bytes"] = jpeg->getDataLength();
    state.counters["fps"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_JpegDecode640x480)->Unit(benchmark::kMicrosecond);

// Frames per second encoded (what `korvalis kov make` and the sample maker spend).
void BM_JpegEncode640x480(benchmark::State& state) {
    SyntheticKovWriter::Settings settings;
    SyntheticKovWriter writer(settings);
    const auto pixels = writer.drawFrame(kStart, 17);
    JpegImageCompressor compressor(70, 2, JpegImageCompressor::kFlagBgr);
    std::unique_ptr<CompressedImage> jpeg;
    std::string error;
    for (auto _ : state) {
        if (!compressor.compress(*pixels, jpeg, error)) {
            state.SkipWithError(error.c_str());
            break;
        }
        benchmark::DoNotOptimize(jpeg->getData());
    }
    state.counters["fps"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_JpegEncode640x480)->Unit(benchmark::kMicrosecond);

}  // namespace
