#include "ScratchDirectory.h"

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <vector>

#include "SystemError.h"

ScratchDirectory::ScratchDirectory(const std::string& prefix) {
    std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (::mkdtemp(buffer.data()) == nullptr) {
        throw std::runtime_error("cannot make a scratch directory: " + SystemError::last());
    }
    path_ = buffer.data();
}

ScratchDirectory::~ScratchDirectory() {
    std::error_code code;
    // Tests take permissions away; give them back so that everything can be removed.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, code);
         !code && it != std::filesystem::recursive_directory_iterator(); it.increment(code)) {
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, code);
    }
    std::filesystem::remove_all(path_, code);
}

std::string ScratchDirectory::file(const std::string& relative) const {
    return path_ + "/" + relative;
}
