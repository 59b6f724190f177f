#include "AutoloadThread.h"

#include <algorithm>
#include <array>

#include "ArchiveSessionSet.h"
#include "AvDebugLogger.h"
#include "DirectoryLister.h"
#include "PlaybackMessages.h"

namespace {

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    });
    return text;
}

const std::array<std::string, 4> kMediaExtensions{"mp3", "sealedaudio", "kov", "sealedvideo"};

}  // namespace

AutoloadThread::AutoloadThread(Session session, std::function<void(const Session&)> ready,
                               std::chrono::milliseconds checkPeriod,
                               std::chrono::milliseconds settleTime)
    : session_(std::move(session)),
      ready_(std::move(ready)),
      checkPeriod_(checkPeriod),
      settleTime_(settleTime) {}

AutoloadThread::~AutoloadThread() {
    stop();
}

bool AutoloadThread::start() {
    std::lock_guard<std::mutex> hold(mutex_);
    if (thread_.joinable() || asked_) {
        return false;
    }
    messages_.clear();
    thread_ = std::thread(&AutoloadThread::run, this);
    return true;
}

void AutoloadThread::stop() {
    std::thread ending;
    {
        std::lock_guard<std::mutex> hold(mutex_);
        if (!thread_.joinable()) {
            return;
        }
        messages_.post(PlaybackMessages::kAutoloadStop);
        ending = std::move(thread_);
    }
    ending.join();
}

bool AutoloadThread::hasAskedForSession() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return asked_;
}

bool AutoloadThread::dayDirectoryHoldsMedia(const Session& session) {
    const std::string directory = ArchiveSessionSet::dayDirectory(
        session.recordingsPath, 0, session.year, session.month, session.day);
    const std::string location = lowerCase(session.locationName);
    if (location.empty()) {
        return false;
    }
    for (const DirectoryEntry& entry : DirectoryLister::list(directory)) {
        if (!entry.isRegularFile) {
            continue;
        }
        const std::string name = lowerCase(entry.name);
        const size_t dot = name.rfind('.');
        if (name.compare(0, location.size(), location) != 0 || dot == std::string::npos ||
            dot < location.size()) {
            continue;
        }
        const std::string extension = name.substr(dot + 1);
        if (std::find(kMediaExtensions.begin(), kMediaExtensions.end(), extension) !=
            kMediaExtensions.end()) {
            return true;
        }
    }
    return false;
}

void AutoloadThread::run() {
    AvDebugLogger::instance().log(4, "AutoloadThread::run(): Autoload thread open");
    ThreadMessage message;
    while (true) {
        if (dayDirectoryHoldsMedia(session_)) {
            // Give the recorder time to write the first files before they are read.
            if (messages_.getFor(message, settleTime_) &&
                message.message == PlaybackMessages::kAutoloadStop) {
                return;
            }
            {
                std::lock_guard<std::mutex> hold(mutex_);
                asked_ = true;
            }
            if (ready_) {
                ready_(session_);
            }
            return;
        }
        if (messages_.getFor(message, checkPeriod_) &&
            message.message == PlaybackMessages::kAutoloadStop) {
            return;
        }
    }
}
