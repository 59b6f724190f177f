#pragma once

#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "ThreadMessageQueue.h"

// Waits for a session that the recorder is about to start: checks every check period whether the
// day directory RECORDINGS/000/YYYYMMDD holds a media file of the location (a name beginning with
// the location name, regardless of case, with the extension of a media kind), and when it does,
// lets the recorder settle for the settle time and asks for the session to be loaded through
// the ready callback, once; then the thread ends. The callback runs on the autoload thread.
class AutoloadThread {
public:
    static constexpr std::chrono::milliseconds kCheckPeriod{500};
    static constexpr std::chrono::milliseconds kSettleTime{1000};

    struct Session {
        std::string recordingsPath;  // ROOT/Recordings
        std::string locationName;
        int year = 0;
        int month = 0;
        int day = 0;
    };

    AutoloadThread(Session session, std::function<void(const Session&)> ready,
                   std::chrono::milliseconds checkPeriod = kCheckPeriod,
                   std::chrono::milliseconds settleTime = kSettleTime);
    // Stops the thread when it runs.
    ~AutoloadThread();

    AutoloadThread(const AutoloadThread&) = delete;
    AutoloadThread& operator=(const AutoloadThread&) = delete;

    // Starts watching; false when the thread runs already or has asked for the session.
    bool start();
    // Tells the thread to stop (the message the window sends) and waits for it. A stop during
    // the settle time means the session is not asked for.
    void stop();
    // Whether the ready callback was called.
    bool hasAskedForSession() const;

    // Whether the day directory holds media of the location now.
    static bool dayDirectoryHoldsMedia(const Session& session);

private:
    void run();

    const Session session_;
    const std::function<void(const Session&)> ready_;
    const std::chrono::milliseconds checkPeriod_;
    const std::chrono::milliseconds settleTime_;

    mutable std::mutex mutex_;
    ThreadMessageQueue messages_;
    std::thread thread_;
    bool asked_ = false;
};
