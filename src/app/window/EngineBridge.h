#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "PlaybackEngine.h"
#include "TimeRange.h"

class AudioOutputDevice;

// The playback engine as the window sees it: owns the engine and brings its callbacks, which
// run on the engine's threads, to the window's thread as signals. Positions and frames come
// far more often than a window repaints (a fast output completes thousands of items a second),
// so they are coalesced: the newest one waits in an atomic and at most one delivery is queued.
//
// Threads: construct, destroy and call engine() on the window's thread; the signals are emitted
// there. shutdown() detaches the callbacks and stops the engine's threads (the engine joins
// them); nothing is emitted after it.
class EngineBridge final : public QObject {
    Q_OBJECT
public:
    explicit EngineBridge(std::unique_ptr<AudioOutputDevice> device, QObject* parent = nullptr);
    ~EngineBridge() override;
    EngineBridge(const EngineBridge&) = delete;
    EngineBridge& operator=(const EngineBridge&) = delete;

    // Null after shutdown().
    PlaybackEngine* engine() const { return engine_.get(); }
    // Detaches every callback, then stops and destroys the engine, joining its threads.
    void shutdown();

signals:
    void positionHeard(double epochSeconds);
    void frameReady();
    void playStateChanged(bool playing);
    void finished();
    void rangesChanged(const std::vector<std::vector<TimeRange>>& rangesPerChannel);
    void annotationsChanged();
    void fileSkipped(const QString& text);

private:
    void deliverPosition();
    void deliverFrame();

    std::unique_ptr<PlaybackEngine> engine_;
    // Whether callbacks may still post to this object (cleared by shutdown()).
    std::shared_ptr<std::atomic<bool>> alive_;
    std::atomic<double> latestPosition_{-1.0};
    std::atomic<bool> positionQueued_{false};
    std::atomic<bool> frameQueued_{false};
};

Q_DECLARE_METATYPE(std::vector<std::vector<TimeRange>>)
