#include "AudioOutputDeviceFactory.h"

#include "AudioOutputDeviceWithFallback.h"
#include "NullAudioOutputDevice.h"
#include "PortAudioOutputDevice.h"
#include "WavAudioOutputDevice.h"

namespace {
constexpr const char* kWavPrefix = "wav:";
constexpr const char* kAccepted = "portaudio, null, null:fast or wav:PATH";
}  // namespace

bool AudioOutputDeviceFactory::parse(const std::string& text, Choice& choice,
                                     std::string& errorText) {
    Choice parsed;
    if (text == "portaudio") {
        parsed.kind = Kind::PortAudio;
    } else if (text == "null") {
        parsed.kind = Kind::Null;
    } else if (text == "null:fast") {
        parsed.kind = Kind::NullFast;
    } else if (text.rfind(kWavPrefix, 0) == 0) {
        parsed.kind = Kind::Wav;
        parsed.wavPath = text.substr(std::char_traits<char>::length(kWavPrefix));
        if (parsed.wavPath.empty()) {
            errorText =
                "The audio output \"wav:\" needs the path of the file to write, as in "
                "wav:session.wav.";
            return false;
        }
    } else {
        errorText = "Unknown audio output \"" + text + "\": use " + kAccepted + ".";
        return false;
    }
    choice = parsed;
    return true;
}

std::unique_ptr<AudioOutputDevice> AudioOutputDeviceFactory::create(const Choice& choice,
                                                                    const std::string& deviceName) {
    switch (choice.kind) {
        case Kind::Null:
            return std::make_unique<NullAudioOutputDevice>(NullAudioOutputDevice::Pace::RealTime);
        case Kind::NullFast:
            return std::make_unique<NullAudioOutputDevice>(NullAudioOutputDevice::Pace::Immediate);
        case Kind::Wav:
            return std::make_unique<WavAudioOutputDevice>(choice.wavPath);
        case Kind::PortAudio:
            break;
    }
    return std::make_unique<AudioOutputDeviceWithFallback>(
        std::make_unique<PortAudioOutputDevice>(deviceName));
}

std::unique_ptr<AudioOutputDevice> AudioOutputDeviceFactory::create(const std::string& text,
                                                                    const std::string& deviceName,
                                                                    std::string& errorText) {
    Choice choice;
    if (!parse(text, choice, errorText)) {
        return nullptr;
    }
    return create(choice, deviceName);
}

bool AudioOutputDeviceFactory::listOutputDevices(std::vector<OutputDeviceInfo>& devices,
                                                 std::string& errorText) {
    return PortAudioOutputDevice::listOutputDevices(devices, errorText);
}
