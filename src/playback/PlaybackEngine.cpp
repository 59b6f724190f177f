#include "PlaybackEngine.h"

#include <algorithm>

#include "AudioDecoderGroup.h"
#include "AudioOutputDevice.h"
#include "AudioVideoCorrelator.h"
#include "InterleavedAudioVideoDecoder.h"
#include "JexSession.h"
#include "KorvalisSession.h"
#include "PlayerFeeder.h"
#include "SessionRefreshThread.h"
#include "VideoDecoder.h"
#include "Win32AudioVideoPlayer.h"

PlaybackEngine::PlaybackEngine(std::unique_ptr<AudioOutputDevice> device, Callbacks callbacks)
    : callbacks_(std::move(callbacks)),
      player_(std::make_unique<Win32AudioVideoPlayer>(kMaximumBuffers, kHistoryLength, kPrimeCount,
                                                      std::move(device))),
      correlator_(std::make_unique<AudioVideoCorrelator>(90, 2, 0.03f, true, 0.0)) {
    correlator_->initialize();
    player_->start();
    player_->setPositionCallback(
        [this](double startTime, double durationSeconds, float level, TransactionId) {
            heard(startTime, durationSeconds, level);
        });
    if (callbacks_.frame) {
        player_->setFrameCallback(callbacks_.frame);
    }
    PlayerFeeder::Callbacks feederCallbacks;
    feederCallbacks.playStateChanged = [this](bool playing) {
        {
            std::lock_guard<std::mutex> hold(stateLock_);
            playing_ = playing;
        }
        if (callbacks_.playStateChanged) {
            callbacks_.playStateChanged(playing);
        }
    };
    feederCallbacks.endOfSession = [this](double lastQueued) { reachedEnd(lastQueued); };
    feeder_ = std::make_unique<PlayerFeeder>(*player_, *correlator_, channels_,
                                             std::move(feederCallbacks));
    feeder_->start();
}

PlaybackEngine::~PlaybackEngine() {
    stopRefresh();
    // The hooks capture this engine: detach them before anything they reach goes away.
    player_->setPositionCallback({});
    player_->setFrameCallback({});
    feeder_->quit();
    player_->pause();
    feeder_.reset();
    decoder_.reset();
    player_.reset();
}

bool PlaybackEngine::openSession(const std::string& recordingsPath,
                                 const std::string& databasesPath, const std::string& locationName,
                                 int year, int month, int day) {
    closeSession();
    session_ =
        std::make_unique<KorvalisSession>(recordingsPath, locationName, static_cast<uint32_t>(year),
                                          static_cast<uint32_t>(month), static_cast<uint32_t>(day));
    session_->enumerateMediaFiles();
    std::unique_ptr<AudioDecoderGroup> group;
    std::unique_ptr<VideoDecoder> video;
    session_->createAudioDecoderGroupForSession(group, kChunkDurationSeconds);
    session_->createVideDecoderForSession(video);
    for (const std::string& skipped : session_->takeSkippedFiles()) {
        if (callbacks_.fileSkipped) {
            callbacks_.fileSkipped(skipped);
        }
    }
    channels_.reset();
    channels_.setChannelCount(group->numberOfDecodersIs());
    decoder_ = std::make_unique<InterleavedAudioVideoDecoder>(std::move(group), std::move(video),
                                                              kAutoSeekToleranceSeconds);
    if (!databasesPath.empty()) {
        record_ = std::make_unique<JexSession>(locationName, year, month, day);
        record_->load(databasesPath);
    }
    feeder_->setDecoder(decoder_.get());
    double start = 0.0, end = 0.0;
    std::lock_guard<std::mutex> hold(stateLock_);
    position_ = PlayerFeeder::sessionRangeOf(*decoder_, start, end) ? start : -1.0;
    reportedThrough_ = -1.0;
    endReached_ = false;
    finished_ = false;
    lastQueuedStartTime_ = -1.0;
    return true;
}

void PlaybackEngine::closeSession() {
    stopRefresh();
    feeder_->setDecoder(nullptr);
    decoder_.reset();
    session_.reset();
    record_.reset();
    std::lock_guard<std::mutex> hold(stateLock_);
    position_ = -1.0;
    playing_ = false;
}

bool PlaybackEngine::hasSession() const {
    return decoder_ != nullptr;
}

bool PlaybackEngine::sessionRangeIs(double& start, double& end) const {
    return decoder_ != nullptr && PlayerFeeder::sessionRangeOf(*decoder_, start, end);
}

unsigned PlaybackEngine::channelCountIs() const {
    return decoder_ != nullptr ? decoder_->audioDecoderGroupIs()->numberOfDecodersIs() : 0;
}

std::vector<std::vector<TimeRange>> PlaybackEngine::timeRangesIs() const {
    std::vector<std::vector<TimeRange>> ranges;
    if (decoder_ == nullptr) {
        return ranges;
    }
    AudioDecoderGroup& group = *decoder_->audioDecoderGroupIs();
    ranges.resize(group.numberOfDecodersIs());
    for (unsigned channel = 0; channel < ranges.size(); ++channel) {
        group.listTimeRangesForChannel(channel, ranges[channel]);
    }
    return ranges;
}

bool PlaybackEngine::hasVideoIs() const {
    return decoder_ != nullptr && decoder_->videoDecoderIs() != nullptr &&
           decoder_->videoDecoderIs()->numberOfFilesIs() > 0;
}

