#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "CompletionEntry.h"
#include "KovWriteCallback.h"

class AudioDecoder;
class AudioDecoderGroup;
class CompressedAudioFile;
class CompressedVideoFile;
class DecryptionCompleteFile;
class EncryptionCompleteFile;
class FileSystem;
class KorvalisEncryptedMediaFile;
class KorvalisSession;
class KorvalisUserSealingKey;
class VideoDecoder;

// Seals and unseals one time range of a session inside the archive, and finishes or abandons a
// transaction that was interrupted, so that no crash leaves the archive half-changed.
//
// Sealing prepares everything in the work directory "SealingWorkInProgress" of the recordings
// directory (splits at the range boundaries, sealed files), commits by writing the completion
// file, and only then changes the archive from the entries read back from that file. Unsealing
// decrypts the sealed files of the range into the work directory and commits the same way.
// Every file operation of the transactions goes through the FileSystem given at construction.
//
// Threads: seal and unseal hold the object's mutex for their whole run (a worker thread runs
// them); recovery takes no lock (no transaction runs while it is offered). The callbacks are
// called on the thread that runs the operation.
class KorvalisSealingSession {
public:
    // A file that reaches at most this far beyond the range on either side is taken whole.
    static constexpr double kRangeToleranceSeconds = 2.0;
    // How far a split may land from the asked time.
    static constexpr float kSplitToleranceSeconds = 10.0f;
    // Chunk size of copyFile when a writer receives the bytes.
    static constexpr size_t kCopyChunkBytes = 2097152;

    // (text or null, current, total): current = total = -1 means there is only the text.
    using ProgressCallback = std::function<void(const std::string* text, int current, int total)>;
    // One line of the log.
    using MessageCallback = std::function<void(const std::string& text)>;

    // What preparation plans for the archive.
    struct SealingLists {
        std::vector<std::unique_ptr<KorvalisEncryptedMediaFile>> sealedVideoFiles;
        std::vector<std::unique_ptr<KorvalisEncryptedMediaFile>> sealedAudioFiles;
        // source: a clear part in the work directory; destination: its path in the archive
        std::vector<CompletionEntry> videoFilesToCopy;
        std::vector<CompletionEntry> audioFilesToCopy;
        std::vector<std::string> videoFilesToDelete;
        std::vector<std::string> audioFilesToDelete;
        std::vector<std::string> archivedFilesToDelete;
        SealingLists();
        ~SealingLists();
        SealingLists(SealingLists&&) noexcept;
        SealingLists& operator=(SealingLists&&) noexcept;
    };

    // All borrowed: the decoders and session must outlive this object. Either decoder may be
    // null (a session without audio or without video).
    KorvalisSealingSession(AudioDecoderGroup* audioDecoderGroup, VideoDecoder* videoDecoder,
                           KorvalisSession* session, FileSystem& fileSystem);
    ~KorvalisSealingSession();
    KorvalisSealingSession(const KorvalisSealingSession&) = delete;
    KorvalisSealingSession& operator=(const KorvalisSealingSession&) = delete;

    // Either may be empty; then nothing is reported through it.
    void setProgressCallback(ProgressCallback callback);
    void setMessageCallback(MessageCallback callback);

    // Seals [rangeStart, rangeEnd] (epoch seconds) with the master key `key` has uncovered.
    // `archiveLocation` is the root of a second archive holding copies of the session's files
    // (their copies of processed files are deleted), or empty. True when the whole transaction
    // completed. A failure before the commit leaves the archive untouched.
    bool seal(double rangeStart, double rangeEnd, const KorvalisUserSealingKey& key,
              const std::string& archiveLocation);
    // Unseals every sealed file lying entirely inside [rangeStart, rangeEnd] widened by
    // kRangeToleranceSeconds on both sides (how far sealing the same range may reach).
    bool unseal(double rangeStart, double rangeEnd, const KorvalisUserSealingKey& key,
                const std::string& archiveLocation);
    // Copies [rangeStart, rangeEnd] of the session's clear media into the archive tree below
    // `targetRoot` (see SessionRangeCopier), under the same mutex as sealing and unsealing, with
    // this object's callbacks. `writer` (may be null) receives the files instead of the disk.
    bool copy(double rangeStart, double rangeEnd, const std::string& targetRoot,
              KovWriteCallback writer, void* writerContext);

    // Completes a committed sealing or unsealing transaction found under `recordingsPath`,
    // reporting every step through `messages` (may be empty).
    bool recoverSealing(const std::string& recordingsPath, const MessageCallback& messages);
    bool recoverUnsealing(const std::string& recordingsPath, const MessageCallback& messages);

