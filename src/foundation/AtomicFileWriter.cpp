#include "AtomicFileWriter.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>

#include "AvDebugLogger.h"
#include "DirectoryLister.h"
#include "SystemError.h"

namespace {

// Temporary name: prefix (10 bytes), digest (16), "-" (1), unique part (6), suffix (4).
constexpr std::string_view kPrefix = ".korvalis-";
constexpr std::string_view kSuffix = ".tmp";
constexpr size_t kDigestDigits = 16;
constexpr size_t kUniqueCharacters = 6;
constexpr std::string_view kUniqueAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr int kCreateAttempts = 100;
static_assert(kPrefix.size() + kDigestDigits + 1 + kUniqueCharacters + kSuffix.size() ==
              AtomicFileWriter::kTemporaryNameLength);

// The part of a temporary name that names its target: a 64-bit FNV-1a digest of the target's
// file name, stable across builds and versions so that debris of any run is recognised.
std::string targetDigest(std::string_view fileName) {
    uint64_t hash = 0xcbf29ce484222325ULL;
    for (const char c : fileName) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ULL;
    }
    char digits[kDigestDigits + 1];
    std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(hash));
    return std::string(digits, kDigestDigits);
}

std::string uniquePart() {
    unsigned char bytes[kUniqueCharacters];
    if (::getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) {
        std::random_device device;
        for (unsigned char& byte : bytes) {
            byte = static_cast<unsigned char>(device());
        }
    }
    std::string text;
    for (const unsigned char byte : bytes) {
        text.push_back(kUniqueAlphabet[byte % kUniqueAlphabet.size()]);
    }
    return text;
}

bool isUniqueCharacter(char c) {
    return kUniqueAlphabet.find(c) != std::string_view::npos;
}

// Flushes a directory's entries. File systems that cannot flush a directory (EINVAL) count as
// flushed: there is nothing more a program can do there.
bool flushDirectory(const std::string& directory, std::string& error) {
    const int descriptor = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0) {
        error = SystemError::last();
        return false;
    }
    const bool ok = ::fsync(descriptor) == 0 || errno == EINVAL;
    if (!ok) {
        error = SystemError::last();
    }
    ::close(descriptor);
    return ok;
}

}  // namespace

AtomicFileWriter::AtomicFileWriter(std::string path) : path_(std::move(path)) {
    const std::filesystem::path target(path_);
    fileName_ = target.filename().string();
    directory_ = target.parent_path().string();
    if (directory_.empty()) {
        directory_ = ".";
    }
}

AtomicFileWriter::~AtomicFileWriter() {
    std::lock_guard lock(mutex_);
    removeTemporary();
}

void AtomicFileWriter::setReplaceExisting(bool replace) {
    std::lock_guard lock(mutex_);
    replaceExisting_ = replace;
}

void AtomicFileWriter::setSyncToDisk(bool sync) {
    std::lock_guard lock(mutex_);
    syncToDisk_ = sync;
}

void AtomicFileWriter::setCreationMode(mode_t mode) {
    std::lock_guard lock(mutex_);
    creationMode_ = mode & 0777;
}

void AtomicFileWriter::setModeLimit(mode_t limit) {
    std::lock_guard lock(mutex_);
    modeLimit_ = limit & 0777;
}

void AtomicFileWriter::setKeepReplacedMode(bool keep) {
    std::lock_guard lock(mutex_);
    keepReplacedMode_ = keep;
}

const std::string& AtomicFileWriter::path() const {
    return path_;
}

int AtomicFileWriter::descriptor() const {
    std::lock_guard lock(mutex_);
    return descriptor_;
}

std::string AtomicFileWriter::temporaryPath() const {
    std::lock_guard lock(mutex_);
    return temporaryPath_;
}

std::string AtomicFileWriter::error() const {
    std::lock_guard lock(mutex_);
    return error_;
}

bool AtomicFileWriter::targetExists() const {
    std::lock_guard lock(mutex_);
    return targetExists_;
}

