#include "TransactionScope.h"

#include <filesystem>
#include <system_error>
#include <vector>

namespace {

std::string withoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

// An absolute, lexically normal form of `path` (relative paths are taken from the current
// directory), without trailing "/"; "" stays "".
std::string absolutePath(const std::string& path) {
    if (path.empty()) {
        return path;
    }
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error) {
        absolute = path;
    }
    return withoutTrailingSlashes(absolute.lexically_normal().string());
}

std::vector<std::string_view> componentsOf(std::string_view path) {
    std::vector<std::string_view> components;
    size_t start = path.starts_with('/') ? 1 : 0;
    while (start <= path.size()) {
        const size_t end = std::min(path.find('/', start), path.size());
        components.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return components;
}

bool refuse(std::string& error, std::string_view path, const std::string& rule) {
    error = "The path \"" + std::string(path) + "\" " + rule;
    return false;
}

}  // namespace

TransactionScope::TransactionScope(std::string recordingsPath, std::string archiveLocation)
    : recordingsPath_(absolutePath(recordingsPath)),
      archiveLocation_(absolutePath(archiveLocation)) {}

std::string TransactionScope::workDirectory() const {
    return recordingsPath_ + "/" + kWorkDirectoryName;
}

std::string TransactionScope::sealingCompletionFilePath() const {
    return workDirectory() + "/" + kSealingCompletionFileName;
}

std::string TransactionScope::unsealingCompletionFilePath() const {
    return workDirectory() + "/" + kUnsealingCompletionFileName;
}

bool TransactionScope::isCleanAbsolutePath(std::string_view path) {
    if (!path.starts_with('/') || path.find('\0') != std::string_view::npos) {
        return false;
    }
    for (const std::string_view component : componentsOf(path)) {
        if (component.empty() || component == "." || component == "..") {
            return false;
        }
    }
    return true;
}

bool TransactionScope::isInside(std::string_view path, std::string_view directory) {
    if (directory == "/") {
        return path.size() > 1 && path.starts_with('/');
    }
    return path.size() > directory.size() + 1 && path.starts_with(directory) &&
           path[directory.size()] == '/';
}

bool TransactionScope::isDeletableMediaPath(std::string_view path, std::string& error) const {
    if (!isCleanAbsolutePath(path)) {
        return refuse(error, path, "is not a plain absolute path");
    }
    if (!isCleanAbsolutePath(recordingsPath_) || !isInside(path, recordingsPath_)) {
        return refuse(error, path, "lies outside the recordings directory " + recordingsPath_);
    }
    return true;
}

bool TransactionScope::isWorkFilePath(std::string_view path, std::string& error) const {
    if (!isCleanAbsolutePath(path)) {
        return refuse(error, path, "is not a plain absolute path");
    }
    if (!isCleanAbsolutePath(recordingsPath_) || !isInside(path, workDirectory())) {
        return refuse(error, path, "lies outside the working directory " + workDirectory());
    }
    return true;
}

bool TransactionScope::isArchiveDestinationPath(std::string_view path, std::string& error) const {
    if (!isDeletableMediaPath(path, error)) {
        return false;
    }
    if (path == workDirectory() || isInside(path, workDirectory())) {
        return refuse(error, path, "lies inside the working directory " + workDirectory());
    }
    return true;
}

bool TransactionScope::isArchivedCopyPath(std::string_view path, std::string& error) const {
    if (!isCleanAbsolutePath(path)) {
        return refuse(error, path, "is not a plain absolute path");
    }
    const std::vector<std::string_view> components = componentsOf(path);
    // <location>/Recordings/<channel>/<day>/<file>: the location has at least one component.
    if (components.size() < 5 || components[components.size() - 4] != "Recordings") {
        return refuse(error, path, "is not the copy of a recording in an archive");
    }
    if (!archiveLocation_.empty()) {
        if (path != archivedCopyPath(archiveLocation_, path)) {
            return refuse(error, path, "lies outside the archive location " + archiveLocation_);
        }
        return true;
    }
    if (isCleanAbsolutePath(recordingsPath_) &&
        (path == recordingsPath_ || isInside(path, recordingsPath_))) {
        return refuse(error, path, "lies inside the recordings directory " + recordingsPath_);
    }
    return true;
}

std::string TransactionScope::archivedCopyPath(std::string_view archiveLocation,
                                               std::string_view path) {
    if (archiveLocation.empty()) {
        return "";
    }
    // The text after the fourth "/" counted from the end.
    size_t start = path.size();
    int slashes = 0;
    while (start > 0 && slashes < 4) {
        --start;
        if (path[start] == '/') {
            ++slashes;
        }
    }
    std::string_view tail = slashes == 4 ? path.substr(start + 1) : path;
    while (tail.starts_with('/')) {
        tail.remove_prefix(1);
    }
    return withoutTrailingSlashes(std::string(archiveLocation)) + "/" + std::string(tail);
}
