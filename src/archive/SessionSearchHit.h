#pragma once

#include <string>
#include <vector>

#include "JexAnnotation.h"
#include "SessionDateEntry.h"

// One session whose record holds annotations matching a search over all sessions.
struct SessionSearchHit {
    std::string locationName;
    SessionDateEntry date;
    // The matching annotations, in record order.
    std::vector<JexAnnotation> annotations;
};
