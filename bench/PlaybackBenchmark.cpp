// The playback engine on the paced null output, as `korvalis play --audio-output null` runs it.
// Sessions are written by the sample-archive writer (8 channels of timed MP3 files and KOV video).
//
// - Seek latency: while a one-hour session of 8 channels and 320x240 video at 10 frames a second
//   plays, seeks to random points (the engine's playFrom, the seek that plays on, as rewind and
//   advance use it while playing), each measured from posting it to the first buffer the player
//   hands to the output after the flush the seek causes. Goal: median at most 30 ms.
// - Steady playback: 60 s of 8 channels and 640x480 video at 20 frames a second in real time;
//   the process's processor time (all threads) as a share of one core, and its resident memory
//   at the end (goals: at most 3 % of one core, under 120 MB). The anchor, in the same run:
//   ffmpeg -re reading the same 8 MP3 files mixed with amix, plus the same JPEG pictures of the
//   video (copied out of the KOV file into an MJPEG stream, since ffmpeg cannot read KOV), both
//   decoded in real time to the null output for the same 60 s. The anchor thus covers decoding
//   and mixing; it does no correlation, time-stretching or buffer pacing.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "AudioOutputDevice.h"
#include "Image.h"
#include "KovCompressedVideoFile.h"
#include "NullAudioOutputDevice.h"
#include "PlaybackEngine.h"
#include "SampleArchiveWriter.h"
#include "TemporaryDirectory.h"
#include "VideoSegmentFrame.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kChannels = 8;
constexpr double kSteadySeconds = 60.0;

double secondsBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

// A session written once per run into its own temporary archive root.
struct SampleSession {
    TemporaryDirectory directory{"bench-playback-"};
    std::string root = directory.file("archive");
    double start = 0.0;
    double end = 0.0;
    double writeSeconds = 0.0;
    bool written = false;
};

std::unique_ptr<SampleSession> writeSession(double hours, uint32_t width, uint32_t height,
                                            uint32_t frameRate) {
    auto made = std::make_unique<SampleSession>();
    SampleArchiveWriter::Settings settings;
    settings.locations = {"BENCH"};
    settings.channels = kChannels;
    settings.hours = hours;
    settings.videoWidth = width;
    settings.videoHeight = height;
    settings.videoFrameRate = frameRate;
    const Clock::time_point begun = Clock::now();
    SampleArchiveWriter writer(settings);
    made->written = writer.write(made->root);
    if (!made->written) {
        std::fprintf(stderr, "bench_playback: %s\n", writer.errorText().c_str());
    }
    made->start = writer.sessionStart(SampleArchiveWriter::Date{});
    made->end = writer.sessionEnd(SampleArchiveWriter::Date{});
    made->writeSeconds = secondsBetween(begun, Clock::now());
    return made;
}

// One hour, 320x240 at 10 frames a second, in five-minute files.
const SampleSession& seekSession() {
    static const std::unique_ptr<SampleSession> session = writeSession(1.0, 320, 240, 10);
    return *session;
}

// Two minutes (one file per channel), 640x480 at 20 frames a second.
const SampleSession& steadySession() {
    static const std::unique_ptr<SampleSession> session = writeSession(2.0 / 60.0, 640, 480, 20);
    return *session;
}

