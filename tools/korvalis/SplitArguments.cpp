#include "SplitArguments.h"

#include <filesystem>

bool SplitArguments::parse(const CommandLine& line, SplitArguments& arguments, std::string& error) {
    const std::vector<std::string> at = line.values("at");
    if (line.positional().size() != 2 || at.empty() || at.size() > 2 || !line.hasOption("out")) {
        error = "split needs FILE, one or two --at times and --out DIR";
        return false;
    }
    SplitArguments parsed;
    parsed.file = line.positional()[1];
    parsed.outputDirectory = *line.value("out");
    for (const std::string& text : at) {
        double time = 0;
        if (!CommandLine::parseEpochSeconds(text, time)) {
            error = "'" + text + "' is not a time in epoch seconds";
            return false;
        }
        parsed.times.push_back(time);
    }
    if (parsed.times.size() == 2 && parsed.times[1] <= parsed.times[0]) {
        error = "the second split time must come after the first";
        return false;
    }
    if (auto text = line.value("mode")) {
        long mode = 0;
        if (!CommandLine::parseLong(*text, mode) || mode < 0 || mode > 3 ||
            (parsed.times.size() == 1 && mode == 2)) {
            error = parsed.times.size() == 1 ? "--mode must be 0, 1 or 3 with one split time"
                                             : "--mode must be 0, 1, 2 or 3 with two split times";
            return false;
        }
        parsed.mode = static_cast<int>(mode);
    }
    if (auto text = line.value("tolerance")) {
        double tolerance = 0;
        if (!CommandLine::parseDouble(*text, tolerance) || tolerance < 0 || tolerance > 3600) {
            error = "--tolerance must be seconds from 0 to 3600";
            return false;
        }
        parsed.toleranceSeconds = static_cast<float>(tolerance);
    }
    arguments = std::move(parsed);
    return true;
}

bool SplitArguments::prepareOutputDirectory(std::string& error) const {
    std::error_code code;
    std::filesystem::create_directories(outputDirectory, code);
    if (code || !std::filesystem::is_directory(outputDirectory)) {
        error = "cannot use \"" + outputDirectory + "\" as output directory" +
                (code ? ": " + code.message() : std::string());
        return false;
    }
    return true;
}
