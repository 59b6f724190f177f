#include "DirectoryLister.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <set>
#include <utility>

namespace fs = std::filesystem;

namespace {

unsigned char upper(unsigned char c) {
    return c >= 'a' && c <= 'z' ? c - ('a' - 'A') : c;
}

// Walks the files below a directory depth first, entering each directory once.
class FileWalk {
public:
    explicit FileWalk(const std::function<bool(const DirectoryEntry&)>& visit) : visit_(visit) {}

    // False once the visitor asked to stop.
    bool walk(const std::string& directory) {
        struct stat status {};
        if (::stat(directory.c_str(), &status) != 0 ||
            !entered_.insert({status.st_dev, status.st_ino}).second) {
            return true;
        }
        for (const DirectoryEntry& entry : DirectoryLister::list(directory)) {
            if (entry.isDirectory) {
                if (!walk(entry.path)) {
                    return false;
                }
            } else if (entry.isRegularFile && !visit_(entry)) {
                return false;
            }
        }
        return true;
    }

private:
    const std::function<bool(const DirectoryEntry&)>& visit_;
    std::set<std::pair<dev_t, ino_t>> entered_;
};

}  // namespace

bool DirectoryLister::sortsBefore(const std::string& a, const std::string& b) {
    const size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
        const unsigned char ua = upper(static_cast<unsigned char>(a[i]));
        const unsigned char ub = upper(static_cast<unsigned char>(b[i]));
        if (ua != ub) {
            return ua < ub;
        }
    }
    if (a.size() != b.size()) {
        return a.size() < b.size();
    }
    return a < b;
}

std::string DirectoryLister::join(const std::string& directory, const std::string& name) {
    if (directory.empty()) {
        return name;
    }
    if (directory.back() == '/') {
        return directory + name;
    }
    return directory + "/" + name;
}

std::vector<DirectoryEntry> DirectoryLister::list(const std::string& directory,
                                                  std::string* error) {
    std::vector<DirectoryEntry> entries;
    std::error_code code;
    fs::directory_iterator iterator(directory.empty() ? "." : directory, code);
    if (code) {
        if (error != nullptr) {
            *error = code.message();
        }
        return entries;
    }
    for (; iterator != fs::directory_iterator(); iterator.increment(code)) {
        if (code) {
            break;
        }
        DirectoryEntry entry;
        entry.name = iterator->path().filename().string();
        entry.path = join(directory, entry.name);
        std::error_code statusCode;
        entry.isDirectory = iterator->is_directory(statusCode);
        entry.isRegularFile = iterator->is_regular_file(statusCode);
        entries.push_back(std::move(entry));
    }
    if (code && error != nullptr) {
        *error = code.message();
    }
    std::sort(entries.begin(), entries.end(), [](const DirectoryEntry& a, const DirectoryEntry& b) {
        return sortsBefore(a.name, b.name);
    });
    return entries;
}

std::vector<DirectoryEntry> DirectoryLister::listRecursively(const std::string& directory) {
    std::vector<DirectoryEntry> files;
    visitFilesRecursively(directory, [&files](const DirectoryEntry& entry) {
        files.push_back(entry);
        return true;
    });
    return files;
}

void DirectoryLister::visitFilesRecursively(
    const std::string& directory, const std::function<bool(const DirectoryEntry&)>& visit) {
    FileWalk(visit).walk(directory);
}
