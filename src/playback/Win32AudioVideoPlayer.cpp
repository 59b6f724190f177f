#include "Win32AudioVideoPlayer.h"

#include <SoundTouch.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "AudioOutputDevice.h"
#include "AvDebugLogger.h"
#include "DecodedAudioChunk.h"
#include "PointerChecks.h"
#include "RgbImage.h"

namespace {

// Samples travel through the tempo processor as floats of full scale 1.0.
constexpr float kSampleScale = 32768.0f;

int16_t toSample(float value) {
    const float scaled = std::round(value * kSampleScale);
    return static_cast<int16_t>(std::clamp(scaled, -32768.0f, 32767.0f));
}

}  // namespace

Win32AudioVideoPlayer::Win32AudioVideoPlayer(int maximumBuffers, int historyLength, int primeCount,
                                             std::unique_ptr<AudioOutputDevice> device)
    : tempoProcessor_(std::make_unique<soundtouch::SoundTouch>()),
      maximumBuffers_(std::max(3, maximumBuffers)),
      historyLength_(std::max(1, historyLength)),
      // At least one buffer must be written when playback starts, and a start must be possible
      // with the pending queue short of full.
      primeCount_(std::clamp(primeCount, 2, std::max(3, maximumBuffers) - 1)),
      freeSlots_(maximumBuffers_, maximumBuffers_),
      device_(std::move(device)) {
    CHECK_POINTER(device_);
    device_->setCompletionCallback(
        [this](uint64_t bufferId, bool wasReset) { postDeviceCompletion(bufferId, wasReset); });
    setSpeed(0);
}

Win32AudioVideoPlayer::~Win32AudioVideoPlayer() {
    if (waveThread_.joinable()) {
        waveQueue_.post(kQuitMessage);
        waveThread_.join();
    }
    device_->close();
    device_->setCompletionCallback(nullptr);
    waveQueue_.clear();
    std::lock_guard guard(lock_);
    // Every pending buffer is in the outstanding list as well.
    for (Win32AudioBuffer* buffer : outstanding_) {
        delete buffer;
    }
    for (Win32AudioBuffer* buffer : history_) {
        delete buffer;
    }
    pending_.clear();
    outstanding_.clear();
    history_.clear();
}

bool Win32AudioVideoPlayer::start() {
    std::lock_guard guard(lock_);
    if (!waveThread_.joinable()) {
        waveThread_ = std::thread([this] { waveThreadMain(); });
    }
    return waveThread_.joinable();
}

void Win32AudioVideoPlayer::setSpeed(int percent) {
    std::lock_guard guard(lock_);
    int speed = std::clamp(percent, kSlowestSpeedPercent, kFastestSpeedPercent);
    if (speed == -10) {
        speed = -20;
    }
    speed_ = speed;
    configureTempoProcessor();
}

int Win32AudioVideoPlayer::speedIs() const {
    std::lock_guard guard(lock_);
    return speed_;
}

void Win32AudioVideoPlayer::clearTempoProcessor() {
    std::lock_guard guard(lock_);
    tempoProcessor_->clear();
}

void Win32AudioVideoPlayer::configureTempoProcessor() {
    tempoProcessor_->setSampleRate(sampleRate_);
    tempoProcessor_->setChannels(1);
    tempoProcessor_->setTempoChange(static_cast<double>(speed_));
    tempoProcessor_->setPitchSemiTones(0);
    tempoProcessor_->setRateChange(0.0);
    tempoProcessor_->setSetting(SETTING_USE_QUICKSEEK, 1);
    tempoProcessor_->setSetting(SETTING_USE_AA_FILTER, 0);
    tempoProcessor_->setSetting(SETTING_SEQUENCE_MS, 40);
    tempoProcessor_->setSetting(SETTING_SEEKWINDOW_MS, 15);
    tempoProcessor_->setSetting(SETTING_OVERLAP_MS, 8);
}

