#pragma once

#include <string>

#include "SessionDateEntry.h"

// One session of an archive as ArchiveSessionSet::listAllSessions finds it.
struct SessionListEntry {
    std::string locationName;
    SessionDateEntry date;
    // The archive root that holds the session's record.
    std::string root;
    // The channel count (ArchiveSessionSet::countNumberedDirectories).
    int channels = 0;
};
