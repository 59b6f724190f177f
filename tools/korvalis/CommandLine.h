#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

// Splits a subcommand's arguments into positional arguments, options with values ("--out DIR" or
// "--out=DIR", possibly repeated) and flags ("--html"). "--" ends the options.
class CommandLine {
public:
    CommandLine(const std::vector<std::string>& arguments,
                const std::set<std::string>& valueOptions, const std::set<std::string>& flags = {});

    // False when an unknown option or a missing value was met; error() says which.
    bool isValid() const { return error_.empty(); }
    const std::string& error() const { return error_; }

    const std::vector<std::string>& positional() const { return positional_; }
    bool hasFlag(const std::string& flag) const { return flagsSeen_.count(flag) != 0; }
    bool hasOption(const std::string& option) const { return values_.count(option) != 0; }
    // The last value given for `option`, if any.
    std::optional<std::string> value(const std::string& option) const;
    // Every value given for `option`, in order.
    std::vector<std::string> values(const std::string& option) const;

    // Number parsing that rejects trailing junk, empty text and values out of range.
    static bool parseDouble(const std::string& text, double& value);
    static bool parseLong(const std::string& text, long& value);
    // Epoch seconds: decimal with an optional fraction, or hexadecimal with "0x".
    static bool parseEpochSeconds(const std::string& text, double& seconds);

private:
    std::vector<std::string> positional_;
    std::map<std::string, std::vector<std::string>> values_;
    std::set<std::string> flagsSeen_;
    std::string error_;
};
