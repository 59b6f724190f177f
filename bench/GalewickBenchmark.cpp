// The main window's responsiveness, measured in the window's own process under the offscreen
// platform (or Xvfb):
//   BM_StartToFirstPaintedWindow  creating the window, Initialize, show, until its canvas has
//                                 painted once (goal under 300 ms)
//   BM_OpenLargeSession           opening the pipeline benchmark's session (12 hours of 8
//                                 channels in one-minute files, video) from the window: the
//                                 longest event-loop stall while it opens (goal under 50 ms) and
//                                 the time from the request until it plays (goal under 1.5 s)
//   BM_PlaybackStalls             10 s of playback of that session's 8 channels and video at
//                                 real-time pace ("null" output): the longest stall of the
//                                 window's thread (goal under 20 ms)
// Stalls are the longest gap between turns of a 1 ms precise timer on the window's thread,
// less the 1 ms it waits. BENCH_GALEWICK_ARCHIVE=DIR keeps the written session in DIR for the
// next run.

#include <benchmark/benchmark.h>
#include <time.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "GalewickUserInterface.h"
#include "PlaybackEngine.h"
#include "SampleArchiveWriter.h"
#include "TemporaryDirectory.h"
#include "TransportBar.h"
#include "Win32_WindowlessTimeSlider.h"

namespace {

constexpr int kChannels = 8;
constexpr double kHours = 12.0;

struct LargeSession {
    TemporaryDirectory directory{"bench-galewick-"};
    std::string root = directory.file("archive");
    double start = 0.0;
    double writeSeconds = 0.0;
    bool written = false;
};

// The session of bench_session, written once per run.
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
        made->start = writer.sessionStart(SampleArchiveWriter::Date{});
        if (const char* kept = std::getenv("BENCH_GALEWICK_ARCHIVE")) {
            // A root written by an earlier run (the writer refuses to write over it).
            made->root = kept;
            made->written =
                std::filesystem::exists(made->root + "/Databases") || writer.write(made->root);
        } else {
            made->written = writer.write(made->root);
        }
        if (!made->written) {
            std::fprintf(stderr, "bench_galewick: %s\n", writer.errorText().c_str());
        }
        made->writeSeconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count();
        return made;
    }();
    return *session;
}

// The longest gap between turns of a 1 ms timer on the window's thread.
class StallMonitor {
public:
    StallMonitor() {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(1);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const qint64 now = clock_.nsecsElapsed();
            const qint64 cpu = threadCpuNanoseconds();
            if (last_ >= 0) {
                longest_ = std::max(longest_, now - last_);
                longestCpu_ = std::max(longestCpu_, cpu - lastCpu_);
            }
            last_ = now;
            lastCpu_ = cpu;
        });
    }
    void start() {
        longest_ = longestCpu_ = 0;
        last_ = -1;
        clock_.start();
        timer_.start();
    }
    // Milliseconds, less the timer's own wait.
    double stop() {
        timer_.stop();
        return std::max(0.0, static_cast<double>(longest_) / 1e6 - 1.0);
    }
    // The most processor time the window's thread spent between two turns, in milliseconds: the
    // window's own work, without the time other processes held the processor.
    double longestWorkMilliseconds() const { return static_cast<double>(longestCpu_) / 1e6; }

private:
    static qint64 threadCpuNanoseconds() {
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return static_cast<qint64>(now.tv_sec) * 1000000000 + now.tv_nsec;
    }

    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = -1;
    qint64 lastCpu_ = 0;
    qint64 longest_ = 0;
    qint64 longestCpu_ = 0;
};

class PaintWatch final : public QObject {
public:
    bool painted = false;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            painted = true;
        }
        return QObject::eventFilter(watched, event);
    }
};

GalewickUserInterface::Options benchOptions(const TemporaryDirectory& directory,
                                            const char* output) {
    GalewickUserInterface::Options options;
    options.audioOutput = output;
    options.configurationPath = directory.file("galewickConfiguration.xml");
    options.inputSources = false;
    return options;
}

void waitUntil(const std::function<bool()>& done, int timeoutMilliseconds) {
    QElapsedTimer waited;
    waited.start();
    while (!done() && waited.elapsed() < timeoutMilliseconds) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
}

