#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "CompletionEntry.h"

class FileSystem;
class TiXmlElement;

// The pieces the two completion files share: their lists as XML, and reading and writing them
// through a FileSystem.
class CompletionFileXml {
public:
    // Completion files larger than this are refused unread (far beyond any session's lists).
    static constexpr uint64_t kMaximumFileBytes = 64ull * 1024 * 1024;

    // Appends <name> holding a "File" element with each path as its text.
    static void appendPathList(TiXmlElement& root, const char* name,
                               const std::vector<std::string>& paths);
    // Appends <name> holding an empty "File" element with "source" and "destination" per entry.
    static void appendEntryList(TiXmlElement& root, const char* name,
                                const std::vector<CompletionEntry>& entries);
    // The texts of the "File" elements of `root`'s child `name`, those without text skipped.
    // False when there is no such child.
    static bool readPathList(const TiXmlElement& root, const char* name,
                             std::vector<std::string>& paths);
    // The entries of `root`'s child `name`, those without a source or destination skipped.
    static bool readEntryList(const TiXmlElement& root, const char* name,
                              std::vector<CompletionEntry>& entries);
    // The document text of `root`.
    static std::string print(const TiXmlElement& root);

    // Writes `text` durably to `path`; `error` says why not.
    static bool write(FileSystem& fileSystem, const std::string& path, std::string_view text,
                      std::string& error);
    // Reads the file `path` (at most kMaximumFileBytes) into `text`.
    static bool read(FileSystem& fileSystem, const std::string& path, std::string& text,
                     std::string& error);
};
