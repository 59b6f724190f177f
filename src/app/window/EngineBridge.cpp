#include "EngineBridge.h"

#include "AudioOutputDevice.h"
#include "Win32AudioVideoPlayer.h"

EngineBridge::EngineBridge(std::unique_ptr<AudioOutputDevice> device, QObject* parent)
    : QObject(parent), alive_(std::make_shared<std::atomic<bool>>(true)) {
    qRegisterMetaType<std::vector<std::vector<TimeRange>>>();
    // Each callback checks `alive` before it posts: the engine's threads may still finish a
    // call while shutdown() detaches them.
    const std::shared_ptr<std::atomic<bool>> alive = alive_;
    PlaybackEngine::Callbacks callbacks;
    callbacks.position = [this, alive](double startTime, double, float) {
        if (!*alive) {
            return;
        }
        latestPosition_ = startTime;
        if (!positionQueued_.exchange(true)) {
            QMetaObject::invokeMethod(this, &EngineBridge::deliverPosition, Qt::QueuedConnection);
        }
    };
    callbacks.frame = [this, alive] {
        if (*alive && !frameQueued_.exchange(true)) {
            QMetaObject::invokeMethod(this, &EngineBridge::deliverFrame, Qt::QueuedConnection);
        }
    };
    callbacks.playStateChanged = [this, alive](bool playing) {
        if (*alive) {
            QMetaObject::invokeMethod(
                this, [this, playing] { emit playStateChanged(playing); }, Qt::QueuedConnection);
        }
    };
    callbacks.finished = [this, alive] {
        if (*alive) {
            QMetaObject::invokeMethod(
                this, [this] { emit finished(); }, Qt::QueuedConnection);
        }
    };
    callbacks.rangesChanged = [this, alive](const std::vector<std::vector<TimeRange>>& ranges) {
        if (*alive) {
            QMetaObject::invokeMethod(
                this, [this, ranges] { emit rangesChanged(ranges); }, Qt::QueuedConnection);
        }
    };
    callbacks.annotationsChanged = [this, alive] {
        if (*alive) {
            QMetaObject::invokeMethod(
                this, [this] { emit annotationsChanged(); }, Qt::QueuedConnection);
        }
    };
    callbacks.fileSkipped = [this, alive](const std::string& skipped) {
        if (*alive) {
            const QString text = QString::fromStdString(skipped);
            QMetaObject::invokeMethod(
                this, [this, text] { emit fileSkipped(text); }, Qt::QueuedConnection);
        }
    };
    engine_ = std::make_unique<PlaybackEngine>(std::move(device), std::move(callbacks));
}

EngineBridge::~EngineBridge() {
    shutdown();
}

void EngineBridge::shutdown() {
    if (engine_ == nullptr) {
        return;
    }
    *alive_ = false;
    engine_->player().setPositionCallback({});
    engine_->player().setFrameCallback({});
    engine_->stop();
    // The engine's destructor stops the refresh thread, tells the feeder to quit and joins it,
    // and stops the player's wave thread.
    engine_.reset();
}

void EngineBridge::deliverPosition() {
    positionQueued_ = false;
    if (*alive_) {
        emit positionHeard(latestPosition_.load());
    }
}

void EngineBridge::deliverFrame() {
    frameQueued_ = false;
    if (*alive_) {
        emit frameReady();
    }
}
