#include "CommandLine.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

CommandLine::CommandLine(const std::vector<std::string>& arguments,
                         const std::set<std::string>& valueOptions,
                         const std::set<std::string>& flags) {
    bool optionsEnded = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnded || argument.size() < 2 || argument.compare(0, 2, "--") != 0) {
            positional_.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        std::string name = argument.substr(2);
        std::optional<std::string> inlineValue;
        if (const size_t equals = name.find('='); equals != std::string::npos) {
            inlineValue = name.substr(equals + 1);
            name.resize(equals);
        }
        if (valueOptions.count(name) != 0) {
            if (inlineValue) {
                values_[name].push_back(*inlineValue);
            } else if (i + 1 < arguments.size()) {
                values_[name].push_back(arguments[++i]);
            } else {
                error_ = "option --" + name + " needs a value";
                return;
            }
        } else if (flags.count(name) != 0 && !inlineValue) {
            flagsSeen_.insert(name);
        } else {
            error_ = "unknown option " + argument;
            return;
        }
    }
}

std::optional<std::string> CommandLine::value(const std::string& option) const {
    auto found = values_.find(option);
    if (found == values_.end() || found->second.empty()) {
        return std::nullopt;
    }
    return found->second.back();
}

std::vector<std::string> CommandLine::values(const std::string& option) const {
    auto found = values_.find(option);
    return found == values_.end() ? std::vector<std::string>{} : found->second;
}

bool CommandLine::parseDouble(const std::string& text, double& value) {
    if (text.empty()) {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    const double parsed = std::strtod(text.c_str(), &end);
    if (*end != '\0' || errno == ERANGE || !std::isfinite(parsed)) {
        return false;
    }
    value = parsed;
    return true;
}

bool CommandLine::parseLong(const std::string& text, long& value) {
    if (text.empty()) {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    const long parsed = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || errno == ERANGE) {
        return false;
    }
    value = parsed;
    return true;
}

bool CommandLine::parseEpochSeconds(const std::string& text, double& seconds) {
    if (text.size() > 2 && (text.compare(0, 2, "0x") == 0 || text.compare(0, 2, "0X") == 0)) {
        errno = 0;
        char* end = nullptr;
        const unsigned long long parsed = std::strtoull(text.c_str() + 2, &end, 16);
        if (*end != '\0' || errno == ERANGE || parsed > 0xFFFFFFFFull) {
            return false;
        }
        seconds = static_cast<double>(parsed);
        return true;
    }
    double parsed = 0;
    if (!parseDouble(text, parsed) || parsed < 0 || parsed > 4294967295.999999) {
        return false;
    }
    seconds = parsed;
    return true;
}
