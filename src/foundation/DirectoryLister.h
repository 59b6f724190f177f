#pragma once

#include <functional>
#include <string>
#include <vector>

// One entry of a directory listing.
struct DirectoryEntry {
    std::string name;  // file-name component only
    std::string path;  // directory + "/" + name
    bool isDirectory = false;
    bool isRegularFile = false;
};

// Lists directories in a deterministic order: names compared case-insensitively (ASCII letters
// folded to upper case), ties broken bytewise, so "COURT1" < "court1" < "COURT2".
class DirectoryLister {
public:
    // The entries of `directory` ("." and ".." excluded), sorted. Empty when the directory cannot
    // be read; `error`, when given, then receives the reason in words.
    static std::vector<DirectoryEntry> list(const std::string& directory,
                                            std::string* error = nullptr);
    // Every regular file below `directory`, depth first, each directory's entries sorted.
    // Symbolic links to directories are followed, but each directory (told apart by device and
    // inode) is entered once, under the first name met, so link cycles end.
    static std::vector<DirectoryEntry> listRecursively(const std::string& directory);
    // Calls `visit` for the regular files listRecursively would return, in the same order, until
    // it returns false; nothing below is listed after that.
    static void visitFilesRecursively(const std::string& directory,
                                      const std::function<bool(const DirectoryEntry&)>& visit);
    // True when a sorts before b in listing order.
    static bool sortsBefore(const std::string& a, const std::string& b);
    // `directory` joined with `name` by exactly one "/".
    static std::string join(const std::string& directory, const std::string& name);
};
