// korvalis: the command line over the archive, media, sealing and transaction libraries.

#include <cstdio>
#include <string>
#include <vector>

#include "AvDebugLogger.h"
#include "KorvalisCommand.h"
#include "ProcessEnvironment.h"

#ifndef KORVALIS_VERSION
#define KORVALIS_VERSION "unknown"
#endif

namespace {

void printOverview(std::FILE* out) {
    std::fprintf(out,
                 "Usage: korvalis COMMAND [ARGUMENTS...]\n"
                 "       korvalis COMMAND --help\n"
                 "       korvalis --help | --version\n\n"
                 "Commands:\n");
    for (const KorvalisCommand* command : KorvalisCommandRegistry::instance().all()) {
        std::fprintf(out, "  %-12s %s\n", command->name.c_str(), command->summary.c_str());
    }
    std::fprintf(out,
                 "\nExit status: 0 on success, 1 when the operation fails, 2 on wrong usage.\n"
                 "Log: %s/Korvalis_DEBUG-accumulating.txt (level from KORVALIS_LOG_LEVEL, 0-7).\n",
                 "$XDG_STATE_HOME/galewick");
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    if (arguments.empty()) {
        printOverview(stderr);
        return kExitUsage;
    }
    const std::string& first = arguments.front();
    if (first == "--help" || first == "-h" || first == "help") {
        if (first == "help" && arguments.size() > 1) {
            if (const KorvalisCommand* command =
                    KorvalisCommandRegistry::instance().find(arguments[1])) {
                std::fputs(command->usage.c_str(), stdout);
                return kExitSuccess;
            }
        }
        printOverview(stdout);
        return kExitSuccess;
    }
    if (first == "--version") {
        std::printf("korvalis %s\n", KORVALIS_VERSION);
        return kExitSuccess;
    }
    const KorvalisCommand* command = KorvalisCommandRegistry::instance().find(first);
    if (command == nullptr) {
        std::fprintf(stderr, "korvalis: unknown command '%s'\n\n", first.c_str());
        printOverview(stderr);
        return kExitUsage;
    }
    std::vector<std::string> rest(arguments.begin() + 1, arguments.end());
    for (const std::string& argument : rest) {
        if (argument == "--help" || argument == "-h") {
            std::fputs(command->usage.c_str(), stdout);
            return kExitSuccess;
        }
        if (argument == "--") {
            break;
        }
    }

    ProcessEnvironment::raiseOpenFileLimit();
    AvDebugLogger::instance().enableLoggingToFile(
        ProcessEnvironment::stateDirectory() + "/Korvalis_DEBUG", 409600);
    AvDebugLogger::instance().log(AvDebugLogger::kInfo, "korvalis %s started", first.c_str());
    const int status = command->run(rest);
    AvDebugLogger::instance().log(AvDebugLogger::kInfo, "korvalis %s ended with status %d",
                                  first.c_str(), status);
    return status;
}
