#pragma once

#include <string>

// One move or copy of a completion file: the "source" and "destination" attributes of a "File"
// element, both full paths.
struct CompletionEntry {
    std::string source;
    std::string destination;

    bool operator==(const CompletionEntry&) const = default;
};
