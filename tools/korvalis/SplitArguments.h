#pragma once

#include <memory>
#include <string>
#include <vector>

#include "CommandLine.h"

// The arguments of the split commands, shared so that every media kind is cut the same way from
// the command line: FILE --at T [--at T2] --out DIR [--mode N] [--tolerance S].
struct SplitArguments {
    std::string file;
    std::vector<double> times;  // one or two epoch times, ascending
    int mode = 0;               // parts written: 0 all; 1 first; 2 middle (two times); 3 last
    float toleranceSeconds = 1.0f;
    std::string outputDirectory;

    // Reads `line` (whose positional()[0] is the subcommand). False with the reason in `error`
    // when the command line is wrong.
    static bool parse(const CommandLine& line, SplitArguments& arguments, std::string& error);
    // Makes the output directory when missing. False with the reason in `error`.
    bool prepareOutputDirectory(std::string& error) const;

    // Cuts `file` (an audio or video file) as asked and returns the parts written, in order.
    // False when the file's split fails.
    template <typename MediaFile>
    bool cut(MediaFile& file, std::vector<std::unique_ptr<MediaFile>>& parts) const {
        std::unique_ptr<MediaFile> written[3];
        const bool done =
            times.size() == 1
                ? file.copyAndSplitAtEpochTime(times[0], outputDirectory, written[0], written[1],
                                               toleranceSeconds, nullptr, nullptr, mode)
                : file.copyAndSplitAtEpochTime(times[0], times[1], outputDirectory, written[0],
                                               written[1], written[2], toleranceSeconds, nullptr,
                                               nullptr, mode);
        parts.clear();
        for (auto& part : written) {
            if (part) {
                parts.push_back(std::move(part));
            }
        }
        return done;
    }
};
