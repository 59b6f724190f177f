#include "PlayerFeeder.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "AudioChunkWithCorrelatedVideoFrame.h"
#include "AudioDecoderGroup.h"
#include "AudioVideoCorrelator.h"
#include "AvDebugLogger.h"
#include "ChannelGainModel.h"
#include "CompressedVideoFile.h"
#include "InterleavedAudioVideoDecoder.h"
#include "VideoDecoder.h"
#include "Win32AudioVideoPlayer.h"

namespace {
// The video follows a seek within this tolerance (a negative one makes the decoder use 1.0 s).
constexpr float kSeekTolerance = -1.0f;
// How long the thread waits for a message while not playing.
constexpr std::chrono::milliseconds kIdleWait{10};
// A session without audio skips gaps in its video longer than this.
constexpr double kSilentGapSeconds = 2.0;
}  // namespace

PlayerFeeder::PlayerFeeder(Win32AudioVideoPlayer& player, AudioVideoCorrelator& correlator,
                           const ChannelGainModel& channels, Callbacks callbacks)
    : player_(player),
      correlator_(correlator),
      channels_(channels),
      callbacks_(std::move(callbacks)) {}

PlayerFeeder::~PlayerFeeder() {
    quit();
}

bool PlayerFeeder::start() {
    if (thread_.joinable()) {
        return false;
    }
    thread_ = std::thread(&PlayerFeeder::run, this);
    return true;
}

void PlayerFeeder::quit() {
    if (!thread_.joinable()) {
        return;
    }
    messages_.post(PlaybackMessages::kFeederQuit);
    thread_.join();
}

void PlayerFeeder::setDecoder(InterleavedAudioVideoDecoder* decoder) {
    std::lock_guard<std::mutex> hold(workLock_);
    if (playing_) {
        player_.pause();
        setPlaying(false);
    }
    player_.requestFlush();
    correlator_.reset();
    decoder_ = decoder;
    chunkSets_ = kChunkSetsAfterSeek;
    priming_ = false;
    lastQueuedStartTime_ = -1.0;
    mode_ = Mode::kSeekStopped;
}

void PlayerFeeder::setEndTime(double epochTime) {
    std::lock_guard<std::mutex> hold(workLock_);
    endTime_ = epochTime;
}

void PlayerFeeder::post(uint32_t message, uint64_t wParam, int64_t lParam) {
    messages_.post(message, wParam, lParam);
}

namespace {
void splitPosition(double epochTime, uint64_t& seconds, int64_t& milliseconds) {
    const double clamped = std::max(epochTime, 0.0);
    seconds = static_cast<uint64_t>(std::floor(clamped));
    milliseconds = std::llround((clamped - std::floor(clamped)) * 1000.0);
    if (milliseconds >= 1000) {
        ++seconds;
        milliseconds = 0;
    }
}
double joinPosition(const ThreadMessage& message) {
    const int64_t milliseconds = std::clamp<int64_t>(message.lParam, 0, 999);
    return static_cast<double>(static_cast<uint32_t>(message.wParam)) + milliseconds / 1000.0;
}
}  // namespace

void PlayerFeeder::postPlayFrom(double epochTime) {
    uint64_t seconds = 0;
    int64_t milliseconds = 0;
    splitPosition(epochTime, seconds, milliseconds);
    post(PlaybackMessages::kFeederPlayFrom, seconds, milliseconds);
}

void PlayerFeeder::postSeekTo(double epochTime) {
    uint64_t seconds = 0;
    int64_t milliseconds = 0;
    splitPosition(epochTime, seconds, milliseconds);
    post(PlaybackMessages::kFeederSeekTo, seconds, milliseconds);
}

void PlayerFeeder::postStop() {
    post(PlaybackMessages::kFeederStop);
}
void PlayerFeeder::postResume() {
    post(PlaybackMessages::kFeederResume);
}

bool PlayerFeeder::isPlaying() const {
    return playing_;
}
PlayerFeeder::Mode PlayerFeeder::modeIs() const {
    return mode_;
}
unsigned PlayerFeeder::seekCountIs() const {
    return seekCount_;
}
uint64_t PlayerFeeder::mixedChunkSetCountIs() const {
    return mixedChunkSets_;
}

namespace {
bool hasAudio(InterleavedAudioVideoDecoder& decoder) {
    return decoder.audioDecoderGroupIs() != nullptr &&
           decoder.audioDecoderGroupIs()->numberOfDecodersIs() > 0;
}
}  // namespace

