#pragma once

#include <string>

// One recorded day of a location, as found from its session record's name.
struct SessionDateEntry {
    int day = 0;
    int month = 0;
    int year = 0;
    // "MM/DD/YYYY", made from the digits of the record's name.
    std::string text;
};