bool Win32AudioVideoPlayer::queueChunk(AudioChunkWithCorrelatedVideoFrame* item, bool wait) {
    if (item == nullptr) {
        return false;
    }
    bool slotTaken = true;
    if (wait) {
        freeSlots_.wait();
    } else {
        slotTaken = freeSlots_.tryWait();
    }
    std::lock_guard guard(lock_);
    auto giveBackSlot = [&] {
        if (slotTaken) {
            freeSlots_.release();
        }
    };
    if (holdsItem(item)) {
        giveBackSlot();
        return true;
    }
    std::unique_ptr<AudioChunkWithCorrelatedVideoFrame> owned(item);
    MixedDecodedAudioChunk* chunk = owned->audioChunkIs();
    if (chunk == nullptr || chunk->bufferIs() == nullptr) {
        AvDebugLogger::instance().log(AvDebugLogger::kWarning,
                                      "Win32AudioVideoPlayer::queueChunk(): An item without audio "
                                      "was refused.");
        giveBackSlot();
        return false;
    }
    if (static_cast<int>(pending_.size()) >= maximumBuffers_) {
        giveBackSlot();
        return false;
    }
    if (!device_->isOpen()) {
        openWaveDevice(chunk);
    }
    // The level is taken from the audio as decoded, before any time-stretching replaces it.
    chunk->powerLevelIs(true);
    auto* buffer = new Win32AudioBuffer(std::move(owned), device_.get(), nextBufferId_++);
    if (speed_ != 0) {
        stretchBuffer(*buffer);
    }
    pending_.push_back(buffer);
    outstanding_.push_back(buffer);
    if (priming_ && startRetryScheduled_ && static_cast<int>(pending_.size()) >= primeCount_ + 1) {
        // A start is waiting for buffers: it need not wait for its next try.
        startRetryScheduled_ = false;
        waveQueue_.post(kStartMessage, pauseGeneration_);
    }
    return true;
}

bool Win32AudioVideoPlayer::holdsItem(const AudioChunkWithCorrelatedVideoFrame* item) const {
    auto holds = [item](const BufferList& list) {
        return std::any_of(list.begin(), list.end(), [item](const Win32AudioBuffer* buffer) {
            return buffer->itemIs() == item;
        });
    };
    // The pending queue is part of the outstanding list.
    return holds(outstanding_) || holds(history_);
}

void Win32AudioVideoPlayer::stretchBuffer(Win32AudioBuffer& buffer) {
    MixedDecodedAudioChunk* chunk = buffer.audioChunkIs();
    CHECK_POINTER(chunk);
    const uint32_t inputSamples = chunk->bufferSizeIs() / 2;
    // Slower playback yields more samples than it takes: up to |speed / 10| times as many, and
    // never less than the tempo needs, so that nothing piles up in the processor.
    uint32_t factor = 1;
    if (speed_ < 0) {
        const auto needed = static_cast<uint32_t>(100 / (100 + speed_)) + 1;
        factor = std::max(static_cast<uint32_t>(std::abs(speed_ / 10)), needed);
    }

    std::vector<float> samples(inputSamples);
    const uint8_t* bytes = chunk->bufferIs();
    for (uint32_t i = 0; i < inputSamples; ++i) {
        int16_t sample;
        std::memcpy(&sample, bytes + 2 * static_cast<size_t>(i), sizeof sample);
        samples[i] = static_cast<float>(sample) / kSampleScale;
    }
    tempoProcessor_->putSamples(samples.data(), inputSamples);

    std::vector<float> stretched(static_cast<size_t>(inputSamples) * factor);
    const uint32_t received =
        tempoProcessor_->receiveSamples(stretched.data(), static_cast<uint32_t>(stretched.size()));
    std::vector<int16_t> output(received);
    for (uint32_t i = 0; i < received; ++i) {
        output[i] = toSample(stretched[i]);
    }

    const uint32_t byteCount = received * 2;
    chunk->allocateBuffer(true, std::max(kStretchedBufferBytes, byteCount));
    chunk->appendBytes(reinterpret_cast<const uint8_t*>(output.data()), byteCount);
    chunk->advanceValidLength(byteCount);
    buffer.setData(chunk->bufferIs(), byteCount);
}

