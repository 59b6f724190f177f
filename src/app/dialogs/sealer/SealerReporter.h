#pragma once

#include <functional>
#include <string>

// How a sealer worker reports: every function is called on the worker's thread and must only
// queue its change for the user-interface thread (see SealerCommands). `done` is the last call
// of a run.
struct SealerReporter {
    std::function<void(const std::string& line)> line;
    std::function<void(const std::string& status)> status;
    std::function<void(int current, int total)> progress;
    std::function<void(bool succeeded)> done;
};
