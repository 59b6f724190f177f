#pragma once

#include <string>
#include <vector>

// What the command line asks of the program.
//
// The two mode flags are found anywhere in the whole command line, by a substring search of all
// arguments joined with blanks: "/x -sealingMode" selects the sealer as "-sealingMode" does, and
// both flags may be given together. Besides them the program reads the ordinary options
//   --audio-output=SPEC  the output device (see AudioOutputDeviceFactory; default "portaudio")
//   --help, -h           print the usage and leave
//   --version            print the version and leave
// Everything else on the command line is ignored.
class GalewickCommandLine {
public:
    static constexpr const char* kSealingModeFlag = "-sealingMode";
    static constexpr const char* kAutoloadFlag = "-autoload";
    static constexpr const char* kSealerTitle = "Brindlemark";
    static constexpr const char* kPlayerTitle = "Galewick";
    static constexpr const char* kDefaultAudioOutput = "portaudio";

    GalewickCommandLine() = default;
    // `arguments` without the program's name (argv[1..]).
    explicit GalewickCommandLine(const std::vector<std::string>& arguments);
    GalewickCommandLine(int argc, const char* const* argv);

    bool sealingMode() const { return sealingMode_; }
    bool autoload() const { return autoload_; }
    // "Brindlemark" in sealing mode, else "Galewick".
    std::string title() const;
    const std::string& audioOutput() const { return audioOutput_; }
    bool helpRequested() const { return helpRequested_; }
    bool versionRequested() const { return versionRequested_; }
    // "--play": the first session that opens starts playing (the demo uses it with -autoload).
    bool playOnOpen() const { return playOnOpen_; }

    // The usage text printed for --help (ends with a line break).
    static std::string usageText(const std::string& programName);
    // "galewick VERSION\n".
    static std::string versionText();

private:
    void parse(const std::vector<std::string>& arguments);

    bool sealingMode_ = false;
    bool autoload_ = false;
    bool helpRequested_ = false;
    bool versionRequested_ = false;
    bool playOnOpen_ = false;
    std::string audioOutput_ = kDefaultAudioOutput;
};