void BM_StartToFirstPaintedWindow(benchmark::State& state) {
    TemporaryDirectory directory("bench-galewick-start-");
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        GalewickUserInterface window(benchOptions(directory, "null"));
        if (!window.Initialize()) {
            state.SkipWithError("the window could not be made");
            return;
        }
        PaintWatch watch;
        window.canvas()->installEventFilter(&watch);
        window.show();
        waitUntil([&watch] { return watch.painted; }, 5000);
        const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        state.SetIterationTime(seconds);
        if (!watch.painted) {
            state.SkipWithError("the window never painted");
            return;
        }
        window.canvas()->removeEventFilter(&watch);
        state.PauseTiming();
        window.close();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_StartToFirstPaintedWindow)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);

void BM_OpenLargeSession(benchmark::State& state) {
    const LargeSession& archive = largeSession();
    if (!archive.written) {
        state.SkipWithError("the sample archive could not be written");
        return;
    }
    TemporaryDirectory directory("bench-galewick-open-");
    GalewickUserInterface window(benchOptions(directory, "null"));
    window.Initialize();
    window.show();
    double stall = 0.0, work = 0.0, openSeconds = 0.0, playSeconds = 0.0;
    for (auto _ : state) {
        StallMonitor monitor;
        bool loaded = false;
        const QMetaObject::Connection connection = QObject::connect(
            &window, &GalewickUserInterface::sessionLoaded, [&loaded](bool) { loaded = true; });
        QElapsedTimer clock;
        clock.start();
        monitor.start();
        window.LoadSession({archive.root, "COURT1", 2010, 3, 15});
        waitUntil([&loaded] { return loaded; }, 60000);
        openSeconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        // Plays from the middle: the time until the first position is heard.
        const double middle = archive.start + kHours * 1800.0;
        window.playFrom(middle);
        waitUntil(
            [&window, middle] {
                return window.engine()->isPlaying() && window.engine()->positionIs() > middle;
            },
            20000);
        playSeconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        stall = std::max(stall, monitor.stop());
        work = std::max(work, monitor.longestWorkMilliseconds());
        state.SetIterationTime(playSeconds);
        QObject::disconnect(connection);
        window.stop();
        waitUntil([&window] { return !window.isPlaying(); }, 5000);
    }
    state.counters["open_s"] = openSeconds;
    state.counters["until_playing_s"] = playSeconds;
    state.counters["longest_stall_ms"] = stall;
    state.counters["longest_work_ms"] = work;
    state.counters["archive_write_s"] = archive.writeSeconds;
    window.close();
}
BENCHMARK(BM_OpenLargeSession)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_PlaybackStalls(benchmark::State& state) {
    const LargeSession& archive = largeSession();
    if (!archive.written) {
        state.SkipWithError("the sample archive could not be written");
        return;
    }
    TemporaryDirectory directory("bench-galewick-play-");
    GalewickUserInterface window(benchOptions(directory, "null"));
    window.Initialize();
    window.show();
    bool loaded = false;
    QObject::connect(&window, &GalewickUserInterface::sessionLoaded,
                     [&loaded](bool) { loaded = true; });
    window.LoadSession({archive.root, "COURT1", 2010, 3, 15});
    waitUntil([&loaded] { return loaded; }, 60000);
    double stall = 0.0, work = 0.0, heardSeconds = 0.0;
    for (auto _ : state) {
        const double from = archive.start + 3600.0;
        window.playFrom(from);
        waitUntil([&window] { return window.engine()->isPlaying(); }, 10000);
        StallMonitor monitor;
        monitor.start();
        waitUntil([] { return false; }, 10000);
        stall = std::max(stall, monitor.stop());
        work = std::max(work, monitor.longestWorkMilliseconds());
        heardSeconds = window.transport().slider().position() - from;
        window.stop();
        waitUntil([&window] { return !window.isPlaying(); }, 5000);
    }
    state.counters["longest_stall_ms"] = stall;
    state.counters["longest_work_ms"] = work;
    state.counters["heard_s"] = heardSeconds;
    window.close();
}
BENCHMARK(BM_PlaybackStalls)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen")
                                                                    : qgetenv("QT_QPA_PLATFORM"));
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