bool AtomicFileWriter::isPublished() const {
    std::lock_guard lock(mutex_);
    return published_;
}

std::vector<std::string> AtomicFileWriter::removedTemporaries() const {
    std::lock_guard lock(mutex_);
    return removedTemporaries_;
}

bool AtomicFileWriter::fail(const std::string& text) {
    error_ = text;
    return false;
}

std::string AtomicFileWriter::temporaryNameFor(std::string_view fileName) {
    std::string name(kPrefix);
    name += targetDigest(fileName);
    name += '-';
    name += uniquePart();
    name += kSuffix;
    return name;
}

bool AtomicFileWriter::isTemporaryNameOf(std::string_view name, std::string_view fileName) {
    if (name.size() != kTemporaryNameLength || !name.starts_with(kPrefix) ||
        !name.ends_with(kSuffix)) {
        return false;
    }
    name.remove_prefix(kPrefix.size());
    if (name.substr(0, kDigestDigits) != targetDigest(fileName) || name[kDigestDigits] != '-') {
        return false;
    }
    name = name.substr(kDigestDigits + 1, kUniqueCharacters);
    for (const char c : name) {
        if (!isUniqueCharacter(c)) {
            return false;
        }
    }
    return true;
}

std::vector<std::string> AtomicFileWriter::removeStaleTemporaries(const std::string& path) {
    std::vector<std::string> removed;
    const std::filesystem::path target(path);
    const std::string fileName = target.filename().string();
    std::string directory = target.parent_path().string();
    if (directory.empty()) {
        directory = ".";
    }
    DIR* listing = ::opendir(directory.c_str());
    if (listing == nullptr || fileName.empty()) {
        if (listing != nullptr) {
            ::closedir(listing);
        }
        return removed;
    }
    const int directoryDescriptor = ::dirfd(listing);
    while (const dirent* entry = ::readdir(listing)) {
        const std::string_view name(entry->d_name);
        if (!isTemporaryNameOf(name, fileName)) {
            continue;
        }
        // Only a regular file that nobody holds locked is debris. Holding its lock while it is
        // unlinked keeps a writer that has just made it from taking it up (it checks the link
        // count once it holds the lock).
        const int descriptor = ::openat(directoryDescriptor, entry->d_name,
                                        O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (descriptor < 0) {
            continue;
        }
        struct stat opened {};
        struct stat named {};
        if (::fstat(descriptor, &opened) == 0 && S_ISREG(opened.st_mode) &&
            ::flock(descriptor, LOCK_EX | LOCK_NB) == 0 &&
            ::fstatat(directoryDescriptor, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
            named.st_dev == opened.st_dev && named.st_ino == opened.st_ino &&
            ::unlinkat(directoryDescriptor, entry->d_name, 0) == 0) {
            removed.push_back(DirectoryLister::join(directory, std::string(name)));
            AvDebugLogger::instance().log(
                AvDebugLogger::kWarning,
                "Removed %s: an unfinished temporary file of %s left by an interrupted write",
                removed.back().c_str(), path.c_str());
        }
        ::close(descriptor);
    }
    ::closedir(listing);
    return removed;
}

bool AtomicFileWriter::linkWithoutReplacing(const std::string& from, const std::string& to) {
    if (::link(from.c_str(), to.c_str()) != 0) {
        return false;
    }
    // Both names now lead to the file; losing the temporary name cannot fail the publication.
    ::unlink(from.c_str());
    return true;
}

bool AtomicFileWriter::open() {
    std::lock_guard lock(mutex_);
    if (descriptor_ >= 0 || published_) {
        return fail("The file " + path_ + " is already being written");
    }
    error_.clear();
    targetExists_ = false;
    if (fileName_.empty() || fileName_ == "." || fileName_ == "..") {
        return fail("\"" + path_ + "\" does not name a file");
    }
    removedTemporaries_ = removeStaleTemporaries(path_);
    for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
        const std::string temporary =
            DirectoryLister::join(directory_, temporaryNameFor(fileName_));
        const int descriptor = ::open(
            temporary.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, creationMode_);
        if (descriptor < 0) {
            if (errno == EEXIST) {
                continue;
            }
            return fail(SystemError::last());
        }
        // Where the file system offers no locks, no cleaner can take the file either.
        while (::flock(descriptor, LOCK_EX) != 0 && errno == EINTR) {
        }
        struct stat status {};
        if (::fstat(descriptor, &status) != 0 || status.st_nlink == 0) {
            // A cleaner took it for debris before the lock was ours: start again.
            ::close(descriptor);
            continue;
        }
        descriptor_ = descriptor;
        temporaryPath_ = temporary;
        return true;
    }
    return fail("No temporary file could be made beside " + path_);
}

bool AtomicFileWriter::applyMode() {
    struct stat created {};
    if (::fstat(descriptor_, &created) != 0) {
        return fail(SystemError::last());
    }
    mode_t mode = created.st_mode & 0777 & modeLimit_;
    struct stat replaced {};
    if (replaceExisting_ && keepReplacedMode_ && ::stat(path_.c_str(), &replaced) == 0 &&
        S_ISREG(replaced.st_mode)) {
        mode = replaced.st_mode & 0777;
        if (replaced.st_uid != created.st_uid || replaced.st_gid != created.st_gid) {
            // As far as the process may: all of it when privileged, else perhaps the group.
            if (::fchown(descriptor_, replaced.st_uid, replaced.st_gid) != 0 &&
                ::fchown(descriptor_, static_cast<uid_t>(-1), replaced.st_gid) != 0) {
                AvDebugLogger::instance().log(AvDebugLogger::kInfo, "%s gets a new owner: %s",
                                              path_.c_str(), SystemError::last().c_str());
            }
        }
    }
    if (::fchmod(descriptor_, mode) != 0) {
        return fail(SystemError::last());
    }
    return true;
}

bool AtomicFileWriter::giveName() {
    if (replaceExisting_) {
        if (::rename(temporaryPath_.c_str(), path_.c_str()) != 0) {
            return fail(SystemError::last());
        }
        return true;
    }
    if (::renameat2(AT_FDCWD, temporaryPath_.c_str(), AT_FDCWD, path_.c_str(), RENAME_NOREPLACE) ==
        0) {
        return true;
    }
    if ((errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP) &&
        linkWithoutReplacing(temporaryPath_, path_)) {
        return true;
    }
    targetExists_ = errno == EEXIST;
    return fail(SystemError::last());
}

bool AtomicFileWriter::publish() {
    std::lock_guard lock(mutex_);
    if (descriptor_ < 0) {
        return fail(published_ ? "The file " + path_ + " was already published"
                               : "The file " + path_ + " was not opened for writing");
    }
    bool ok = applyMode();
    if (ok && syncToDisk_ && ::fsync(descriptor_) != 0) {
        ok = fail(SystemError::last());
    }
    if (!ok || !giveName()) {
        removeTemporary();
        return false;
    }
    // The lock is held until the file has its name, so no cleaner mistakes it for debris.
    temporaryPath_.clear();
    ::close(descriptor_);
    descriptor_ = -1;
    published_ = true;
    std::string error;
    if (syncToDisk_ && !flushDirectory(directory_, error)) {
        return fail(path_ +
                    " was written, but its directory could not be flushed to disk: " + error);
    }
    return true;
}

void AtomicFileWriter::abandon() {
    std::lock_guard lock(mutex_);
    removeTemporary();
}

void AtomicFileWriter::removeTemporary() {
    if (descriptor_ < 0) {
        return;
    }
    // Unlinked while still locked: no cleaner can be racing for it.
    ::unlink(temporaryPath_.c_str());
    temporaryPath_.clear();
    ::close(descriptor_);
    descriptor_ = -1;
}
