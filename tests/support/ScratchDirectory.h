#pragma once

#include <string>

// A fresh, empty directory under the system's temporary directory for one test or benchmark,
// removed with everything in it when the object goes.
class ScratchDirectory {
public:
    explicit ScratchDirectory(const std::string& prefix = "korvalis-test");
    ~ScratchDirectory();

    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    const std::string& path() const { return path_; }
    // path() + "/" + relative.
    std::string file(const std::string& relative) const;

private:
    std::string path_;
};
