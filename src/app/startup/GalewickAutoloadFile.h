#pragma once

#include <string>

// The session another program asks this one to open at start ("-autoload"): the XML record
// "galewick_autoload" in the file "galewick_autoload.xml" of the current directory, with the
// keys "rootpath" (the archive root), "location" (the location name), "year", "month", "day".
// Nothing in this program writes it.
class GalewickAutoloadFile {
public:
    static constexpr const char* kFileName = "galewick_autoload.xml";
    static constexpr const char* kRootElementName = "galewick_autoload";

    std::string rootPath;
    std::string location;
    int year = 0;
    int month = 0;
    int day = 0;

    // Reads "galewick_autoload.xml" of the current directory.
    bool read();
    // Reads the file at `path`: false, leaving the fields as they were, when it cannot be read,
    // is empty or holds no XML record; otherwise each key present replaces its field.
    bool read(const std::string& path);
};