bool PlayerFeeder::sessionRangeOf(InterleavedAudioVideoDecoder& decoder, double& start,
                                  double& end) {
    AudioDecoderGroup* group = decoder.audioDecoderGroupIs();
    bool found = false;
    if (!hasAudio(decoder) && decoder.videoDecoderIs() != nullptr) {
        for (CompressedVideoFile* file : decoder.videoDecoderIs()->filesInDecodeListIs()) {
            start = found ? std::min(start, file->getStartTime()) : file->getStartTime();
            end = found ? std::max(end, file->getEndTime()) : file->getEndTime();
            found = true;
        }
        return found;
    }
    for (unsigned channel = 0; group != nullptr && channel < group->numberOfDecodersIs();
         ++channel) {
        std::vector<TimeRange> ranges;
        group->listTimeRangesForChannel(channel, ranges);
        for (const TimeRange& range : ranges) {
            start = found ? std::min(start, range.start) : range.start;
            end = found ? std::max(end, range.end) : range.end;
            found = true;
        }
    }
    return found;
}

void PlayerFeeder::run() {
    AvDebugLogger::instance().log(4, "PlayerFeeder::run(): Player feeder thread started.");
    ThreadMessage message;
    while (true) {
        bool quitting = false;
        while (!quitting && messages_.peek(message)) {
            quitting = !handle(message);
        }
        if (quitting) {
            break;
        }
        if (playing_) {
            std::lock_guard<std::mutex> hold(workLock_);
            if (playing_) {
                feedOnce();
            }
        } else if (messages_.getFor(message, kIdleWait) && !handle(message)) {
            break;
        }
    }
    AvDebugLogger::instance().log(4, "PlayerFeeder::run(): Player feeder thread ended.");
}

bool PlayerFeeder::handle(const ThreadMessage& message) {
    std::lock_guard<std::mutex> hold(workLock_);
    switch (message.message) {
        case PlaybackMessages::kFeederQuit:
            return false;
        case PlaybackMessages::kFeederStop:
            player_.pause();
            setPlaying(false);
            break;
        case PlaybackMessages::kFeederResume:
            if (decoder_ != nullptr) {
                mode_ = Mode::kResumed;
                player_.play();
                setPlaying(true);
            }
            break;
        case PlaybackMessages::kFeederPlayFrom:
            if (decoder_ != nullptr) {
                seek(joinPosition(message), true);
                mode_ = Mode::kPlayFrom;
                setPlaying(true);
            }
            break;
        case PlaybackMessages::kFeederSeekTo:
            if (decoder_ != nullptr) {
                // Nothing the user hears depends on items decoded while stopped (every later
                // play seeks again), so a seek that stays stopped decodes nothing.
                player_.pause();
                seek(joinPosition(message), false);
                mode_ = Mode::kSeekStopped;
                setPlaying(false);
            }
            break;
        default:
            break;
    }
    return true;
}

void PlayerFeeder::seek(double epochTime, bool clamp) {
    if (clamp) {
        double start = 0.0, end = 0.0;
        if (sessionRangeOf(*decoder_, start, end)) {
            epochTime = std::clamp(epochTime, start, end);
        }
    }
    decoder_->setPositionByWallClockTime(epochTime, kSeekTolerance, false);
    silentClock_ = epochTime;
    heldFrame_.reset();
    correlator_.reset();
    player_.requestFlush();
    chunkSets_ = kChunkSetsAfterSeek;
    priming_ = false;
    lastQueuedStartTime_ = -1.0;
    ++seekCount_;
}

void PlayerFeeder::feedOnce() {
    while (true) {
        if (priming_) {
            // The first batch after a seek is queued whole, then the player may start.
            priming_ = false;
            std::unique_ptr<AudioChunkWithCorrelatedVideoFrame> ready;
            while (correlator_.getNextCorrelatedChunk(ready, false)) {
                if (!queueOrEnd(std::move(ready))) {
                    return;
                }
            }
            if (mode_ == Mode::kPlayFrom) {
                player_.play();
            }
        }
        std::unique_ptr<AudioChunkWithCorrelatedVideoFrame> item;
        if (correlator_.getNextCorrelatedChunk(item, false)) {
            queueOrEnd(std::move(item));
            return;
        }
        if (!decodeNext()) {
            endSession();
            return;
        }
    }
}