// The media files of a session with the extension `extension` (".mp3", ".kov"), sorted.
std::vector<std::string> mediaFiles(const SampleSession& session, const std::string& extension) {
    std::vector<std::string> files;
    for (const auto& entry :
         std::filesystem::recursive_directory_iterator(session.root + "/Recordings")) {
        if (entry.is_regular_file() && entry.path().extension() == extension) {
            files.push_back(entry.path().string());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

// The null output, watched: after arm(), it notes when the player resets it (the flush of a
// seek) and when it hands it the first buffer after that reset.
class SeekProbeDevice : public AudioOutputDevice {
public:
    SeekProbeDevice() = default;

    void arm() {
        std::lock_guard<std::mutex> hold(lock_);
        armed_ = true;
        reset_ = false;
        written_ = false;
    }
    // Waits at most `limit` for the first write after the reset; false when none came.
    bool waitForFirstWrite(std::chrono::milliseconds limit, Clock::time_point& resetAt,
                           Clock::time_point& writtenAt) {
        std::unique_lock<std::mutex> hold(lock_);
        if (!firstWrite_.wait_for(hold, limit, [this] { return written_; })) {
            armed_ = false;
            return false;
        }
        armed_ = false;
        resetAt = resetAt_;
        writtenAt = writtenAt_;
        return true;
    }

    void setCompletionCallback(CompletionCallback callback) override {
        inner_.setCompletionCallback(std::move(callback));
    }
    bool open(uint32_t sampleRate, uint16_t channelCount, uint16_t bitsPerSample) override {
        return inner_.open(sampleRate, channelCount, bitsPerSample);
    }
    bool isOpen() const override { return inner_.isOpen(); }
    bool write(BufferId bufferId, const void* samples, size_t byteCount) override {
        const Clock::time_point now = Clock::now();
        const bool queued = inner_.write(bufferId, samples, byteCount);
        std::lock_guard<std::mutex> hold(lock_);
        if (queued && armed_ && reset_ && !written_) {
            written_ = true;
            writtenAt_ = now;
            firstWrite_.notify_all();
        }
        return queued;
    }
    void reset() override {
        inner_.reset();
        std::lock_guard<std::mutex> hold(lock_);
        if (armed_ && !reset_) {
            reset_ = true;
            resetAt_ = Clock::now();
        }
    }
    void close() override { inner_.close(); }
    uint64_t playedSampleCount() const override { return inner_.playedSampleCount(); }
    double outputLatencySeconds() const override { return inner_.outputLatencySeconds(); }
    std::string name() const override { return inner_.name(); }
    std::string errorText() const override { return inner_.errorText(); }

private:
    NullAudioOutputDevice inner_{NullAudioOutputDevice::Pace::RealTime};
    std::mutex lock_;
    std::condition_variable firstWrite_;
    bool armed_ = false;
    bool reset_ = false;
    bool written_ = false;
    Clock::time_point resetAt_;
    Clock::time_point writtenAt_;
};

double percentile(std::vector<double> values, double fraction) {
    if (values.empty()) {
        return 0.0;
    }
    std::sort(values.begin(), values.end());
    const auto index = static_cast<size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

// How long playback runs on between seeks, so the pending queue is full again (the steady state
// a user seeks from).
constexpr std::chrono::milliseconds kSettle{500};

void BM_SeekLatencyWhilePlaying(benchmark::State& state) {
    const SampleSession& session = seekSession();
    if (!session.written) {
        state.SkipWithError("the sample archive could not be written");
        return;
    }
    auto device = std::make_unique<SeekProbeDevice>();
    SeekProbeDevice& probe = *device;
    PlaybackEngine engine(std::move(device), {});
    engine.openSession(session.root + "/Recordings", session.root + "/Databases", "BENCH", 2010, 3,
                       15);
    if (engine.channelCountIs() != kChannels || !engine.hasVideoIs()) {
        state.SkipWithError("the session does not hold 8 channels and video");
        return;
    }
    engine.playFrom(session.start + 60.0);
    std::this_thread::sleep_for(std::chrono::seconds(1));

    std::mt19937 random(11);
    std::uniform_real_distribution<double> targets(session.start + 1.0, session.end - 30.0);
    std::vector<double> toFirstWrite;
    std::vector<double> toFlush;
    unsigned missed = 0;
    unsigned misplaced = 0;
    for (auto _ : state) {
        const double target = targets(random);
        probe.arm();
        const Clock::time_point posted = Clock::now();
        engine.playFrom(target);
        Clock::time_point resetAt, writtenAt;
        if (!probe.waitForFirstWrite(std::chrono::seconds(5), resetAt, writtenAt)) {
            ++missed;
            state.SetIterationTime(5.0);
            continue;
        }
        const double latency = secondsBetween(posted, writtenAt);
        state.SetIterationTime(latency);
        toFirstWrite.push_back(latency * 1000.0);
        toFlush.push_back(secondsBetween(posted, resetAt) * 1000.0);
        std::this_thread::sleep_for(kSettle);
        // What is heard now must come from the target, not from before the seek.
        const double heard = engine.positionIs();
        if (heard < target - 0.2 || heard > target + 2.0) {
            ++misplaced;
        }
    }
    engine.stop();
    if (missed > 0 || misplaced > 0) {
        state.SkipWithError(missed > 0 ? "a seek wrote nothing to the device within 5 s"
                                       : "playback after a seek was not at the target");
        return;
    }
    state.counters["median_ms"] = percentile(toFirstWrite, 0.5);
    state.counters["p95_ms"] = percentile(toFirstWrite, 0.95);
    state.counters["max_ms"] = percentile(toFirstWrite, 1.0);
    state.counters["to_flush_median_ms"] = percentile(toFlush, 0.5);
    state.counters["archive_write_s"] = session.writeSeconds;
}
BENCHMARK(BM_SeekLatencyWhilePlaying)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(100);

double processorSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    const auto seconds = [](const timeval& time) { return time.tv_sec + time.tv_usec * 1e-6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// A field of /proc/self/status in MB ("VmRSS", "VmHWM").
double statusMegabytes(const std::string& field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field + ":", 0) == 0) {
            return std::stod(line.substr(field.size() + 1)) / 1024.0;
        }
    }
    return 0.0;
}

// Starts the peak resident size (VmHWM) afresh, so it covers what follows only.
void resetPeakResidentSize() {
    std::ofstream clearRefs("/proc/self/clear_refs");
    clearRefs << "5";
}

void BM_SteadyPlaybackEightChannelsAndVideo(benchmark::State& state) {
    const SampleSession& session = steadySession();
    if (!session.written) {
        state.SkipWithError("the sample archive could not be written");
        return;
    }
    std::atomic<unsigned> heardItems{0};
    std::atomic<unsigned> shownFrames{0};
    double firstHeard = -1.0, lastHeard = -1.0;
    std::mutex heardLock;
    PlaybackEngine::Callbacks callbacks;
    callbacks.position = [&](double start, double, float) {
        ++heardItems;
        std::lock_guard<std::mutex> hold(heardLock);
        if (firstHeard < 0.0) {
            firstHeard = start;
        }
        lastHeard = start;
    };
    callbacks.frame = [&] { ++shownFrames; };
    double cpuPercent = 0.0, resident = 0.0, peak = 0.0, wall = 0.0;
    for (auto _ : state) {
        PlaybackEngine engine(std::make_unique<NullAudioOutputDevice>(), callbacks);
        engine.openSession(session.root + "/Recordings", session.root + "/Databases", "BENCH", 2010,
                           3, 15);
        if (engine.channelCountIs() != kChannels || !engine.hasVideoIs()) {
            state.SkipWithError("the session does not hold 8 channels and video");
            return;
        }
        resetPeakResidentSize();
        const double processorBefore = processorSeconds(RUSAGE_SELF);
        const Clock::time_point begun = Clock::now();
        engine.playFrom(session.start);
        std::this_thread::sleep_for(std::chrono::duration<double>(kSteadySeconds));
        wall = secondsBetween(begun, Clock::now());
        cpuPercent = 100.0 * (processorSeconds(RUSAGE_SELF) - processorBefore) / wall;
        resident = statusMegabytes("VmRSS");
        peak = statusMegabytes("VmHWM");
        state.SetIterationTime(wall);
        engine.stop();
    }
    // Real-time pacing: about the run's length must have been heard, no more.
    const double played = lastHeard - firstHeard;
    if (played < kSteadySeconds - 2.0 || played > kSteadySeconds + 1.0) {
        state.SkipWithError("the run did not play its 60 s in real time");
    }
    state.counters["cpu_percent_of_one_core"] = cpuPercent;
    state.counters["rss_mb_end"] = resident;
    state.counters["rss_peak_mb"] = peak;
    state.counters["seconds_heard"] = played;
    state.counters["items_heard"] = heardItems.load();
    state.counters["frames_shown"] = shownFrames.load();
    state.counters["archive_write_s"] = session.writeSeconds;
}
BENCHMARK(BM_SteadyPlaybackEightChannelsAndVideo)
    ->UseManualTime()
    ->Unit(benchmark::kSecond)
    ->Iterations(1);

// Copies the JPEG pictures of the first `seconds` of the KOV file into an MJPEG stream; the
// number of pictures copied, 0 when the file cannot be read or holds no JPEG pictures.
unsigned copyPicturesToMjpeg(const std::string& kovPath, double seconds,
                             const std::string& mjpegPath) {
    KovCompressedVideoFile video(kovPath);
    std::ofstream output(mjpegPath, std::ios::binary);
    const double until = video.getStartTime() + seconds;
    unsigned pictures = 0;
    std::unique_ptr<VideoSegmentFrame> frame;
    bool endOfFile = false;
    while (video.getNextFrame(frame, &endOfFile, true) && frame != nullptr &&
           frame->getEpochTime() < until) {
        const Image* image = frame->getImage();
        const uint8_t* data = image != nullptr ? image->getData() : nullptr;
        if (data == nullptr || image->getDataLength() < 4 || data[0] != 0xFF || data[1] != 0xD8) {
            return 0;
        }
        output.write(reinterpret_cast<const char*>(data), image->getDataLength());
        ++pictures;
        if (endOfFile) {
            break;
        }
    }
    return output.good() ? pictures : 0;
}

// Runs a command with its output sent to /dev/null; true when it exits with 0. `usage` receives
// the processor time and peak memory of that child alone.
bool runCommand(const std::vector<std::string>& arguments, rusage& usage) {
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
    return spawned == 0 && wait4(pid, &status, 0, &usage) == pid && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

void BM_SteadyPlaybackAnchorFfmpeg(benchmark::State& state) {
    const SampleSession& session = steadySession();
    if (!session.written) {
        state.SkipWithError("the sample archive could not be written");
        return;
    }
    const std::vector<std::string> channels = mediaFiles(session, ".mp3");
    const std::vector<std::string> videos = mediaFiles(session, ".kov");
    if (channels.size() != kChannels || videos.size() != 1) {
        state.SkipWithError("the session does not hold one file per channel and one video file");
        return;
    }
    const std::string mjpeg = session.directory.file("video.mjpeg");
    const unsigned pictures = copyPicturesToMjpeg(videos.front(), kSteadySeconds + 1.0, mjpeg);
    if (pictures == 0) {
        state.SkipWithError("the KOV file's pictures could not be copied out as JPEG");
        return;
    }
    std::vector<std::string> command{"ffmpeg", "-nostdin", "-v", "error"};
    std::string mix;
    for (size_t channel = 0; channel < channels.size(); ++channel) {
        command.insert(command.end(), {"-re", "-i", channels[channel]});
        mix += "[" + std::to_string(channel) + ":a]";
    }
    command.insert(command.end(), {"-re", "-f", "mjpeg", "-framerate", "20", "-i", mjpeg});
    mix += "amix=inputs=" + std::to_string(kChannels) + "[mixed]";
    command.insert(command.end(), {"-filter_complex", mix, "-map", "[mixed]", "-map",
                                   std::to_string(kChannels) + ":v", "-t",
                                   std::to_string(kSteadySeconds), "-f", "null", "-"});
    double cpuPercent = 0.0, peak = 0.0, wall = 0.0;
    for (auto _ : state) {
        rusage usage{};
        const Clock::time_point begun = Clock::now();
        if (!runCommand(command, usage)) {
            state.SkipWithError("the ffmpeg command failed (is it installed?)");
            return;
        }
        wall = secondsBetween(begun, Clock::now());
        const auto seconds = [](const timeval& time) { return time.tv_sec + time.tv_usec * 1e-6; };
        cpuPercent = 100.0 * (seconds(usage.ru_utime) + seconds(usage.ru_stime)) / wall;
        peak = static_cast<double>(usage.ru_maxrss) / 1024.0;
        state.SetIterationTime(wall);
    }
    state.counters["cpu_percent_of_one_core"] = cpuPercent;
    state.counters["rss_peak_mb"] = peak;
    state.counters["pictures"] = pictures;
}
BENCHMARK(BM_SteadyPlaybackAnchorFfmpeg)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace
