#include "FileIo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "SystemError.h"
#include "TemporaryFile.h"

namespace {

void setError(std::string* error, const std::string& text) {
    if (error != nullptr) {
        *error = text;
    }
}

}  // namespace

bool FileIo::readWholeFile(const std::string& path, std::string& bytes, uint64_t maximumBytes,
                           std::string* error) {
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (descriptor < 0) {
        setError(error, SystemError::last());
        return false;
    }
    struct stat status {};
    bool ok = ::fstat(descriptor, &status) == 0;
    if (!ok) {
        setError(error, SystemError::last());
    } else if (!S_ISREG(status.st_mode)) {
        setError(error, "Not a regular file");
        ok = false;
    } else if (static_cast<uint64_t>(status.st_size) > maximumBytes) {
        setError(error, "File too large");
        ok = false;
    }
    if (ok) {
        bytes.resize(static_cast<size_t>(status.st_size));
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t got = ::read(descriptor, bytes.data() + done, bytes.size() - done);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got < 0) {
                setError(error, SystemError::last());
                ok = false;
                break;
            }
            if (got == 0) {
                break;  // The file shrank while we read it.
            }
            done += static_cast<size_t>(got);
        }
        bytes.resize(done);
    }
    ::close(descriptor);
    return ok;
}

bool FileIo::writeAll(int descriptor, const void* bytes, size_t size) {
    const auto* cursor = static_cast<const char*>(bytes);
    while (size > 0) {
        const ssize_t written = ::write(descriptor, cursor, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        cursor += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

bool FileIo::syncDirectory(const std::string& directory) {
    const int descriptor =
        ::open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0) {
        return false;
    }
    const bool ok = ::fsync(descriptor) == 0;
    ::close(descriptor);
    return ok;
}

std::function<bool(int descriptor)> FileIo::bytesProducer(std::string_view bytes,
                                                          std::string* error) {
    return [bytes, error](int descriptor) {
        if (!writeAll(descriptor, bytes.data(), bytes.size())) {
            setError(error, SystemError::last());
            return false;
        }
        return true;
    };
}

bool FileIo::writeFileAtomically(const std::string& path, std::string_view bytes,
                                 std::string* error) {
    return writeAtomically(path, bytesProducer(bytes, error), -1, error);
}

bool FileIo::writePrivateFileAtomically(const std::string& path, std::string_view bytes,
                                        std::string* error) {
    return writeAtomically(path, bytesProducer(bytes, error), 0600, error);
}

bool FileIo::writeFileAtomically(const std::string& path,
                                 const std::function<bool(int descriptor)>& produce,
                                 std::string* error) {
    return writeAtomically(path, produce, -1, error);
}

bool FileIo::writeAtomically(const std::string& path,
                             const std::function<bool(int descriptor)>& produce, int permissions,
                             std::string* error) {
    const std::filesystem::path target(path);
    std::string directory = target.parent_path().string();
    if (directory.empty()) {
        directory = ".";
    }
    // A hidden name beside the target.
    TemporaryFile temporary("." + target.filename().string() + ".", directory);
    if (!temporary.isValid()) {
        setError(error, temporary.error());
        return false;
    }
    // mkstemp makes the file private; a record is as readable as any file the user makes.
    if (permissions < 0) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(temporary.descriptor(), 0666 & ~mask);
    } else {
        ::fchmod(temporary.descriptor(), static_cast<mode_t>(permissions));
    }
    if (!produce(temporary.descriptor())) {
        if (error != nullptr && error->empty()) {
            *error = "Writing \"" + path + "\" was abandoned.";
        }
        return false;
    }
    if (::fsync(temporary.descriptor()) != 0) {
        setError(error, SystemError::last());
        return false;
    }
    temporary.close();
    if (::rename(temporary.path().c_str(), path.c_str()) != 0) {
        setError(error, SystemError::last());
        return false;
    }
    temporary.keep();
    syncDirectory(directory);
    return true;
}
