#pragma once

#include <QObject>
#include <atomic>
#include <string>
#include <thread>

class PlaybackEngine;

// Opens a session on a worker thread, so that a large session never holds the window up: finds
// the archive root of the location under the browse location (ArchiveSessionSet), opens the
// session in the engine, and reports back on the window's thread through finished().
//
// Threads: start() and the destructor run on the window's thread. While a load runs the window
// must call no engine operation other than those that lock themselves (positions, levels, the
// channel model, play and stop requests): the worker replaces the engine's session.
class SessionLoader final : public QObject {
    Q_OBJECT
public:
    struct Request {
        std::string browseLocation;  // one or more roots separated by ";"
        std::string locationName;
        int year = 0;
        int month = 0;
        int day = 0;
    };
    struct Result {
        Request request;
        bool opened = false;
        std::string root;       // the archive root holding the location
        std::string errorText;  // why nothing was opened
        // UTC-to-local offset of the location, read from the record's annotations (the
        // machine's offset at the session's start when none carries one).
        int offsetSeconds = 0;
        double loadSeconds = 0.0;
    };

    SessionLoader(PlaybackEngine& engine, QObject* parent = nullptr);
    // Waits for a load that runs.
    ~SessionLoader() override;
    SessionLoader(const SessionLoader&) = delete;
    SessionLoader& operator=(const SessionLoader&) = delete;

    // Starts loading; false (nothing started) while a load runs.
    bool start(const Request& request);
    bool isLoading() const { return loading_; }

    // The text shown when no archive under the browse location holds the location.
    static std::string noSessionText(const Request& request);

signals:
    // On the window's thread, after the worker has ended.
    void finished(const SessionLoader::Result& result);

private:
    void run(Request request);
    void deliver(const Result& result);

    PlaybackEngine& engine_;
    std::thread worker_;
    std::atomic<bool> loading_{false};
};

Q_DECLARE_METATYPE(SessionLoader::Result)
