// Opening a large session: 12 hours of 8 channels in one-minute timed MP3 files (5,760 files) and
// 720 KOV files of 160x120 at 5 frames a second, written by the sample-archive writer. Measured:
// enumerating the files and building the decoders as the window does (goal under 1 s, with fewer
// than 64 open files and under 100 MB resident afterwards), and a seek to the middle followed by
// the first correlated 30 ms chunk (goal under 20 ms, median), run as the player's feeder runs it.

#include <benchmark/benchmark.h>
#include <dirent.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "AudioChunkWithCorrelatedVideoFrame.h"
#include "AudioDecoderGroup.h"
#include "AudioMixer.h"
#include "AudioVideoCorrelator.h"
#include "InterleavedAudioVideoDecoder.h"
#include "KorvalisSession.h"
#include "SampleArchiveWriter.h"
#include "TemporaryDirectory.h"
#include "VideoDecoder.h"

namespace {

constexpr int kChannels = 8;
constexpr double kHours = 12.0;
// 2010-03-15 07:00 UTC.
constexpr double kSessionStart = 1268636400.0;

struct LargeSession {
    TemporaryDirectory directory{"bench-session-"};
    std::string root = directory.file("archive");
    double writeSeconds = 0.0;
    bool written = false;
};

const LargeSession& largeSession() {
    static const std::unique_ptr<LargeSession> session = [] {
        auto made = std::make_unique<LargeSession>();
        SampleArchiveWriter::Settings settings;
        settings.locations = {"COURT1"};
        settings.channels = kChannels;
        settings.startSecondOfDay = 7 * 3600.0;
        settings.hours = kHours;
        settings.fileMinutes = 1.0;
        settings.videoWidth = 160;
        settings.videoHeight = 120;
        settings.videoFrameRate = 5;
        const auto begun = std::chrono::steady_clock::now();
        SampleArchiveWriter writer(settings);
        made->written = writer.write(made->root);
        if (!made->written) {
            std::fprintf(stderr, "bench_session: %s\n", writer.errorText().c_str());
        }
        made->writeSeconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count();
        return made;
    }();
    return *session;
}

int openFileCount() {
    int count = 0;
    if (DIR* directory = ::opendir("/proc/self/fd")) {
        while (const dirent* entry = ::readdir(directory)) {
            if (entry->d_name[0] != '.') {
                ++count;
            }
        }
        ::closedir(directory);
    }
    return count - 1;  // the listing's own descriptor
}

double residentMegabytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stod(line.substr(6)) / 1024.0;
        }
    }
    return 0.0;
}

// The session's decoders as the window builds them.
std::unique_ptr<InterleavedAudioVideoDecoder> openSession(const std::string& root,
                                                          unsigned& channels, unsigned& videos) {
    KorvalisSession session(root + "/Recordings", "COURT1", 2010, 3, 15);
    session.enumerateMediaFiles();
    std::unique_ptr<AudioDecoderGroup> group;
    std::unique_ptr<VideoDecoder> video;
    session.createAudioDecoderGroupForSession(group, 0.144f);
    session.createVideDecoderForSession(video);
    channels = group->numberOfDecodersIs();
    videos = video->numberOfFilesIs();
    return std::make_unique<InterleavedAudioVideoDecoder>(std::move(group), std::move(video), 2.0f);
}

void BM_OpenLargeSession(benchmark::State& state) {
    const LargeSession& archive = largeSession();
    if (!archive.written) {
        state.SkipWithError("the sample archive could not be written");
        return;
    }
    const int filesBefore = openFileCount();
    unsigned channels = 0, videos = 0, audioFiles = 0;
    int openFiles = 0;
    double resident = 0.0;
    for (auto _ : state) {
        std::unique_ptr<InterleavedAudioVideoDecoder> decoder =
            openSession(archive.root, channels, videos);
        state.PauseTiming();
        openFiles = openFileCount() - filesBefore;
        resident = residentMegabytes();
        audioFiles = 0;
        for (unsigned channel = 0; channel < channels; ++channel) {
            audioFiles +=
                decoder->audioDecoderGroupIs()->decoderForChannel(channel)->numberOfFilesIs();
        }
        decoder.reset();
        state.ResumeTiming();
    }
    state.counters["channels"] = channels;
    state.counters["mp3_files"] = audioFiles;
    state.counters["kov_files"] = videos;
    state.counters["open_files_after"] = openFiles;
    state.counters["rss_mb_after"] = resident;
    state.counters["archive_write_s"] = archive.writeSeconds;
}
BENCHMARK(BM_OpenLargeSession)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_SeekToMiddleAndFirstCorrelatedChunk(benchmark::State& state) {
    const LargeSession& archive = largeSession();
    if (!archive.written) {
        state.SkipWithError("the sample archive could not be written");
        return;
    }
    unsigned channels = 0, videos = 0;
    std::unique_ptr<InterleavedAudioVideoDecoder> decoder =
        openSession(archive.root, channels, videos);
    AudioMixer mixer(false);
    AudioVideoCorrelator correlator(90, 2, 0.03f, true, 0.0);
    correlator.initialize();
    const std::vector<float> gains(channels, 1.0f);
    const std::vector<bool> mutes(channels, false);
    std::vector<double> milliseconds;
    unsigned seek = 0;
    bool failed = false;
    for (auto _ : state) {
        // Around the middle, a different minute each time (so no file is read from where the
        // last seek left it).
        const double target = kSessionStart + kHours * 1800.0 + 61.7 * (seek++ % 20) - 600.0;
        const auto begun = std::chrono::steady_clock::now();
        correlator.reset();
        decoder->setPositionByWallClockTime(target, -1.0f, false);
        std::unique_ptr<AudioChunkWithCorrelatedVideoFrame> output;
        unsigned sets = 5;
        while (!output) {
            std::vector<DecodedChunkSet> audio;
            std::vector<std::unique_ptr<VideoSegmentFrame>> frames;
            if (!decoder->getNextDecodedChunksAndFrames(sets, audio, frames, false)) {
                break;
            }
            sets = 1;
            for (DecodedChunkSet& set : audio) {
                mixer.addChunksToMix(std::move(set), &gains, &mutes);
                if (std::unique_ptr<MixedDecodedAudioChunk> mixed = mixer.mixedResultIs()) {
                    correlator.addUncompressedAudioChunkToCorrelate(std::move(mixed), false);
                }
            }
            for (std::unique_ptr<VideoSegmentFrame>& frame : frames) {
                correlator.addVideoFrameToCorrelate(std::move(frame), false);
            }
            correlator.getNextCorrelatedChunk(output, false);
        }
        const double elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count();
        state.SetIterationTime(elapsed);
        milliseconds.push_back(elapsed * 1000.0);
        if (!output || std::abs(output->audioChunkIs()->startTimeIs() - target) > 0.2) {
            failed = true;
        }
    }
    if (failed) {
        state.SkipWithError("a seek did not give the chunk at its time");
        return;
    }
    std::sort(milliseconds.begin(), milliseconds.end());
    state.counters["median_ms"] = milliseconds[milliseconds.size() / 2];
    state.counters["max_ms"] = milliseconds.back();
    state.counters["open_files"] = openFileCount();
}
BENCHMARK(BM_SeekToMiddleAndFirstCorrelatedChunk)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(40);

}  // namespace
