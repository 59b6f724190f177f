#include "PortAudioOutputDevice.h"

#include <portaudio.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>
#include <utility>

#include "AvDebugLogger.h"

#if KORVALIS_HAVE_ALSA
#include <alsa/asoundlib.h>
#endif
#if KORVALIS_HAVE_JACK
#include <jack/jack.h>
#endif

namespace {

using Clock = AudioOutputDeviceNoticeQueue::Clock;

#if KORVALIS_HAVE_ALSA
// The sound library reports every configuration it probes and fails on to the standard error
// stream; the user learns what matters from our own message instead.
void quietAlsaErrors(const char*, int, const char*, int, const char*, ...) {}
#endif
#if KORVALIS_HAVE_JACK
// The sound server's client library complains the same way when no server runs; what it says
// goes to the log instead.
void logJackMessage(const char* message) {
    AvDebugLogger::instance().log(AvDebugLogger::kCoarseTrace, "JACK: %s", message);
}
#endif

// PortAudio is started once for all its users and stopped when the last one is done.
std::mutex& libraryMutex() {
    static std::mutex mutex;
    return mutex;
}
int libraryUsers = 0;

bool startLibrary(std::string& errorText) {
    std::lock_guard<std::mutex> lock(libraryMutex());
    if (libraryUsers == 0) {
#if KORVALIS_HAVE_ALSA
        snd_lib_error_set_handler(&quietAlsaErrors);
#endif
#if KORVALIS_HAVE_JACK
        jack_set_error_function(&logJackMessage);
        jack_set_info_function(&logJackMessage);
#endif
        const PaError error = Pa_Initialize();
        if (error != paNoError) {
            errorText =
                std::string("The sound system cannot be started: ") + Pa_GetErrorText(error) + ".";
            return false;
        }
    }
    ++libraryUsers;
    return true;
}

void stopLibrary() {
    std::lock_guard<std::mutex> lock(libraryMutex());
    if (libraryUsers > 0 && --libraryUsers == 0) {
        Pa_Terminate();
    }
}

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The output device called `name` (exactly, or else the only one containing it, ignoring case);
// paNoDevice with `errorText` when there is none or several.
PaDeviceIndex findOutputDevice(const std::string& name, std::string& errorText) {
    if (name.empty()) {
        const PaDeviceIndex index = Pa_GetDefaultOutputDevice();
        if (index == paNoDevice) {
            errorText = "No sound device was found.";
        }
        return index;
    }
    const PaDeviceIndex count = Pa_GetDeviceCount();
    PaDeviceIndex containing = paNoDevice;
    int containingCount = 0;
    for (PaDeviceIndex index = 0; index < count; ++index) {
        const PaDeviceInfo* info = Pa_GetDeviceInfo(index);
        if (info == nullptr || info->maxOutputChannels < 1 || info->name == nullptr) {
            continue;
        }
        if (name == info->name) {
            return index;
        }
        if (lowerCase(info->name).find(lowerCase(name)) != std::string::npos) {
            containing = index;
            ++containingCount;
        }
    }
    if (containingCount == 1) {
        return containing;
    }
    errorText = containingCount == 0
                    ? "There is no sound device called \"" + name + "\"."
                    : "Several sound devices are called \"" + name + "\"; give the whole name.";
    return paNoDevice;
}

}  // namespace

PortAudioOutputDevice::PortAudioOutputDevice(std::string deviceName)
    : requestedName_(std::move(deviceName)) {}

PortAudioOutputDevice::~PortAudioOutputDevice() {
    close();
}

void PortAudioOutputDevice::setCompletionCallback(CompletionCallback callback) {
    std::lock_guard<std::mutex> lock(mutex_);
    callback_ = std::move(callback);
}

