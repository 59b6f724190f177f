#include "RealFileSystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "AtomicFileWriter.h"
#include "FileIo.h"
#include "SystemError.h"

namespace {

std::string parentOf(const std::string& path) {
    std::string parent = std::filesystem::path(path).parent_path().string();
    return parent.empty() ? "." : parent;
}

// Flushes a directory's entries; false with errno set. File systems that cannot flush a directory
// (EINVAL) count as flushed: there is nothing more a program can do there.
bool flushDirectory(const std::string& directory) {
    const int descriptor = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0) {
        return false;
    }
    const bool ok = ::fsync(descriptor) == 0 || errno == EINVAL;
    const int error = errno;
    ::close(descriptor);
    errno = error;
    return ok;
}

// Closes a descriptor when it goes.
class Descriptor {
public:
    explicit Descriptor(int descriptor) : descriptor_(descriptor) {}
    ~Descriptor() {
        if (descriptor_ >= 0) {
            ::close(descriptor_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return descriptor_; }

private:
    int descriptor_;
};

// Reads up to `size` bytes, resuming after interruptions; -1 on error.
ssize_t readSome(int descriptor, char* bytes, size_t size) {
    size_t done = 0;
    while (done < size) {
        const ssize_t got = ::read(descriptor, bytes + done, size - done);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return -1;
        }
        if (got == 0) {
            break;
        }
        done += static_cast<size_t>(got);
    }
    return static_cast<ssize_t>(done);
}

}  // namespace

bool RealFileSystem::fail(const std::string& what, const std::string& reason, bool alreadyExists) {
    std::lock_guard lock(mutex_);
    error_ = what + ": " + reason;
    alreadyExists_ = alreadyExists;
    return false;
}

std::string RealFileSystem::error() const {
    std::lock_guard lock(mutex_);
    return error_;
}

bool RealFileSystem::alreadyExists() const {
    std::lock_guard lock(mutex_);
    return alreadyExists_;
}

bool RealFileSystem::exists(const std::string& path) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) == 0) {
        return true;
    }
    if (errno != ENOENT && errno != ENOTDIR) {
        fail("Could not look at " + path, SystemError::last());
    }
    return false;
}

bool RealFileSystem::isDirectory(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        if (errno != ENOENT && errno != ENOTDIR) {
            fail("Could not look at " + path, SystemError::last());
        }
        return false;
    }
    return S_ISDIR(status.st_mode);
}

bool RealFileSystem::syncParent(const std::string& path) {
    const std::string parent = parentOf(path);
    if (!flushDirectory(parent)) {
        return fail("Could not flush the directory " + parent + " to disk", SystemError::last());
    }
    return true;
}

bool RealFileSystem::createDirectory(const std::string& path) {
    if (::mkdir(path.c_str(), 0777) != 0) {
        const int error = errno;
        if (error == EEXIST && isDirectory(path)) {
            return true;
        }
        return fail("Could not create the directory " + path, SystemError::text(error));
    }
    return syncParent(path);
}

bool RealFileSystem::removeFile(const std::string& path) {
    if (::unlink(path.c_str()) != 0) {
        return fail("Could not remove " + path, SystemError::last());
    }
    return syncParent(path);
}

bool RealFileSystem::removeDirectory(const std::string& path) {
    if (::rmdir(path.c_str()) != 0) {
        return fail("Could not remove the directory " + path, SystemError::last());
    }
    return syncParent(path);
}

bool RealFileSystem::removeTree(const std::string& path) {
    // A directory without write or search permission for its owner gets them, so that what is
    // in it can be removed; read-only files need nothing, their directory's permission counts.
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0) {
        return fail("Could not look at " + path, SystemError::last());
    }
    if ((status.st_mode & S_IRWXU) != S_IRWXU &&
        ::chmod(path.c_str(), (status.st_mode & 07777) | S_IRWXU) != 0) {
        return fail("Could not make " + path + " writable", SystemError::last());
    }
    std::string reason;
    const std::vector<DirectoryEntry> entries = DirectoryLister::list(path, &reason);
    if (!reason.empty()) {
        return fail("Could not list " + path, reason);
    }
    for (const DirectoryEntry& entry : entries) {
        struct stat entryStatus {};
        if (::lstat(entry.path.c_str(), &entryStatus) != 0) {
            return fail("Could not look at " + entry.path, SystemError::last());
        }
        if (S_ISDIR(entryStatus.st_mode)) {
            if (!removeTree(entry.path)) {
                return false;
            }
        } else if (::unlink(entry.path.c_str()) != 0) {
            return fail("Could not remove " + entry.path, SystemError::last());
        }
    }
    if (::rmdir(path.c_str()) != 0) {
        return fail("Could not remove the directory " + path, SystemError::last());
    }
    return true;
}

