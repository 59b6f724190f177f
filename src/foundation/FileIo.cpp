#include "FileIo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "AtomicFileWriter.h"
#include "SystemError.h"

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
    return writeAtomically(path, bytesProducer(bytes, error), false, true, nullptr, error);
}

bool FileIo::writePrivateFileAtomically(const std::string& path, std::string_view bytes,
                                        std::string* error) {
    return writeAtomically(path, bytesProducer(bytes, error), true, true, nullptr, error);
}

bool FileIo::writeNewPrivateFile(const std::string& path, std::string_view bytes, bool& nameTaken,
                                 std::string* error) {
    return writeAtomically(path, bytesProducer(bytes, error), true, false, &nameTaken, error);
}

bool FileIo::writeFileAtomically(const std::string& path,
                                 const std::function<bool(int descriptor)>& produce,
                                 std::string* error) {
    return writeAtomically(path, produce, false, true, nullptr, error);
}

bool FileIo::writeAtomically(const std::string& path,
                             const std::function<bool(int descriptor)>& produce, bool privateFile,
                             bool replaceExisting, bool* nameTaken, std::string* error) {
    if (nameTaken != nullptr) {
        *nameTaken = false;
    }
    AtomicFileWriter writer(path);
    writer.setReplaceExisting(replaceExisting);
    if (privateFile) {
        writer.setCreationMode(0600);
        writer.setModeLimit(0600);
        writer.setKeepReplacedMode(false);
    }
    if (!writer.open()) {
        setError(error, writer.error());
        return false;
    }
    if (!produce(writer.descriptor())) {
        if (error != nullptr && error->empty()) {
            *error = "Writing \"" + path + "\" was abandoned.";
        }
        return false;
    }
    if (!writer.publish()) {
        setError(error, writer.error());
        if (nameTaken != nullptr) {
            *nameTaken = writer.targetExists();
        }
        return false;
    }
    return true;
}