bool PlayerFeeder::decodeNext() {
    if (!hasAudio(*decoder_)) {
        return decodeSilence();
    }
    std::vector<DecodedChunkSet> audio;
    std::vector<std::unique_ptr<VideoSegmentFrame>> frames;
    const bool produced = decoder_->getNextDecodedChunksAndFrames(chunkSets_, audio, frames, false);
    if (chunkSets_ != kChunkSetsPerStep) {
        chunkSets_ = kChunkSetsPerStep;
        priming_ = true;
    }
    // This thread also empties the correlator, so it never waits on it: a full queue drops the
    // frame instead of blocking forever.
    for (auto& frame : frames) {
        correlator_.addVideoFrameToCorrelate(std::move(frame), false);
    }
    if (!produced) {
        return false;
    }
    std::vector<float> gains;
    std::vector<bool> mutes;
    for (DecodedChunkSet& set : audio) {
        channels_.gainsAndMutesFor(static_cast<unsigned>(set.size()), gains, mutes);
        mixer_.addChunksToMix(std::move(set), &gains, &mutes);
        std::unique_ptr<MixedDecodedAudioChunk> mixed = mixer_.mixedResultIs();
        if (mixed != nullptr) {
            correlator_.addUncompressedAudioChunkToCorrelate(std::move(mixed), false);
        }
        ++mixedChunkSets_;
    }
    return true;
}

bool PlayerFeeder::decodeSilence() {
    VideoDecoder* video = decoder_->videoDecoderIs();
    if (video == nullptr) {
        return false;
    }
    const double step = static_cast<double>(kSilentChunkSamples) / kSilentSampleRate;
    const unsigned count = chunkSets_;
    if (chunkSets_ != kChunkSetsPerStep) {
        chunkSets_ = kChunkSetsPerStep;
        priming_ = true;
    }
    bool ended = false;
    bool produced = false;
    for (unsigned set = 0; set < count && !ended; ++set) {
        const double start = silentClock_;
        const double end = start + step;
        while (true) {
            std::unique_ptr<VideoSegmentFrame> frame = std::move(heldFrame_);
            if (frame == nullptr) {
                bool endOfData = false;
                frame = video->getNextFrame(&endOfData, false);
                if (frame == nullptr) {
                    ended = endOfData;
                    break;
                }
            }
            if (frame->getEpochTime() > end) {
                // A gap in the video: carry on from its next frame rather than play the gap.
                if (frame->getEpochTime() > end + kSilentGapSeconds && !produced) {
                    silentClock_ = frame->getEpochTime();
                    heldFrame_ = std::move(frame);
                    return decodeSilence();
                }
                heldFrame_ = std::move(frame);
                break;
            }
            correlator_.addVideoFrameToCorrelate(std::move(frame), false);
            produced = true;
        }
        if (ended && !produced && heldFrame_ == nullptr) {
            return false;
        }
        auto silence = std::make_unique<DecodedAudioChunk>(kSilentChunkSamples, kSilentSampleRate,
                                                           1, "PCM", start);
        silence->allocateBuffer(true);
        std::vector<int16_t> zeros(kSilentChunkSamples, 0);
        silence->appendSamples(zeros.data(), kSilentChunkSamples);
        mixer_.addChunkToMix(std::move(silence), 1.0f, false);
        std::unique_ptr<MixedDecodedAudioChunk> mixed = mixer_.mixedResultIs();
        if (mixed != nullptr) {
            correlator_.addUncompressedAudioChunkToCorrelate(std::move(mixed), false);
        }
        silentClock_ = end;
        produced = true;
        ++mixedChunkSets_;
    }
    return produced;
}

bool PlayerFeeder::queueOrEnd(std::unique_ptr<AudioChunkWithCorrelatedVideoFrame> item) {
    const double start =
        item->audioChunkIs() != nullptr ? item->audioChunkIs()->startTimeIs() : 0.0;
    if (endTime_ >= 0.0 && start >= endTime_) {
        endSession();
        return false;
    }
    lastQueuedStartTime_ = start;
    player_.queueItem(std::move(item), true);
    return true;
}

void PlayerFeeder::endSession() {
    // What is queued is still to be heard: the player writes it out, then falls silent.
    player_.drain();
    setPlaying(false);
    if (callbacks_.endOfSession) {
        callbacks_.endOfSession(lastQueuedStartTime_);
    }
}

void PlayerFeeder::setPlaying(bool playing) {
    const bool changed = playing_.exchange(playing) != playing;
    if (changed && callbacks_.playStateChanged) {
        callbacks_.playStateChanged(playing);
    }
}
