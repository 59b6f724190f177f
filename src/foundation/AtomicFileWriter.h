#pragma once

#include <sys/types.h>

#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

// Writes a file so that it appears under its name only when complete, and a crash, a kill or a
// power loss leaves either the old state or the whole new file.
//
// The content goes to a temporary file beside the target. Its name has a fixed length whatever
// the target's, so every name the file system allows can be written:
//   ".korvalis-" + 16 hexadecimal digits (a digest of the target's file name) + "-" + 6 random
//   letters or digits + ".tmp"   (37 bytes)
// The writer holds an exclusive lock (flock) on its temporary file for as long as it lives. An
// unlocked temporary file of the same target can only be debris of a writer that died: open()
// removes such files first (removedTemporaries() lists them) and never touches a file that a
// live writer, in this process or another, still holds.
//
// publish() flushes the file, names it (replacing what has the name, or failing when anything,
// even a dangling symbolic link, has it) and flushes the directory. Every public operation holds
// the object's mutex; the descriptor may be written from any one thread between open and
// publish.
class AtomicFileWriter {
public:
    // Every temporary file name is this long.
    static constexpr size_t kTemporaryNameLength = 37;

    // `path`: the file to write (its directory must exist).
    explicit AtomicFileWriter(std::string path);
    // Removes the temporary file unless it was published.
    ~AtomicFileWriter();

    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    // Settings, before open().
    // False: publish() fails (targetExists() then true) rather than replace a file. Default true.
    void setReplaceExisting(bool replace);
    // False: no flush of file and directory (for scratch files that need not survive a power
    // loss). Default true.
    void setSyncToDisk(bool sync);
    // The mode the file is created with; the umask applies. Default 0666.
    void setCreationMode(mode_t mode);
    // The permission bits the file may have at most, applied after the umask. Default 0777.
    void setModeLimit(mode_t limit);
    // True: a replaced regular file hands on its permission bits (without set-id bits) and, as far
    // as the process may set them, its owner and group; the umask and limit then do not apply.
    // Default true.
    void setKeepReplacedMode(bool keep);

    // Removes debris of the same target, then creates and locks the temporary file. False when it
    // cannot be created; error() says why.
    bool open();
    // The temporary file's descriptor (read and write) between open() and publish(), else -1.
    int descriptor() const;
    // Sets the mode, flushes the file, gives it its name and flushes the directory. False when
    // any step fails (error() says why, targetExists() whether the name was taken); the
    // temporary file is then removed and the target left as it was, except that a failed flush
    // of the directory leaves the new file in place (its entry may not survive a power loss).
    bool publish();
    // Removes the temporary file without publishing it.
    void abandon();

    const std::string& path() const;
    // The temporary file's path while it exists, else "".
    std::string temporaryPath() const;
    std::string error() const;
    bool targetExists() const;
    bool isPublished() const;
    // Paths of the debris that open() removed.
    std::vector<std::string> removedTemporaries() const;

    // The name of a fresh temporary file for the target named `fileName` (a name, not a path).
    static std::string temporaryNameFor(std::string_view fileName);
    // True when `name` is the name of a temporary file of the target named `fileName`.
    static bool isTemporaryNameOf(std::string_view name, std::string_view fileName);
    // Removes the temporary files of the target `path` that no live writer holds; returns their
    // paths. Each removal is logged as a warning.
    static std::vector<std::string> removeStaleTemporaries(const std::string& path);
    // Gives the file `from` the name `to` unless `to` exists (as anything, even a dangling
    // symbolic link): a hard link, then `from` is unlinked. For file systems without
    // renameat2(RENAME_NOREPLACE). False with errno set (EEXIST when `to` exists).
    static bool linkWithoutReplacing(const std::string& from, const std::string& to);

private:
    bool fail(const std::string& text);
    void removeTemporary();
    bool applyMode();
    bool giveName();

    mutable std::recursive_mutex mutex_;
    const std::string path_;
    std::string directory_;
    std::string fileName_;
    std::string temporaryPath_;
    int descriptor_ = -1;
    bool replaceExisting_ = true;
    bool syncToDisk_ = true;
    mode_t creationMode_ = 0666;
    mode_t modeLimit_ = 0777;
    bool keepReplacedMode_ = true;
    bool published_ = false;
    bool targetExists_ = false;
    std::string error_;
    std::vector<std::string> removedTemporaries_;
};