    // The split decision for one file: splits it at the range boundaries into `workDirectory`
    // (or takes it whole) and adds what that plans to `lists`. `copying` selects the split modes
    // that write only the in-range part (copying a range) instead of every part (sealing).
    bool processSplittingForOneVideoFile(CompressedVideoFile& file, double rangeStart,
                                         double rangeEnd, const std::string& workDirectory,
                                         SealingLists& lists, bool copying, KovWriteCallback writer,
                                         void* writerContext);
    bool processSplittingForOneAudioFile(CompressedAudioFile& file, double rangeStart,
                                         double rangeEnd, const std::string& workDirectory,
                                         SealingLists& lists, bool copying, KovWriteCallback writer,
                                         void* writerContext);

    // Copies `entry.source` to `entry.destination`. Without a writer the copy appears whole under
    // its name, flushed, and never replaces a file (see FileSystem::copyFile). With a writer the
    // bytes go to it in chunks of kCopyChunkBytes, then one final call with no data.
    bool copyFile(const CompletionEntry& entry, KovWriteCallback writer, void* writerContext);

    // The mutex that keeps the sealing, unsealing and copy runs of this session apart; a copy
    // job holds it for its whole run (and must not run from inside seal or unseal).
    std::mutex& runMutex() { return mutex_; }

    // Removes `directory` and everything below it; false at the first failure.
    bool deleteDirectoryRecursively(const std::string& directory);

    // Whether the work directory and the two completion files exist under `recordingsPath`.
    bool testWorkDirectory(const std::string& recordingsPath, bool& workDirectoryExists,
                           bool& sealingCompletionFileExists, bool& unsealingCompletionFileExists);

    // Carries out the entries of a completion file. An entry already carried out counts as
    // done; a move never replaces a file. False when an entry could not be carried out (the
    // others still are). `messages` may be empty.
    bool completeSealing(const EncryptionCompleteFile& completion, KovWriteCallback writer,
                         void* writerContext, const MessageCallback& messages);
    bool completeUnsealing(const DecryptionCompleteFile& completion,
                           const MessageCallback& messages);

private:
    // What one split decision produced: the processed file, its in-range part ("" when the cut
    // left nothing in range) and the clear parts outside the range, all closed.
    struct SplitResult {
        std::string processedPath;
        std::string inRangePath;
        double inRangeStart = 0.0;
        double inRangeEnd = 0.0;
        std::vector<std::string> outsidePaths;
    };

    // Creates the work directory, or accepts an empty one; refuses one holding files (an
    // unfinished transaction). `created` tells whether this run made it.
    bool prepareWorkDirectory(const std::string& workDirectory, bool& created);
    bool sealVideoFiles(double rangeStart, double rangeEnd, const KorvalisUserSealingKey& key,
                        const std::string& workDirectory, SealingLists& lists);
    bool sealAudioFiles(double rangeStart, double rangeEnd, const KorvalisUserSealingKey& key,
                        const std::string& workDirectory, SealingLists& lists);
    bool sealAudioFilesOfChannel(AudioDecoder& decoder, double rangeStart, double rangeEnd,
                                 const KorvalisUserSealingKey& key,
                                 const std::string& workDirectory, SealingLists& lists);
    // Encrypts the sealed files from `first` on; reports per-file lines and progress.
    bool encryptSealedFiles(std::vector<std::unique_ptr<KorvalisEncryptedMediaFile>>& files,
                            size_t first, const KorvalisUserSealingKey& key);
    bool recordSplit(const SplitResult& result, const std::string& workDirectory, bool video,
                     SealingLists& lists);
    // The move of a sealed file from the work directory to its original directory.
    static CompletionEntry moveEntryFor(const KorvalisEncryptedMediaFile& sealed);
    // Flushes the clear parts to be copied back, and the work directory, to disk.
    bool syncPreparedFiles(const SealingLists& lists, const std::string& workDirectory);
    // Decrypts each sealed file into the work directory; the first failure ends the loop.
    bool unsealFiles(const std::vector<std::string>& sealedPaths, const char* unsealingText,
                     const KorvalisUserSealingKey& key, const std::string& workDirectory,
                     std::vector<std::string>& encryptedToDelete,
                     std::vector<CompletionEntry>& moves);

    // True only when `path` surely does not exist (its directory can be read).
    bool isKnownAbsent(const std::string& path);
    bool deleteEntry(const std::string& path, const std::string& messagePrefix,
                     const MessageCallback& messages);
    bool moveEntry(const CompletionEntry& entry, const MessageCallback& messages);
    bool copyEntry(const CompletionEntry& entry, KovWriteCallback writer, void* writerContext,
                   const MessageCallback& messages);
    bool sameContents(const std::string& first, const std::string& second);
    bool removeSealingCopySources(const EncryptionCompleteFile& completion);

    void message(const std::string& text);
    void progress(const std::string* text, int current, int total);

    std::mutex mutex_;
    AudioDecoderGroup* audioDecoderGroup_;
    VideoDecoder* videoDecoder_;
    KorvalisSession* session_;
    FileSystem& fileSystem_;
    std::string archiveLocation_;
    ProgressCallback progressCallback_;
    MessageCallback messageCallback_;
};
