// korvalis play: a session heard through the sound card (or a null or WAV output), in step with
// its video, at any speed; interactive on a terminal, a position report per second otherwise.

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "AudioOutputDevice.h"
#include "AudioOutputDeviceFactory.h"
#include "CommandLine.h"
#include "JexAnnotation.h"
#include "JexSession.h"
#include "KorvalisCommand.h"
#include "PlayTerminal.h"
#include "PlaybackEngine.h"
#include "PlaybackSpeed.h"
#include "SessionLookup.h"
#include "TerminalText.h"
#include "WallClockTime.h"

namespace {

constexpr const char* kUsage =
    "Usage: korvalis play ROOTS LOCATION YYYYMMDD [--from T] [--to T] [--speed PERCENT]\n"
    "                     [--audio-output portaudio|null|null:fast|wav:PATH]\n"
    "                     [--audio-device NAME] [--gain C=G]... [--mute C]... [--follow]\n"
    "                     [--auto-refresh]\n"
    "       korvalis play --list-devices\n\n"
    "Plays a session: every channel decoded and mixed with its gain and mute, the video kept in\n"
    "step, through the sound card.\n\n"
    "  --from T, --to T   start at T (epoch seconds, or hexadecimal with 0x) and stop before the\n"
    "                     first 30 ms chunk that starts at or after T; by default the whole "
    "session\n"
    "  --speed PERCENT    tempo change from -90 to 400 without changing the pitch (-50: half\n"
    "                     speed, 50: one and a half); 0 by default\n"
    "  --audio-output     portaudio (the sound card, the default), null (silent, real time),\n"
    "                     null:fast (silent, as fast as it decodes) or wav:PATH (what would be\n"
    "                     heard, into a 16-bit mono WAV file). Without a usable sound card the\n"
    "                     sound card output says so and plays silently.\n"
    "  --audio-device N   the sound card output named N (see --list-devices)\n"
    "  --gain C=G         channel C (from 0) at gain G (1.0 unchanged); --mute C silences it\n"
    "  --follow           print each annotation (time, speaker, event) as playback passes it\n"
    "  --auto-refresh     take in the files of a session that is still being recorded\n\n"
    "On a terminal a status line shows the location's clock time, the elapsed time, the speed\n"
    "and a level bar per channel. Keys: space play/stop, left/right rewind/advance 5 s,\n"
    "up/down speed step, 1-9 mute or unmute that channel, f follow annotations, q quit.\n"
    "Otherwise it plays the range and prints 'position: EPOCH' for every second played, then\n"
    "'played: SECONDS'. ROOTS are archive paths separated by ';'.\n";

constexpr double kStepSeconds = 5.0;
// How long a session being recorded may stay at its end before playback is over.
constexpr double kLiveWaitSeconds = 2.0;

std::atomic<bool> interrupted{false};

void onSignal(int) {
    interrupted = true;
}

int usageError(const std::string& message) {
    std::fprintf(stderr, "korvalis play: %s\n%s", message.c_str(), kUsage);
    return kExitUsage;
}

int failure(const std::string& message) {
    std::fprintf(stderr, "korvalis play: %s\n", message.c_str());
    return kExitFailure;
}

struct PlaySettings {
    std::string roots;
    std::string location;
    int year = 0, month = 0, day = 0;
    bool hasFrom = false;
    double from = 0.0;
    bool hasTo = false;
    double to = 0.0;
    int speedPercent = 0;
    std::string output = "portaudio";
    std::string deviceName;
    std::map<unsigned, float> channelGains;
    std::set<unsigned> mutedChannels;
    bool follow = false;
    bool autoRefresh = false;
    bool listDevices = false;
};

std::string readSettings(const std::vector<std::string>& arguments, PlaySettings& settings) {
    CommandLine line(arguments,
                     {"from", "to", "speed", "audio-output", "audio-device", "gain", "mute"},
                     {"follow", "auto-refresh", "list-devices"});
    if (!line.isValid()) {
        return line.error();
    }
    settings.listDevices = line.hasFlag("list-devices");
    if (settings.listDevices && line.positional().empty()) {
        return std::string();
    }
    const std::string positional = SessionLookup::readSessionArguments(
        line, settings.roots, settings.location, settings.year, settings.month, settings.day);
    if (!positional.empty()) {
        return positional;
    }
    if (line.hasOption("from")) {
        settings.hasFrom = true;
        if (!CommandLine::parseEpochSeconds(*line.value("from"), settings.from)) {
            return "--from '" + *line.value("from") + "' is not a time";
        }
    }
    if (line.hasOption("to")) {
        settings.hasTo = true;
        if (!CommandLine::parseEpochSeconds(*line.value("to"), settings.to)) {
            return "--to '" + *line.value("to") + "' is not a time";
        }
    }
    if (settings.hasFrom && settings.hasTo && settings.to <= settings.from) {
        return "--to must be later than --from";
    }
    if (line.hasOption("speed")) {
        long percent = 0;
        if (!CommandLine::parseLong(*line.value("speed"), percent) ||
            percent < PlaybackSpeed::kMinimumPercent || percent > PlaybackSpeed::kMaximumPercent) {
            return "--speed '" + *line.value("speed") + "' is not a percent from -90 to 400";
        }
        settings.speedPercent = static_cast<int>(percent);
    }
    settings.output = line.value("audio-output").value_or("portaudio");
    AudioOutputDeviceFactory::Choice choice;
    std::string outputError;
    if (!AudioOutputDeviceFactory::parse(settings.output, choice, outputError)) {
        return outputError;
    }
    settings.deviceName = line.value("audio-device").value_or("");
    const std::string channelOptions =
        SessionLookup::readChannelOptions(line, settings.channelGains, settings.mutedChannels);
    if (!channelOptions.empty()) {
        return channelOptions;
    }
    settings.follow = line.hasFlag("follow");
    settings.autoRefresh = line.hasFlag("auto-refresh");
    return std::string();
}

int listDevices() {
    std::vector<AudioOutputDeviceFactory::OutputDeviceInfo> devices;
    std::string error;
    if (!AudioOutputDeviceFactory::listOutputDevices(devices, error)) {
        return failure(error);
    }
    if (devices.empty()) {
        std::printf("no sound card outputs; play through --audio-output null\n");
    }
    for (const auto& device : devices) {
        std::printf("%s%s\n", device.name.c_str(), device.isDefault ? " (default)" : "");
    }
    return kExitSuccess;
}

// What the engine's threads report, taken by the command's thread.
class PlayReports {
public:
    void heard(double startTime, double durationSeconds) {
        std::lock_guard<std::mutex> hold(mutex_);
        heard_.push_back(startTime);
        heardSeconds_ += durationSeconds;
        changed_.notify_all();
    }
    void finished() {
        std::lock_guard<std::mutex> hold(mutex_);
        finished_ = true;
        changed_.notify_all();
    }
    void skipped(const std::string& text) {
        std::lock_guard<std::mutex> hold(mutex_);
        skipped_.push_back(text);
    }