bool Win32AudioVideoPlayer::openWaveDevice(DecodedAudioChunk* chunk) {
    AvDebugLogger::instance().log(AvDebugLogger::kInfo,
                                  "Win32AudioVideoPlayer::openWaveDevice(): Entered ...");
    CHECK_POINTER(chunk);
    std::lock_guard guard(lock_);
    if (device_->isOpen()) {
        return true;
    }
    const uint32_t sampleRate = chunk->sampleRateIs();
    if (!device_->open(sampleRate, 1, 16)) {
        if (!deviceOpenFailureLogged_) {
            deviceOpenFailureLogged_ = true;
            AvDebugLogger::instance().log(
                AvDebugLogger::kWarning,
                "Win32AudioVideoPlayer::openWaveDevice(): The audio device \"%s\" could not be "
                "opened: %s",
                device_->name().c_str(), device_->errorText().c_str());
        }
        return false;
    }
    if (sampleRate != sampleRate_ && sampleRate != 0) {
        sampleRate_ = sampleRate;
        configureTempoProcessor();
    }
    return true;
}

bool Win32AudioVideoPlayer::play() {
    std::lock_guard guard(lock_);
    waveQueue_.post(kStartMessage, pauseGeneration_);
    return true;
}

void Win32AudioVideoPlayer::pause() {
    std::lock_guard guard(lock_);
    priming_ = true;
    draining_ = false;
    startRetryScheduled_ = false;
    ++pauseGeneration_;
}

bool Win32AudioVideoPlayer::drain() {
    std::lock_guard guard(lock_);
    draining_ = true;
    waveQueue_.post(kStartMessage, pauseGeneration_);
    return true;
}

bool Win32AudioVideoPlayer::requestFlush() {
    const int before = flushCount_.load();
    waveQueue_.post(kFlushMessage);
    std::unique_lock waitLock(flushWaitLock_);
    return flushDone_.wait_for(waitLock, kFlushWaitLimit,
                               [&] { return flushCount_.load() != before; });
}

void Win32AudioVideoPlayer::postDeviceCompletion(uint64_t bufferId, bool wasReset) {
    waveQueue_.post(kBufferDoneMessage, bufferId, wasReset ? 1 : 0);
}

void Win32AudioVideoPlayer::waveThreadMain() {
    for (;;) {
        ThreadMessage message;
        bool retryScheduled = false;
        std::chrono::steady_clock::time_point retryTime;
        {
            std::lock_guard guard(lock_);
            retryScheduled = startRetryScheduled_;
            retryTime = startRetryTime_;
        }
        if (retryScheduled) {
            const auto now = std::chrono::steady_clock::now();
            const auto timeout = retryTime > now
                                     ? std::chrono::ceil<std::chrono::milliseconds>(retryTime - now)
                                     : std::chrono::milliseconds::zero();
            if (!waveQueue_.getFor(message, timeout)) {
                std::lock_guard guard(lock_);
                if (startRetryScheduled_ && std::chrono::steady_clock::now() >= startRetryTime_) {
                    startRetryScheduled_ = false;
                    startPlaying(pauseGeneration_);
                }
                continue;
            }
        } else {
            waveQueue_.get(message);
        }
        switch (message.message) {
            case kBufferDoneMessage:
                bufferDone(message.wParam, message.lParam != 0);
                break;
            case kStartMessage:
                startPlaying(message.wParam);
                break;
            case kFlushMessage:
                flush();
                break;
            case kQuitMessage:
                return;
            default:
                break;
        }
    }
}

