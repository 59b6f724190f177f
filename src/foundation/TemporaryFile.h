#pragma once

#include <string>

// A uniquely named file made with mkstemp, removed when the object goes unless kept.
class TemporaryFile {
public:
    // Creates "<directory>/<prefix>XXXXXX"; an empty directory means the system's temporary
    // directory. Check isValid(); error() then tells why not.
    explicit TemporaryFile(const std::string& prefix, const std::string& directory = "");
    ~TemporaryFile();

    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    // `directory`, or the system's temporary directory when it is empty.
    static std::string placeIn(const std::string& directory);

    bool isValid() const { return !path_.empty(); }
    const std::string& path() const { return path_; }
    const std::string& error() const { return error_; }
    // The open descriptor (read and write), or -1; closed by close() or the destructor.
    int descriptor() const { return descriptor_; }
    void close();
    // Leaves the file in place when the object goes (after renaming it, say).
    void keep() { keep_ = true; }
    // Removes the file now.
    void remove();

private:
    std::string path_;
    std::string error_;
    int descriptor_ = -1;
    bool keep_ = false;
};
