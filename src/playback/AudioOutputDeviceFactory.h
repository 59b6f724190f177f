#pragma once

#include <memory>
#include <string>
#include <vector>

#include "AudioOutputDevice.h"

// Makes audio output devices from the texts the command line and the settings use:
//   "portaudio"  the sound card through PortAudio: the default output, or the one named
//   "null"       no sound; buffers complete at the pace they would play at
//   "null:fast"  no sound; buffers complete at once (tests, rendering)
//   "wav:PATH"   writes exactly what would be heard to a 16-bit mono WAV file at PATH, completing
//                buffers at once; the file is finished by close()
class AudioOutputDeviceFactory {
public:
    enum class Kind { PortAudio, Null, NullFast, Wav };
    struct Choice {
        Kind kind = Kind::PortAudio;
        std::string wavPath;  // for Kind::Wav
    };

    // One output device PortAudio offers.
    struct OutputDeviceInfo {
        std::string name;
        int maximumOutputChannels = 0;
        double defaultSampleRate = 0.0;
        bool isDefault = false;
    };

    // Reads one of the texts above. False, with a message naming the accepted texts in
    // `errorText`, for anything else (including "wav:" without a path).
    static bool parse(const std::string& text, Choice& choice, std::string& errorText);

    // Makes the chosen device; `deviceName` picks a PortAudio output by name (empty: the default
    // output) and is ignored by the others.
    //
    // A sound card that cannot be opened never stops playback: the "portaudio" device's open()
    // then says so once, in plain words (UserNotification and the log), and plays through "null"
    // instead, reporting success; its name() says which device is in use. A "wav:" file that
    // cannot be created is not replaced: open() fails with the reason, since the caller asked for
    // that file.
    static std::unique_ptr<AudioOutputDevice> create(const Choice& choice,
                                                     const std::string& deviceName = {});
    // parse() then create(); null, with `errorText`, when the text is refused.
    static std::unique_ptr<AudioOutputDevice> create(const std::string& text,
                                                     const std::string& deviceName,
                                                     std::string& errorText);

    // The output devices PortAudio finds (empty on a machine without sound cards). False, with
    // `errorText`, when PortAudio itself cannot start.
    static bool listOutputDevices(std::vector<OutputDeviceInfo>& devices, std::string& errorText);
};