    // Waits at most `milliseconds` for news; takes what was heard since the last call.
    std::vector<double> take(int milliseconds, bool& finished, std::vector<std::string>& skipped) {
        std::unique_lock<std::mutex> hold(mutex_);
        changed_.wait_for(hold, std::chrono::milliseconds(milliseconds),
                          [this] { return !heard_.empty() || finished_; });
        std::vector<double> heard(heard_.begin(), heard_.end());
        heard_.clear();
        finished = finished_;
        skipped.swap(skipped_);
        skipped_.clear();
        return heard;
    }
    void clearFinished() {
        std::lock_guard<std::mutex> hold(mutex_);
        finished_ = false;
    }
    double heardSeconds() {
        std::lock_guard<std::mutex> hold(mutex_);
        return heardSeconds_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<double> heard_;
    double heardSeconds_ = 0.0;
    bool finished_ = false;
    std::vector<std::string> skipped_;
};

// The annotations in time order, and the next one playback will pass.
class AnnotationFollower {
public:
    // `position`: where playback is (annotations before it count as passed), -1.0 for nowhere.
    AnnotationFollower(const JexSession* record, int offsetSeconds, double position = -1.0)
        : previous_(position), offsetSeconds_(offsetSeconds) {
        if (record == nullptr) {
            return;
        }
        for (const JexAnnotation& annotation : record->annotations()) {
            if (annotation.timeStamp() != nullptr) {
                entries_.push_back({annotation.timeStamp()->asUtcSeconds(), annotation});
            }
        }
        std::stable_sort(entries_.begin(), entries_.end(),
                         [](const Entry& a, const Entry& b) { return a.time < b.time; });
        if (position >= 0.0) {
            next_ = firstAtOrAfter(position + 0.03);
        }
    }
    AnnotationFollower& operator=(AnnotationFollower&&) = default;

    // The lines of the annotations passed between the previous position and `position` (a
    // jump back or of more than a second starts again from `position`).
    std::vector<std::string> passed(double position) {
        std::vector<std::string> lines;
        if (previous_ < 0.0 || position < previous_ || position - previous_ > 1.0) {
            next_ = firstAtOrAfter(position);
        }
        previous_ = position;
        while (next_ < entries_.size() && entries_[next_].time < position + 0.03) {
            const JexAnnotation& annotation = entries_[next_].annotation;
            lines.push_back(
                "annotation: " + PlayTerminal::clockText(entries_[next_].time, offsetSeconds_) +
                "\t" + TerminalText::escaped(annotation.labelData()) + "\t" +
                TerminalText::escaped(annotation.event()));
            ++next_;
        }
        return lines;
    }

private:
    struct Entry {
        double time;
        JexAnnotation annotation;
    };

