#include "TemporaryDirectory.h"

#include <cstdlib>
#include <filesystem>
#include <vector>

#include "DirectoryLister.h"
#include "SystemError.h"
#include "TemporaryFile.h"

TemporaryDirectory::TemporaryDirectory(const std::string& prefix, const std::string& parent) {
    const std::string pattern =
        DirectoryLister::join(TemporaryFile::placeIn(parent), prefix + "XXXXXX");
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (::mkdtemp(name.data()) == nullptr) {
        error_ = SystemError::last();
        return;
    }
    path_ = name.data();
}

TemporaryDirectory::~TemporaryDirectory() {
    if (!keep_ && !path_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
}

std::string TemporaryDirectory::file(const std::string& relative) const {
    return DirectoryLister::join(path_, relative);
}
