#include "SessionLoader.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "ArchiveSessionSet.h"
#include "AvDebugLogger.h"
#include "JexAnnotation.h"
#include "JexSession.h"
#include "PlaybackEngine.h"
#include "WallClockTime.h"

namespace {

int locationOffsetSeconds(const PlaybackEngine& engine) {
    if (const JexSession* record = engine.recordIs()) {
        for (const JexAnnotation& annotation : record->annotations()) {
            if (annotation.timeStamp() != nullptr) {
                return annotation.timeStamp()->tzOffsetFromUtcToLocalSeconds();
            }
        }
    }
    double start = 0.0, end = 0.0;
    const double at = engine.sessionRangeIs(start, end) ? start : 0.0;
    return WallClockTime::localOffsetFromUtcSecondsAt(static_cast<uint32_t>(std::max(at, 0.0)));
}

}  // namespace

SessionLoader::SessionLoader(PlaybackEngine& engine, QObject* parent)
    : QObject(parent), engine_(engine) {
    qRegisterMetaType<SessionLoader::Result>();
}

SessionLoader::~SessionLoader() {
    if (worker_.joinable()) {
        worker_.join();
    }
}

bool SessionLoader::start(const Request& request) {
    if (loading_) {
        return false;
    }
    if (worker_.joinable()) {
        worker_.join();
    }
    loading_ = true;
    worker_ = std::thread([this, request] { run(request); });
    return true;
}

std::string SessionLoader::noSessionText(const Request& request) {
    char date[32];
    std::snprintf(date, sizeof date, "%02d/%02d/%04d", request.month, request.day, request.year);
    return "No session of " + request.locationName + " on " + date + " under " +
           request.browseLocation;
}

void SessionLoader::run(Request request) {
    const auto begin = std::chrono::steady_clock::now();
    Result result;
    result.request = request;
    const ArchiveSessionSet sessions(request.browseLocation);
    if (!sessions.findRootForLocation(request.locationName, result.root)) {
        result.errorText = noSessionText(request);
    } else {
        engine_.openSession(sessions.recordingsPath(result.root),
                            sessions.databasesPath(result.root), request.locationName, request.year,
                            request.month, request.day);
        result.opened = true;
        result.offsetSeconds = locationOffsetSeconds(engine_);
    }
    result.loadSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    AvDebugLogger::instance().log(
        AvDebugLogger::kInfo, "SessionLoader::run(): %s %04d-%02d-%02d %s in %.3f s",
        request.locationName.c_str(), request.year, request.month, request.day,
        result.opened ? "opened" : "not found", result.loadSeconds);
    QMetaObject::invokeMethod(
        this, [this, result] { deliver(result); }, Qt::QueuedConnection);
}

void SessionLoader::deliver(const Result& result) {
    if (worker_.joinable()) {
        worker_.join();
    }
    loading_ = false;
    emit finished(result);
}