void Win32AudioVideoPlayer::writeOneBuffer() {
    Win32AudioBuffer* buffer = pending_.front();
    pending_.pop_front();
    samplesWritten_ += buffer->sampleCountIs();
    if (!buffer->write()) {
        // The device refused it: it is answered here, unheard, so that it leaves the lists.
        postDeviceCompletion(buffer->bufferIdIs(), true);
    }
}

void Win32AudioVideoPlayer::bufferDone(uint64_t bufferId, bool wasReset) {
    std::lock_guard guard(lock_);
    freeSlots_.release();

    if (!priming_) {
        if (pending_.empty()) {
            ++owedWrites_;
        } else {
            // Make up for the completions that found nothing to write; what cannot be written
            // now stays owed.
            const unsigned wanted = owedWrites_ + 1;
            unsigned written = 0;
            while (written < wanted && !pending_.empty()) {
                writeOneBuffer();
                ++written;
            }
            owedWrites_ = wanted - written;
        }
    }

    const size_t outstandingCount = outstanding_.size();
    if (outstandingCount > 0) {
        // Buffers finish in the order they were written, so this is normally the front.
        auto finished = outstanding_.begin();
        if ((*finished)->bufferIdIs() != bufferId) {
            finished = std::find_if(outstanding_.begin(), outstanding_.end(),
                                    [bufferId](const Win32AudioBuffer* buffer) {
                                        return buffer->bufferIdIs() == bufferId;
                                    });
        }
        if (finished != outstanding_.end() &&
            std::find(pending_.begin(), pending_.end(), *finished) == pending_.end()) {
            Win32AudioBuffer* buffer = *finished;
            outstanding_.erase(finished);
            if (wasReset) {
                // Stopped before it was heard: nothing to report.
                delete buffer;
            } else {
                history_.push_back(buffer);
                MixedDecodedAudioChunk* chunk = buffer->audioChunkIs();
                CHECK_POINTER(chunk);
                callPositionCallback(chunk->startTimeIs(), static_cast<double>(chunk->durationIs()),
                                     chunk->powerLevelIs(true), chunk->transactionIdIs());
                if (buffer->hasVideoFrameIs()) {
                    keepLatestFrame(*buffer);
                    callFrameCallback();
                }
            }
            if (outstandingCount == 1 && !priming_) {
                // The device has run dry.
                priming_ = true;
                if (!draining_) {
                    ++restartCount_;
                    waveQueue_.post(kStartMessage, pauseGeneration_);
                }
            }
        }
    }

    while (static_cast<int>(history_.size()) > historyLength_) {
        delete history_.front();
        history_.pop_front();
    }
}

void Win32AudioVideoPlayer::startPlaying(uint64_t pauseGeneration) {
    std::lock_guard guard(lock_);
    if (pauseGeneration != pauseGeneration_ || !priming_) {
        return;
    }
    startRetryScheduled_ = false;
    const int pendingCount = static_cast<int>(pending_.size());
    if (pendingCount < primeCount_ + 1 && !(draining_ && pendingCount > 0)) {
        if (draining_) {
            // Everything has been played.
            return;
        }
        callBufferingCallback();
        startRetryScheduled_ = true;
        startRetryTime_ = std::chrono::steady_clock::now() + kStartRetryInterval;
        return;
    }
    owedWrites_ = 0;
    const int toWrite = std::min(primeCount_ - 1, pendingCount);
    for (int i = 0; i < toWrite; ++i) {
        writeOneBuffer();
    }
    priming_ = false;
}

