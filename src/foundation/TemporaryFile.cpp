#include "TemporaryFile.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

#include "DirectoryLister.h"
#include "SystemError.h"

std::string TemporaryFile::placeIn(const std::string& directory) {
    if (!directory.empty()) {
        return directory;
    }
    std::error_code code;
    std::string base = std::filesystem::temp_directory_path(code).string();
    return code ? "/tmp" : base;
}

TemporaryFile::TemporaryFile(const std::string& prefix, const std::string& directory) {
    std::string pattern = DirectoryLister::join(placeIn(directory), prefix + "XXXXXX");
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    descriptor_ = mkstemp(name.data());
    if (descriptor_ < 0) {
        error_ = SystemError::last();
        return;
    }
    path_ = name.data();
}

TemporaryFile::~TemporaryFile() {
    close();
    if (!keep_) {
        remove();
    }
}

void TemporaryFile::close() {
    if (descriptor_ >= 0) {
        ::close(descriptor_);
        descriptor_ = -1;
    }
}

void TemporaryFile::remove() {
    if (!path_.empty()) {
        ::unlink(path_.c_str());
        path_.clear();
    }
}
