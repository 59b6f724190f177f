#pragma once

#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ThreadMessageQueue.h"
#include "TimeRange.h"

class AudioDecoderGroup;
class JexSession;
class KorvalisSession;
class VideoDecoder;

// Keeps an open session up to date while the recorder is still writing it: every refresh period
// it enumerates the session's media files again, adds new files and channels to the decoders,
// re-reads the information of files started within the last hour, and reloads the session record.
// What changed is reported through callbacks, which run on the refresh thread (a window marshals
// them to its own thread).
//
// While the thread runs it is the only caller of the session's enumerate and update operations
// (KorvalisSession has no lock of its own); the decoders and the record lock themselves, so the
// feeder may decode meanwhile. The session, decoders and record must outlive the thread.
class SessionRefreshThread {
public:
    static constexpr std::chrono::milliseconds kRefreshPeriod{500};
    // Files that started less than this long ago are read again on each refresh.
    static constexpr double kFileInformationMaximumAgeSeconds = 3600.0;

    struct Callbacks {
        // The time ranges of every channel after a refresh (index = channel), for the time
        // slider's recorded segments.
        std::function<void(const std::vector<std::vector<TimeRange>>& rangesPerChannel)>
            rangesChanged;
        // The decoder group's channel count after a refresh (new channels get controls).
        std::function<void(unsigned channels)> channelCountIs;
        // The session record was reloaded and its annotations changed.
        std::function<void()> annotationsChanged;
        // A media file was left out ("PATH: REASON"), each once.
        std::function<void(const std::string& skipped)> fileSkipped;
        // One refresh took this long (for the debug log and benchmarks).
        std::function<void(double seconds)> refreshTimed;
    };

    // `videoDecoder` and `record` may be null (a session without video, or without a record).
    SessionRefreshThread(KorvalisSession& session, AudioDecoderGroup& audioDecoderGroup,
                         VideoDecoder* videoDecoder, JexSession* record, Callbacks callbacks,
                         std::chrono::milliseconds period = kRefreshPeriod);
    // Stops the thread when it runs.
    ~SessionRefreshThread();

    SessionRefreshThread(const SessionRefreshThread&) = delete;
    SessionRefreshThread& operator=(const SessionRefreshThread&) = delete;

    // Starts the thread; false when it runs already.
    bool start();
    // Tells the thread to end and waits for it; returns at once when it does not run. A refresh
    // in progress is completed first.
    void stop();
    bool isRunning() const;

    // One refresh, on the calling thread (the thread must not be running). The loop runs this
    // after each period.
    void refreshOnce();
    // Refreshes done since construction.
    unsigned refreshCountIs() const;

private:
    void run();

    KorvalisSession& session_;
    AudioDecoderGroup& audioDecoderGroup_;
    VideoDecoder* videoDecoder_;
    JexSession* record_;
    const Callbacks callbacks_;
    const std::chrono::milliseconds period_;

    mutable std::mutex mutex_;
    ThreadMessageQueue messages_;
    std::thread thread_;
    bool running_ = false;
    unsigned refreshCount_ = 0;
};
