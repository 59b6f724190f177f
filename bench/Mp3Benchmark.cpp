// Timed MP3 files at the size the recorder writes them (one hour of a channel, 14.4 MB), each
// measured next to its anchor in the same run:
// - decoding through MpegAudioCompressor, as playback reads a file, against the mpg123 command
//   decoding the same file (goal: at most 1.2 times its time; the decoder library is the same);
// - splitting into three parts against cp of the same file (goal: at most twice its time).

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "DecodedAudioChunk.h"
#include "EncodedAudioChunk.h"
#include "KorvalisMp3CompressedAudioFile.h"
#include "MediaFileName.h"
#include "MpegAudioCompressor.h"
#include "TemporaryDirectory.h"
#include "TimedMp3Writer.h"

extern char** environ;

namespace {

constexpr double kStart = 1268652608.0;
constexpr double kHour = 3600.0;

// The one-hour channel file of this run, made once.
class OneHourFile {
public:
    static const OneHourFile& instance() {
        static const OneHourFile file;
        return file;
    }
    const std::string& path() const { return path_; }
    const std::string& directory() const { return directory_.path(); }

private:
    OneHourFile() {
        path_ = MediaFileName("COURT1", kStart, 0, 0, 0).pathIn(directory_.path(), "mp3");
        TimedMp3Writer writer(kStart, kHour);
        writer.setSignal(TimedMp3Writer::tone(440.0, 0.3));
        if (!writer.writeFile(path_)) {
            std::fprintf(stderr, "cannot make the one-hour file: %s\n", writer.errorText().c_str());
            std::abort();
        }
    }
    TemporaryDirectory directory_{"bench-mp3-"};
    std::string path_;
};

// Runs a command with standard output sent to /dev/null; true when it exits with 0.
bool runCommand(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    return spawned == 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

void BM_DecodeOneHourThroughMpegAudioCompressor(benchmark::State& state) {
    const std::string& path = OneHourFile::instance().path();
    uint64_t samples = 0;
    for (auto _ : state) {
        samples = 0;
        KorvalisMp3CompressedAudioFile file(path, true);
        MpegAudioCompressor codec(16000, 16000, 32, 7);
        std::unique_ptr<EncodedAudioChunk> encoded;
        std::unique_ptr<DecodedAudioChunk> decoded;
        bool endOfFile = false;
        while (!endOfFile && file.getNextEncodedChunk(encoded, endOfFile, 0.144f)) {
            const uint32_t wanted = encoded->numberOfSamplesIs();
            codec.feedEncodedChunk(encoded.get());
            while (codec.getDecodedChunk(wanted, decoded) == AudioCompressor::kChunkProduced) {
                samples += decoded->validLengthIs() / 2;
            }
        }
        while (codec.drainDecodedChunk(decoded) == AudioCompressor::kChunkProduced) {
            samples += decoded->validLengthIs() / 2;
        }
        benchmark::DoNotOptimize(samples);
    }
    if (samples != 100000u * 576) {
        state.SkipWithError("the hour did not decode to 100000 frames of samples");
    }
    state.counters["realtime_factor"] = benchmark::Counter(
        kHour * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DecodeOneHourThroughMpegAudioCompressor)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(3.0);

// Anchor: the reference decoder's command decoding the same file to raw PCM.
void BM_DecodeOneHourWithMpg123Command(benchmark::State& state) {
    const std::string& path = OneHourFile::instance().path();
    for (auto _ : state) {
        if (!runCommand({"mpg123", "-q", "-s", path})) {
            state.SkipWithError("the mpg123 command failed (is it installed?)");
            break;
        }
    }
    state.counters["realtime_factor"] = benchmark::Counter(
        kHour * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DecodeOneHourWithMpg123Command)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(3.0);

void BM_SplitOneHourIntoThreeParts(benchmark::State& state) {
    const OneHourFile& source = OneHourFile::instance();
    TemporaryDirectory out("bench-split-");
    KorvalisMp3CompressedAudioFile file(source.path(), true);
    for (auto _ : state) {
        std::unique_ptr<CompressedAudioFile> parts[3];
        if (!file.copyAndSplitAtEpochTime(kStart + 1200.0, kStart + 2400.0, out.path(), parts[0],
                                          parts[1], parts[2], 1.0f, nullptr, nullptr, 0)) {
            state.SkipWithError(file.getErrorText().c_str());
            break;
        }
        state.PauseTiming();
        for (auto& part : parts) {
            std::filesystem::remove(part->fileName());
        }
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(std::filesystem::file_size(source.path())));
}
BENCHMARK(BM_SplitOneHourIntoThreeParts)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(2.0);

// Anchor: cp of the same file.
void BM_CopyOneHourWithCp(benchmark::State& state) {
    const OneHourFile& source = OneHourFile::instance();
    TemporaryDirectory out("bench-cp-");
    const std::string target = out.path() + "/copy.mp3";
    for (auto _ : state) {
        if (!runCommand({"cp", source.path(), target})) {
            state.SkipWithError("cp failed");
            break;
        }
        state.PauseTiming();
        std::filesystem::remove(target);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(std::filesystem::file_size(source.path())));
}
BENCHMARK(BM_CopyOneHourWithCp)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

}  // namespace
