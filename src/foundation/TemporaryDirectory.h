#pragma once

#include <string>

// A uniquely named directory made with mkdtemp, removed with everything in it when the object
// goes, unless kept.
class TemporaryDirectory {
public:
    // Creates "<parent>/<prefix>XXXXXX"; an empty parent means the system's temporary directory.
    // Check isValid(); error() then tells why not.
    explicit TemporaryDirectory(const std::string& prefix = "korvalis-",
                                const std::string& parent = "");
    ~TemporaryDirectory();

    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;

    bool isValid() const { return !path_.empty(); }
    const std::string& path() const { return path_; }
    const std::string& error() const { return error_; }
    // path() + "/" + relative.
    std::string file(const std::string& relative) const;
    // Leaves the directory in place when the object goes.
    void keep() { keep_ = true; }

private:
    std::string path_;
    std::string error_;
    bool keep_ = false;
};