bool RealFileSystem::removeRecursively(const std::string& path) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0) {
        return fail("Could not look at " + path, SystemError::last());
    }
    if (!S_ISDIR(status.st_mode)) {
        return fail("Could not remove " + path + " recursively", "Not a directory");
    }
    return removeTree(path) && syncParent(path);
}

bool RealFileSystem::moveWithoutReplacing(const std::string& from, const std::string& to) {
    const std::string what = "Could not move " + from + " to " + to;
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) != 0) {
        if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) {
            return fail(what, SystemError::last(), errno == EEXIST);
        }
        // File systems without renameat2: a hard link never replaces either.
        if (!AtomicFileWriter::linkWithoutReplacing(from, to)) {
            return fail(what, SystemError::last(), errno == EEXIST);
        }
    }
    return syncParent(to) && (parentOf(to) == parentOf(from) || syncParent(from));
}

bool RealFileSystem::readFileInPieces(const std::string& path, size_t pieceBytes,
                                      const std::function<bool(std::string_view piece)>& consume) {
    if (pieceBytes == 0) {
        return fail("Could not read " + path, "The piece size is zero");
    }
    const Descriptor source(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (source.get() < 0) {
        return fail("Could not open " + path, SystemError::last());
    }
    std::string piece(pieceBytes, '\0');
    for (;;) {
        const ssize_t got = readSome(source.get(), piece.data(), pieceBytes);
        if (got < 0) {
            return fail("Could not read " + path, SystemError::last());
        }
        if (got == 0) {
            return true;
        }
        if (!consume(std::string_view(piece.data(), static_cast<size_t>(got)))) {
            return fail("Could not use the bytes of " + path, "The reader stopped");
        }
        if (static_cast<size_t>(got) < pieceBytes) {
            return true;
        }
    }
}

bool RealFileSystem::copyFile(const std::string& from, const std::string& to) {
    const std::string what = "Could not copy " + from + " to " + to;
    struct stat status {};
    if (::lstat(to.c_str(), &status) == 0) {
        return fail(what, SystemError::text(EEXIST), true);
    }
    AtomicFileWriter writer(to);
    writer.setReplaceExisting(false);
    if (!writer.open()) {
        return fail(what, writer.error());
    }
    std::string writeError;
    const bool copied = readFileInPieces(from, kPieceBytes, [&](std::string_view piece) {
        if (!FileIo::writeAll(writer.descriptor(), piece.data(), piece.size())) {
            writeError = SystemError::last();
            return false;
        }
        return true;
    });
    if (!copied) {
        writer.abandon();
        return writeError.empty() ? false : fail(what, writeError);
    }
    if (!writer.publish()) {
        return fail(what, writer.error(), writer.targetExists());
    }
    return true;
}

bool RealFileSystem::readWholeFile(const std::string& path, std::string& bytes,
                                   uint64_t maximumBytes) {
    std::string reason;
    if (!FileIo::readWholeFile(path, bytes, maximumBytes, &reason)) {
        return fail("Could not read " + path, reason);
    }
    return true;
}

bool RealFileSystem::writeFileDurably(const std::string& path, std::string_view bytes) {
    std::string reason;
    if (!FileIo::writeFileAtomically(path, bytes, &reason)) {
        return fail("Could not write " + path, reason);
    }
    return true;
}

bool RealFileSystem::syncFile(const std::string& path) {
    const Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) {
        return fail("Could not open " + path, SystemError::last());
    }
    if (::fsync(file.get()) != 0) {
        return fail("Could not flush " + path + " to disk", SystemError::last());
    }
    return true;
}

bool RealFileSystem::syncDirectory(const std::string& path) {
    if (!flushDirectory(path)) {
        return fail("Could not flush the directory " + path + " to disk", SystemError::last());
    }
    return true;
}

bool RealFileSystem::listDirectory(const std::string& path, std::vector<DirectoryEntry>& entries) {
    std::string reason;
    entries = DirectoryLister::list(path, &reason);
    if (!reason.empty()) {
        return fail("Could not list " + path, reason);
    }
    return true;
}

bool RealFileSystem::fileSize(const std::string& path, uint64_t& bytes) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        return fail("Could not look at " + path, SystemError::last());
    }
    if (!S_ISREG(status.st_mode)) {
        return fail("Could not take the size of " + path, "Not a regular file");
    }
    bytes = static_cast<uint64_t>(status.st_size);
    return true;
}