JexSession* PlaybackEngine::recordIs() const {
    return record_.get();
}

void PlaybackEngine::playFrom(double epochTime) {
    {
        std::lock_guard<std::mutex> hold(stateLock_);
        double start = 0.0, end = 0.0;
        if (decoder_ != nullptr && PlayerFeeder::sessionRangeOf(*decoder_, start, end)) {
            epochTime = std::clamp(epochTime, start, end);
        }
        position_ = epochTime;
        reportedThrough_ = -1.0;
        endReached_ = false;
        finished_ = false;
    }
    feeder_->postPlayFrom(epochTime);
}

void PlaybackEngine::seekTo(double epochTime) {
    {
        std::lock_guard<std::mutex> hold(stateLock_);
        position_ = epochTime;
        reportedThrough_ = -1.0;
        endReached_ = false;
        finished_ = false;
    }
    feeder_->postSeekTo(epochTime);
}

void PlaybackEngine::play() {
    // A seek to the position heard, so that nothing queued before a stop is skipped or heard
    // twice, then resume.
    playFrom(positionIs());
    feeder_->postResume();
}

void PlaybackEngine::stop() {
    feeder_->postStop();
}

void PlaybackEngine::togglePlay() {
    if (isPlaying()) {
        stop();
    } else {
        play();
    }
}

void PlaybackEngine::rewind(double seconds) {
    const double target = positionIs() - seconds;
    if (isPlaying()) {
        playFrom(target);
    } else {
        double start = 0.0, end = 0.0;
        seekTo(sessionRangeIs(start, end) ? std::clamp(target, start, end) : target);
    }
}

void PlaybackEngine::advance(double seconds) {
    rewind(-seconds);
}

void PlaybackEngine::setEndTime(double epochTime) {
    feeder_->setEndTime(epochTime);
}

void PlaybackEngine::setSpeed(const PlaybackSpeed& speed) {
    {
        std::lock_guard<std::mutex> hold(stateLock_);
        speed_ = speed;
    }
    player_->setSpeed(speed.percentIs());
    if (isPlaying()) {
        playFrom(positionIs());
    } else {
        player_->requestFlush();
        player_->clearTempoProcessor();
    }
}

PlaybackSpeed PlaybackEngine::speedIs() const {
    std::lock_guard<std::mutex> hold(stateLock_);
    return speed_;
}

bool PlaybackEngine::isPlaying() const {
    return feeder_->isPlaying();
}

bool PlaybackEngine::hasFinished() const {
    std::lock_guard<std::mutex> hold(stateLock_);
    return finished_;
}

double PlaybackEngine::positionIs() const {
    std::lock_guard<std::mutex> hold(stateLock_);
    return position_;
}

float PlaybackEngine::channelLevelIs(unsigned channel) const {
    return player_->powerLevelForChannelIs(channel);
}

void PlaybackEngine::heard(double startTime, double durationSeconds, float level) {
    {
        std::lock_guard<std::mutex> hold(stateLock_);
        position_ = startTime;
    }
    if (callbacks_.position) {
        callbacks_.position(startTime, durationSeconds, level);
    }
    bool nowFinished = false;
    {
        std::lock_guard<std::mutex> hold(stateLock_);
        reportedThrough_ = startTime;
        if (endReached_ && !finished_ && startTime >= lastQueuedStartTime_) {
            finished_ = nowFinished = true;
        }
    }
    if (nowFinished && callbacks_.finished) {
        callbacks_.finished();
    }
}

void PlaybackEngine::reachedEnd(double lastQueuedStartTime) {
    bool nowFinished = false;
    {
        std::lock_guard<std::mutex> hold(stateLock_);
        endReached_ = true;
        lastQueuedStartTime_ = lastQueuedStartTime;
        // Everything may have been heard and reported already (a device that completes at once).
        if (!finished_ && (lastQueuedStartTime < 0.0 || reportedThrough_ >= lastQueuedStartTime)) {
            finished_ = nowFinished = true;
        }
    }
    if (nowFinished && callbacks_.finished) {
        callbacks_.finished();
    }
}

bool PlaybackEngine::setAutoRefresh(bool on) {
    if (!on) {
        stopRefresh();
        return true;
    }
    if (session_ == nullptr || decoder_ == nullptr) {
        return false;
    }
    if (refresher_ == nullptr) {
        SessionRefreshThread::Callbacks callbacks;
        callbacks.rangesChanged = callbacks_.rangesChanged;
        callbacks.annotationsChanged = callbacks_.annotationsChanged;
        callbacks.fileSkipped = callbacks_.fileSkipped;
        callbacks.channelCountIs = [this](unsigned channels) {
            channels_.setChannelCount(channels);
        };
        refresher_ = std::make_unique<SessionRefreshThread>(
            *session_, *decoder_->audioDecoderGroupIs(), decoder_->videoDecoderIs(), record_.get(),
            std::move(callbacks));
    }
    refresher_->start();
    return true;
}

bool PlaybackEngine::autoRefreshIs() const {
    return refresher_ != nullptr && refresher_->isRunning();
}

void PlaybackEngine::stopRefresh() {
    if (refresher_ != nullptr) {
        refresher_->stop();
        refresher_.reset();
    }
}