    size_t firstAtOrAfter(double time) const {
        return static_cast<size_t>(
            std::lower_bound(entries_.begin(), entries_.end(), time,
                             [](const Entry& e, double t) { return e.time < t; }) -
            entries_.begin());
    }

    std::vector<Entry> entries_;
    size_t next_ = 0;
    double previous_;
    int offsetSeconds_;
};

// The location's offset from UTC: the record's, else the machine's at that time.
int locationOffsetSeconds(const JexSession* record, double at) {
    if (record != nullptr) {
        for (const JexAnnotation& annotation : record->annotations()) {
            if (annotation.timeStamp() != nullptr) {
                return annotation.timeStamp()->tzOffsetFromUtcToLocalSeconds();
            }
        }
    }
    return WallClockTime::localOffsetFromUtcSecondsAt(static_cast<uint32_t>(std::max(at, 0.0)));
}

// With auto refresh: whether the session grew beyond what was heard, so playback can go on.
bool sessionGrew(PlaybackEngine& engine, double lastHeard) {
    double start = 0.0, end = 0.0;
    return engine.sessionRangeIs(start, end) && end > lastHeard + 0.2;
}

int runPlay(const std::vector<std::string>& arguments) {
    PlaySettings settings;
    const std::string problem = readSettings(arguments, settings);
    if (!problem.empty()) {
        return usageError(problem);
    }
    if (settings.listDevices) {
        return listDevices();
    }
    std::string location = settings.location;
    std::string recordingsPath;
    if (!SessionLookup::findSession(settings.roots, location, settings.year, settings.month,
                                    settings.day, recordingsPath)) {
        return failure(SessionLookup::noSessionText(settings.location, settings.year,
                                                    settings.month, settings.day, settings.roots));
    }
    AudioOutputDeviceFactory::Choice choice;
    std::string error;
    AudioOutputDeviceFactory::parse(settings.output, choice, error);
    if (choice.kind == AudioOutputDeviceFactory::Kind::Wav) {
        // The output opens with the first chunk; a file that cannot be written is told now.
        std::FILE* file = std::fopen(choice.wavPath.c_str(), "wb");
        if (file == nullptr) {
            return failure("cannot write \"" + choice.wavPath + "\"");
        }
        std::fclose(file);
    }

    PlayReports reports;
    PlaybackEngine::Callbacks callbacks;
    callbacks.position = [&reports](double start, double duration, float) {
        reports.heard(start, duration);
    };
    callbacks.finished = [&reports] { reports.finished(); };
    callbacks.fileSkipped = [&reports](const std::string& text) { reports.skipped(text); };
    std::atomic<bool> annotationsChanged{false};
    callbacks.annotationsChanged = [&annotationsChanged] { annotationsChanged = true; };
    PlaybackEngine engine(AudioOutputDeviceFactory::create(choice, settings.deviceName),
                          std::move(callbacks));
    const std::string root = recordingsPath.substr(0, recordingsPath.rfind('/'));
    engine.openSession(recordingsPath, root + "/Databases", location, settings.year, settings.month,
                       settings.day);
    bool finished = false;
    std::vector<std::string> skipped;
    reports.take(0, finished, skipped);
    for (const std::string& text : skipped) {
        std::fprintf(stderr, "korvalis play: warning: skipped %s\n", text.c_str());
    }

    const unsigned channels = engine.channelCountIs();
    const std::string channelProblem =
        SessionLookup::checkChannelOptions(settings.channelGains, settings.mutedChannels, channels);
    if (!channelProblem.empty()) {
        return usageError(channelProblem);
    }
    for (const auto& [channel, gain] : settings.channelGains) {
        engine.channels().setChannelLevel(channel, gain);
    }
    for (unsigned channel : settings.mutedChannels) {
        engine.channels().setChannelMute(channel, true);
    }
    double sessionStart = 0.0, sessionEnd = 0.0;
    if (!engine.sessionRangeIs(sessionStart, sessionEnd)) {
        return failure("the session has neither audio nor video");
    }
    if (settings.hasFrom && settings.from > sessionEnd) {
        char text[128];
        std::snprintf(text, sizeof text, "the session's %s ends at %.3f, before --from",
                      channels > 0 ? "audio" : "video", sessionEnd);
        return failure(text);
    }
    const double from = settings.hasFrom ? settings.from : sessionStart;
    if (settings.hasTo) {
        engine.setEndTime(settings.to);
    }
    if (settings.speedPercent != 0) {
        engine.setSpeed(PlaybackSpeed::fromPercent(settings.speedPercent));
    }
    if (settings.autoRefresh) {
        engine.setAutoRefresh(true);
    }
    const int offsetSeconds = locationOffsetSeconds(engine.recordIs(), from);
    AnnotationFollower follower(engine.recordIs(), offsetSeconds);
    bool following = settings.follow;

    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    PlayTerminal terminal;
    const bool interactive = PlayTerminal::isInteractive() && terminal.enter();
    engine.playFrom(from);

    long long lastSecond = static_cast<long long>(std::floor(from)) - 1;
    double lastHeard = -1.0;
    double endSince = -1.0;
    bool quit = false;
    while (!quit && !interrupted) {
        const std::vector<double> heard = reports.take(interactive ? 100 : 200, finished, skipped);
        for (const std::string& text : skipped) {
            const std::string line = "warning: skipped " + text;
            interactive ? terminal.printLine(line)
                        : (void)std::fprintf(stderr, "korvalis play: %s\n", line.c_str());
        }
        if (annotationsChanged.exchange(false)) {
            // The recorder added annotations: follow the record as it is now.
            follower = AnnotationFollower(engine.recordIs(), offsetSeconds, lastHeard);
        }
        for (double start : heard) {
            lastHeard = start;
            const long long second = static_cast<long long>(std::floor(start));
            if (!interactive && second > lastSecond) {
                lastSecond = second;
                std::printf("position: %lld\n", second);
            }
            if (following) {
                for (const std::string& line : follower.passed(start)) {
                    interactive ? terminal.printLine(line)
                                : (void)std::printf("%s\n", line.c_str());
                }
            }
        }
        if (!interactive) {
            std::fflush(stdout);
        }
        if (interactive) {
            for (const PlayTerminal::KeyPress& press : terminal.readKeys(0)) {
                switch (press.key) {
                    case PlayTerminal::Key::kPlayStop:
                        engine.togglePlay();
                        break;
                    case PlayTerminal::Key::kRewind:
                        engine.rewind(kStepSeconds);
                        break;
                    case PlayTerminal::Key::kAdvance:
                        engine.advance(kStepSeconds);
                        break;
                    case PlayTerminal::Key::kFaster:
                        engine.setSpeed(engine.speedIs().faster());
                        break;
                    case PlayTerminal::Key::kSlower:
                        engine.setSpeed(engine.speedIs().slower());
                        break;
                    case PlayTerminal::Key::kChannel:
                        engine.channels().toggleChannelMute(press.channel);
                        break;
                    case PlayTerminal::Key::kFollow:
                        following = !following;
                        break;
                    case PlayTerminal::Key::kQuit:
                        quit = true;
                        break;
                    case PlayTerminal::Key::kNone:
                        break;
                }
            }
            std::vector<PlayTerminal::ChannelLevel> levels;
            for (unsigned channel = 0; channel < engine.channels().channelCountIs(); ++channel) {
                levels.push_back(
                    {engine.channelLevelIs(channel),
                     engine.channels().channelMuteIs(channel) || engine.channels().masterMuteIs()});
            }
            const double position = engine.positionIs();
            double start = sessionStart, end = sessionEnd;
            engine.sessionRangeIs(start, end);
            terminal.drawStatus(PlayTerminal::statusLine(
                PlayTerminal::clockText(position, offsetSeconds),
                PlayTerminal::elapsedText(position - start), engine.speedIs().textIs(),
                engine.isPlaying(), following, levels));
        }
        if (finished) {
            if (settings.autoRefresh && !(settings.hasTo && lastHeard + 0.03 >= settings.to)) {
                // A session still being recorded: play on once it has grown.
                const double now = std::chrono::duration<double>(
                                       std::chrono::steady_clock::now().time_since_epoch())
                                       .count();
                if (sessionGrew(engine, lastHeard)) {
                    reports.clearFinished();
                    endSince = -1.0;
                    engine.playFrom(lastHeard + 0.03);
                    continue;
                }
                if (endSince < 0.0) {
                    endSince = now;
                }
                if (interactive || now - endSince < kLiveWaitSeconds) {
                    continue;
                }
            }
            if (!interactive) {
                break;
            }
        }
    }
    engine.stop();
    terminal.leave();
    const double played = reports.heardSeconds();
    std::printf("played: %.3f\n", played);
    return kExitSuccess;
}

const KorvalisCommandRegistration playRegistration({
    "play",
    "play a session through the sound card, a null output or into a WAV file",
    kUsage,
    runPlay,
});

}  // namespace