bool PortAudioOutputDevice::open(uint32_t sampleRate, uint16_t channelCount,
                                 uint16_t bitsPerSample) {
    std::lock_guard<std::mutex> control(controlMutex_);
    std::string error;
    if (stream_ != nullptr) {
        error = "The audio output is already open.";
    } else if (sampleRate == 0 || channelCount != 1 || bitsPerSample != 16) {
        error = "Only 16-bit mono audio at a sample rate above 0 can be played.";
    } else if (startLibrary(error)) {
        initialised_ = true;
        const PaDeviceIndex device = findOutputDevice(requestedName_, error);
        const PaDeviceInfo* info = device == paNoDevice ? nullptr : Pa_GetDeviceInfo(device);
        if (info != nullptr) {
            PaStreamParameters parameters;
            std::memset(&parameters, 0, sizeof parameters);
            parameters.device = device;
            parameters.channelCount = 1;
            parameters.sampleFormat = paInt16;
            parameters.suggestedLatency = info->defaultHighOutputLatency;
            PaStream* stream = nullptr;
            PaError result =
                Pa_OpenStream(&stream, nullptr, &parameters, sampleRate,
                              paFramesPerBufferUnspecified, paNoFlag, &streamCallback, this);
            if (result == paNoError) {
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    stream_ = stream;
                    sampleRate_ = sampleRate;
                    const PaStreamInfo* streamInfo = Pa_GetStreamInfo(stream);
                    latencySeconds_ = streamInfo != nullptr ? streamInfo->outputLatency : 0.0;
                    deviceName_ = info->name != nullptr ? info->name : "sound device";
                    queue_.clear();
                    consumedSamples_ = 0;
                    heardReported_ = 0;
                    consumedHeardAt_ = Clock::now();
                    errorText_.clear();
                    notices_.start(callback_);
                }
                result = Pa_StartStream(stream);
                if (result == paNoError) {
                    AvDebugLogger::instance().log(AvDebugLogger::kInfo,
                                                  "PortAudioOutputDevice::open(): %s at %u Hz",
                                                  deviceName_.c_str(), sampleRate);
                    return true;
                }
                error = std::string("The sound device cannot be started: ") +
                        Pa_GetErrorText(result) + ".";
                closeLocked();
            } else {
                error = std::string("The sound device \"") + info->name +
                        "\" cannot be opened: " + Pa_GetErrorText(result) + ".";
            }
        }
        if (stream_ == nullptr && initialised_) {
            stopLibrary();
            initialised_ = false;
        }
    }
    std::lock_guard<std::mutex> lock(mutex_);
    errorText_ = error;
    return false;
}

bool PortAudioOutputDevice::isOpen() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return stream_ != nullptr;
}

bool PortAudioOutputDevice::write(BufferId bufferId, const void* samples, size_t byteCount) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stream_ == nullptr || byteCount % 2 != 0 || (byteCount > 0 && samples == nullptr)) {
        return false;
    }
    QueuedBuffer buffer;
    buffer.bufferId = bufferId;
    buffer.samples.resize(byteCount / 2);
    if (byteCount > 0) {
        std::memcpy(buffer.samples.data(), samples, byteCount);
    }
    queue_.push_back(std::move(buffer));
    return true;
}

int PortAudioOutputDevice::streamCallback(const void*, void* output, unsigned long frameCount,
                                          const PaStreamCallbackTimeInfo* timeInfo, unsigned long,
                                          void* self) {
    auto* device = static_cast<PortAudioOutputDevice*>(self);
    double untilHeard = -1.0;
    if (timeInfo != nullptr && timeInfo->outputBufferDacTime > 0.0) {
        untilHeard = timeInfo->outputBufferDacTime - timeInfo->currentTime;
    }
    return device->fill(static_cast<int16_t*>(output), frameCount, untilHeard);
}

int PortAudioOutputDevice::fill(int16_t* output, unsigned long frameCount,
                                double secondsUntilHeard) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (secondsUntilHeard < 0.0 || secondsUntilHeard >= 2.0) {
        // The host reports no usable times: the stream's latency stands in for them.
        secondsUntilHeard = latencySeconds_;
    }
    const Clock::time_point start =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(
                           std::chrono::duration<double>(secondsUntilHeard));
    size_t filled = 0;
    while (filled < frameCount && !queue_.empty()) {
        QueuedBuffer& front = queue_.front();
        const size_t take = std::min(frameCount - filled, front.samples.size() - front.consumed);
        if (take > 0) {
            std::memcpy(output + filled, front.samples.data() + front.consumed, take * 2);
        }
        front.consumed += take;
        filled += take;
        consumedSamples_ += take;
        if (front.consumed == front.samples.size()) {
            const Clock::time_point heardAt =
                start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(
                            static_cast<double>(filled) / sampleRate_));
            consumedHeardAt_ = heardAt;
            notices_.add(front.bufferId, heardAt);
            queue_.pop_front();
        } else {
            consumedHeardAt_ =
                start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(
                            static_cast<double>(filled) / sampleRate_));
        }
    }
    if (filled < frameCount) {
        std::memset(output + filled, 0, (frameCount - filled) * 2);
    }
    return paContinue;
}