void Win32AudioVideoPlayer::flush() {
    // The device answers every buffer written to it; the answers arrive as buffer-done messages
    // after this one and take those buffers out of the outstanding list.
    device_->reset();
    {
        std::lock_guard guard(lock_);
        // A slot is taken by every queued buffer and given back when the device answers it.
        // Those never written give theirs back here; those written do so with their answers,
        // which are still to come. Giving back more would let the queue overfill and refuse items.
        while (!pending_.empty()) {
            Win32AudioBuffer* buffer = pending_.back();
            pending_.pop_back();
            if (!outstanding_.empty() && outstanding_.back() == buffer) {
                outstanding_.pop_back();
            } else {
                outstanding_.erase(std::remove(outstanding_.begin(), outstanding_.end(), buffer),
                                   outstanding_.end());
            }
            delete buffer;
            freeSlots_.release();
        }
        // What the tempo processor holds belongs to the audio before the flush.
        tempoProcessor_->clear();
        owedWrites_ = 0;
        draining_ = false;
        priming_ = true;
        samplesWritten_ = 0;
        flushCount_.fetch_add(1);
    }
    std::lock_guard waitGuard(flushWaitLock_);
    flushDone_.notify_all();
}

void Win32AudioVideoPlayer::keepLatestFrame(Win32AudioBuffer& buffer) {
    std::unique_ptr<VideoSegmentFrame> frame = buffer.itemIs()->takeVideoFrame();
    const auto* image = dynamic_cast<const RgbImage*>(frame->getImage());
    if (image == nullptr || image->getData() == nullptr ||
        image->getDataLength() <
            static_cast<uint64_t>(image->getWidth()) * image->getHeight() * 3) {
        // Not decoded pixels: nothing that could be drawn.
        return;
    }
    latestFrame_ = std::move(frame);
    ++latestFrameNumber_;
}

bool Win32AudioVideoPlayer::latestFrameIs(LatestVideoFrame& frame) {
    std::lock_guard guard(lock_);
    if (latestFrame_ == nullptr) {
        return false;
    }
    if (frame.sequenceNumber == latestFrameNumber_) {
        return true;
    }
    const auto* image = static_cast<const RgbImage*>(latestFrame_->getImage());
    frame.width = image->getWidth();
    frame.height = image->getHeight();
    const size_t byteCount = static_cast<size_t>(frame.width) * frame.height * 3;
    frame.pixels.assign(image->getData(), image->getData() + byteCount);
    frame.epochTime = latestFrame_->getEpochTime();
    frame.sequenceNumber = latestFrameNumber_;
    return true;
}

float Win32AudioVideoPlayer::powerLevelForChannelIs(unsigned channel) {
    std::lock_guard guard(lock_);
    if (history_.empty()) {
        return 0.0f;
    }
    MixedDecodedAudioChunk* chunk = history_.back()->audioChunkIs();
    CHECK_POINTER(chunk);
    return chunk->componentPowerLevelIs(channel);
}

int Win32AudioVideoPlayer::freeBufferSlotsIs() {
    std::lock_guard guard(lock_);
    return maximumBuffers_ - static_cast<int>(pending_.size());
}

bool Win32AudioVideoPlayer::primingIs() const {
    std::lock_guard guard(lock_);
    return priming_;
}

bool Win32AudioVideoPlayer::drainingIs() const {
    std::lock_guard guard(lock_);
    return draining_;
}

int Win32AudioVideoPlayer::restartCountIs() const {
    std::lock_guard guard(lock_);
    return restartCount_;
}

int Win32AudioVideoPlayer::flushCountIs() const {
    return flushCount_.load();
}

unsigned Win32AudioVideoPlayer::owedWritesIs() const {
    std::lock_guard guard(lock_);
    return owedWrites_;
}

uint64_t Win32AudioVideoPlayer::samplesWrittenIs() const {
    std::lock_guard guard(lock_);
    return samplesWritten_;
}

int Win32AudioVideoPlayer::pendingCountIs() const {
    std::lock_guard guard(lock_);
    return static_cast<int>(pending_.size());
}

int Win32AudioVideoPlayer::outstandingCountIs() const {
    std::lock_guard guard(lock_);
    return static_cast<int>(outstanding_.size());
}

int Win32AudioVideoPlayer::historyCountIs() const {
    std::lock_guard guard(lock_);
    return static_cast<int>(history_.size());
}

bool Win32AudioVideoPlayer::deviceIsOpen() const {
    std::lock_guard guard(lock_);
    return device_->isOpen();
}
