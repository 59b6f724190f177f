#include "GalewickCommandLine.h"

#ifndef GALEWICK_VERSION
#define GALEWICK_VERSION "unknown"
#endif

namespace {

constexpr const char* kAudioOutputOption = "--audio-output=";

}  // namespace

GalewickCommandLine::GalewickCommandLine(const std::vector<std::string>& arguments) {
    parse(arguments);
}

GalewickCommandLine::GalewickCommandLine(int argc, const char* const* argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) {
        if (argv != nullptr && argv[i] != nullptr) {
            arguments.emplace_back(argv[i]);
        }
    }
    parse(arguments);
}

void GalewickCommandLine::parse(const std::vector<std::string>& arguments) {
    // The mode flags may sit anywhere in the command line, even inside another argument, as
    // programs that start this one have always written them.
    std::string whole;
    for (const std::string& argument : arguments) {
        if (!whole.empty()) {
            whole += ' ';
        }
        whole += argument;
    }
    sealingMode_ = whole.find(kSealingModeFlag) != std::string::npos;
    autoload_ = whole.find(kAutoloadFlag) != std::string::npos;

    const std::string audioOutputOption = kAudioOutputOption;
    for (const std::string& argument : arguments) {
        if (argument == "--help" || argument == "-h") {
            helpRequested_ = true;
        } else if (argument == "--version") {
            versionRequested_ = true;
        } else if (argument == "--play") {
            playOnOpen_ = true;
        } else if (argument.compare(0, audioOutputOption.size(), audioOutputOption) == 0) {
            audioOutput_ = argument.substr(audioOutputOption.size());
            if (audioOutput_.empty()) {
                audioOutput_ = kDefaultAudioOutput;
            }
        }
    }
}

std::string GalewickCommandLine::title() const {
    return sealingMode_ ? kSealerTitle : kPlayerTitle;
}

std::string GalewickCommandLine::usageText(const std::string& programName) {
    return "Usage: " + programName +
           " [-sealingMode] [-autoload] [--play] [--audio-output=SPEC] [--help] [--version]\n"
           "Plays, searches and prints the sessions of an archive of recorded proceedings.\n"
           "\n"
           "  -sealingMode          seal, unseal and recover time ranges (title \"Brindlemark\")\n"
           "  -autoload             open the session named by galewick_autoload.xml in the\n"
           "                        current directory once it is ready\n"
           "  --play                start playing the first session that opens\n"
           "  --audio-output=SPEC   the sound output: portaudio (default), null, null:fast or\n"
           "                        wav:PATH\n"
           "  --help                show this text and leave\n"
           "  --version             show the version and leave\n";
}

std::string GalewickCommandLine::versionText() {
    return std::string("galewick ") + GALEWICK_VERSION + "\n";
}
