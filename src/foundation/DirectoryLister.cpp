#include "DirectoryLister.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

unsigned char upper(unsigned char c) {
    return c >= 'a' && c <= 'z' ? c - ('a' - 'A') : c;
}

void collectFiles(const std::string& directory, std::vector<DirectoryEntry>& files, int depth) {
    // Symbolic links to directories are followed; the depth bound stops link cycles.
    constexpr int kMaximumDepth = 64;
    for (DirectoryEntry& entry : DirectoryLister::list(directory)) {
        if (entry.isDirectory) {
            if (depth < kMaximumDepth) {
                collectFiles(entry.path, files, depth + 1);
            }
        } else if (entry.isRegularFile) {
            files.push_back(std::move(entry));
        }
    }
}

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
    collectFiles(directory, files, 0);
    return files;
}
