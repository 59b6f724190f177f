#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Appends a resource archive to a file (the program file after linking): the bodies one after
// another from the file's current end, one zero byte, then the index "ResourceIndex"
// (Version "1.0") naming each body's absolute offset and length. An archive the file already
// ends with is replaced, so running the step twice leaves one archive.
class KorvalisResourceArchiveWriter {
public:
    struct Body {
        std::string name;
        std::vector<uint8_t> bytes;
    };

    // The index text for `bodies` placed from `firstOffset` on.
    static std::string indexText(const std::vector<Body>& bodies, uint64_t firstOffset);
    // The file's length without the archive it ends with (its whole length when it ends with
    // none). An archive counts only when its index parses and its bodies lie back to back
    // from their first offset up to the zero byte before the index.
    static bool lengthWithoutArchive(const std::string& path, uint64_t& length,
                                     std::string* error = nullptr);
    // Replaces the file's archive by `bodies` (or appends them). False, with the reason in
    // `error`, when the file cannot be read or written, a name is empty or holds characters
    // the index cannot carry, or the index would exceed the archive's 10240-byte limit.
    static bool append(const std::string& path, const std::vector<Body>& bodies,
                       std::string* error = nullptr);
};
