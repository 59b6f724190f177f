// korvalis render of a session of 8 channels x 1 hour (no video) to WAV, measured next to its
// anchors in the same run:
// - ffmpeg mixing the same 8 files with amix into a WAV (goal: at most 0.6 times its time);
// - mpg123 -s decoding each of the 8 files alone, one after another (the sum is the limit a
//   render cannot beat by much: goal at most 1.3 times it).
// Each run spawns the built korvalis tool, as a user runs it.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "ArchiveSessionSet.h"
#include "MediaFileName.h"
#include "TemporaryDirectory.h"
#include "TestArchiveBuilder.h"
#include "TimedMp3Writer.h"

extern char** environ;

namespace {

constexpr double kStart = 1268652608.0;  // 2010-03-15 11:30:08 UTC
constexpr double kHour = 3600.0;
constexpr int kChannels = 8;

// The archive of this run, made once: BENCH on 2010-03-15, eight channels of one one-hour file
// each. The channels share one encoded file (a quiet tone, so that the mix does not clip):
// decoding costs the same whatever the signal.
class EightChannelSession {
public:
    static const EightChannelSession& instance() {
        static const EightChannelSession session;
        return session;
    }
    const std::string& root() const { return root_; }
    const std::vector<std::string>& files() const { return files_; }
    std::string scratch(const std::string& name) const { return directory_.file(name); }

private:
    EightChannelSession() {
        root_ = directory_.file("archive");
        TestArchiveBuilder archive(root_);
        archive.addSessionRecord("BENCH", 2010, 3, 15, {});
        const std::string first = directory_.file("channel.mp3");
        TimedMp3Writer writer(kStart, kHour);
        writer.setSignal(TimedMp3Writer::tone(440.0, 0.1));
        if (!writer.writeFile(first)) {
            std::fprintf(stderr, "cannot make the one-hour file: %s\n", writer.errorText().c_str());
            std::abort();
        }
        for (int channel = 0; channel < kChannels; ++channel) {
            const std::string directory =
                ArchiveSessionSet::dayDirectory(archive.recordingsPath(), channel, 2010, 3, 15);
            std::filesystem::create_directories(directory);
            const std::string path =
                MediaFileName("BENCH", kStart, channel, 0, 0).pathIn(directory, "mp3");
            std::filesystem::copy_file(first, path,
                                       std::filesystem::copy_options::overwrite_existing);
            files_.push_back(path);
        }
        std::filesystem::remove(first);
    }
    TemporaryDirectory directory_{"bench-render-"};
    std::string root_;
    std::vector<std::string> files_;
};

// Runs a command with standard output (and, when `quiet`, standard error) sent to /dev/null;
// true when it exits with 0.
bool runCommand(const std::vector<std::string>& arguments, bool quiet = false) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    if (quiet) {
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    }
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    return spawned == 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

// Processor seconds (user and system) used by the finished child processes so far.
double childProcessorSeconds() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    const auto seconds = [](const timeval& time) { return time.tv_sec + time.tv_usec * 1e-6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The hour's real-time factor, and the processor time per run: on a shared machine the wall
// time includes waiting for a processor, the processor time does not.
void setCounters(benchmark::State& state, double processorSecondsBefore) {
    const double runs = static_cast<double>(state.iterations());
    state.counters["realtime_factor"] =
        benchmark::Counter(kHour * runs, benchmark::Counter::kIsRate);
    state.counters["cpu_seconds_per_run"] =
        (childProcessorSeconds() - processorSecondsBefore) / runs;
}

void BM_RenderEightChannelsOneHourToWav(benchmark::State& state) {
    const EightChannelSession& session = EightChannelSession::instance();
    const std::string wav = session.scratch("render.wav");
    const double processorSecondsBefore = childProcessorSeconds();
    for (auto _ : state) {
        if (!runCommand({KORVALIS_EXECUTABLE, "render", session.root(), "BENCH", "20100315",
                         "--wav", wav})) {
            state.SkipWithError("korvalis render failed");
            break;
        }
    }
    const auto bytes = std::filesystem::exists(wav) ? std::filesystem::file_size(wav) : 0;
    // One hour at 16000 Hz, less at most one 30 ms chunk.
    if (bytes < 44 + 2 * (static_cast<uint64_t>(kHour) * 16000 - 480)) {
        state.SkipWithError("the WAV does not hold the hour");
    }
    setCounters(state, processorSecondsBefore);
}
BENCHMARK(BM_RenderEightChannelsOneHourToWav)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

// Anchor: ffmpeg's amix of the same eight files into a 16-bit WAV.
void BM_AmixEightFilesWithFfmpeg(benchmark::State& state) {
    const EightChannelSession& session = EightChannelSession::instance();
    std::vector<std::string> command{"ffmpeg", "-nostdin", "-v", "error", "-y"};
    for (const std::string& file : session.files()) {
        command.insert(command.end(), {"-i", file});
    }
    command.insert(command.end(), {"-filter_complex", "amix=inputs=" + std::to_string(kChannels),
                                   "-c:a", "pcm_s16le", session.scratch("amix.wav")});
    const double processorSecondsBefore = childProcessorSeconds();
    for (auto _ : state) {
        if (!runCommand(command)) {
            state.SkipWithError("the ffmpeg command failed (is it installed?)");
            break;
        }
    }
    setCounters(state, processorSecondsBefore);
}
BENCHMARK(BM_AmixEightFilesWithFfmpeg)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// Limit: mpg123 decoding each file alone to raw PCM; one iteration is the sum over the eight.
void BM_DecodeEightFilesWithMpg123OneByOne(benchmark::State& state) {
    const EightChannelSession& session = EightChannelSession::instance();
    const double processorSecondsBefore = childProcessorSeconds();
    for (auto _ : state) {
        for (const std::string& file : session.files()) {
            if (!runCommand({"mpg123", "-q", "-s", file})) {
                state.SkipWithError("the mpg123 command failed (is it installed?)");
                break;
            }
        }
    }
    setCounters(state, processorSecondsBefore);
}
BENCHMARK(BM_DecodeEightFilesWithMpg123OneByOne)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

}  // namespace