uint64_t PortAudioOutputDevice::heardSamplesLocked() const {
    const double secondsAhead =
        std::chrono::duration<double>(consumedHeardAt_ - Clock::now()).count();
    uint64_t heard = consumedSamples_;
    if (secondsAhead > 0.0) {
        const auto notYet = static_cast<uint64_t>(secondsAhead * sampleRate_);
        heard = notYet >= heard ? 0 : heard - notYet;
    }
    heardReported_ = std::max(heardReported_, heard);
    return heardReported_;
}

void PortAudioOutputDevice::reset() {
    std::lock_guard<std::mutex> control(controlMutex_);
    if (stream_ == nullptr) {
        return;
    }
    // Aborting waits for the audio thread, which takes mutex_: it must not be held here.
    Pa_AbortStream(static_cast<PaStream*>(stream_));
    {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<BufferId> unheard;
        for (const QueuedBuffer& buffer : queue_) {
            unheard.push_back(buffer.bufferId);
        }
        queue_.clear();
        consumedSamples_ = heardSamplesLocked();
        consumedHeardAt_ = Clock::now();
        notices_.answerAllNow(unheard);
    }
    const PaError result = Pa_StartStream(static_cast<PaStream*>(stream_));
    if (result != paNoError) {
        AvDebugLogger::instance().log(AvDebugLogger::kWarning,
                                      "PortAudioOutputDevice::reset(): restart failed: %s",
                                      Pa_GetErrorText(result));
    }
}

void PortAudioOutputDevice::close() {
    std::lock_guard<std::mutex> control(controlMutex_);
    closeLocked();
}

void PortAudioOutputDevice::closeLocked() {
    if (stream_ != nullptr) {
        Pa_AbortStream(static_cast<PaStream*>(stream_));
        Pa_CloseStream(static_cast<PaStream*>(stream_));
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<BufferId> unheard;
        for (const QueuedBuffer& buffer : queue_) {
            unheard.push_back(buffer.bufferId);
        }
        queue_.clear();
        consumedSamples_ = heardSamplesLocked();
        consumedHeardAt_ = Clock::now();
        notices_.answerAllNow(unheard);
        notices_.stop();
        stream_ = nullptr;
    }
    if (initialised_) {
        stopLibrary();
        initialised_ = false;
    }
}

uint64_t PortAudioOutputDevice::playedSampleCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return heardSamplesLocked();
}

double PortAudioOutputDevice::outputLatencySeconds() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return latencySeconds_;
}

std::string PortAudioOutputDevice::name() const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!deviceName_.empty()) {
        return "portaudio: " + deviceName_;
    }
    return requestedName_.empty() ? "portaudio" : "portaudio: " + requestedName_;
}

std::string PortAudioOutputDevice::errorText() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return errorText_;
}

bool PortAudioOutputDevice::listOutputDevices(
    std::vector<AudioOutputDeviceFactory::OutputDeviceInfo>& devices, std::string& errorText) {
    devices.clear();
    if (!startLibrary(errorText)) {
        return false;
    }
    const PaDeviceIndex defaultDevice = Pa_GetDefaultOutputDevice();
    const PaDeviceIndex count = Pa_GetDeviceCount();
    for (PaDeviceIndex index = 0; index < count; ++index) {
        const PaDeviceInfo* info = Pa_GetDeviceInfo(index);
        if (info == nullptr || info->maxOutputChannels < 1) {
            continue;
        }
        AudioOutputDeviceFactory::OutputDeviceInfo device;
        device.name = info->name != nullptr ? info->name : "";
        device.maximumOutputChannels = info->maxOutputChannels;
        device.defaultSampleRate = info->defaultSampleRate;
        device.isDefault = index == defaultDevice;
        devices.push_back(std::move(device));
    }
    stopLibrary();
    return true;
}
