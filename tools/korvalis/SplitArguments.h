#pragma once

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
};
