#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "KovWriteCallback.h"

class AudioDecoder;
class AudioDecoderGroup;
class CompressedAudioFile;
class CompressedVideoFile;
class FileSystem;
class KorvalisSession;
class VideoDecoder;

// Copies the part of one session that lies in a time range into a new archive tree: the video
// into ROOT/Recordings/000/YYYYMMDD, each audio channel N into ROOT/Recordings/NNN/YYYYMMDD, and
// an empty ROOT/Databases. Files that overlap the range are cut at its ends (the in-range part is
// written straight into the target); files wholly inside are copied whole. Sealed files are left
// out. Every file operation goes through the FileSystem.
//
// Optionally a writer receives every file in chunks instead (the copyFile convention: 2 MiB
// chunks, then one final call per file); nothing is then written by the copier itself.
//
// Threads: copy() holds the session's mutex (shared with the sealing and unsealing runs of the
// same session) for its whole run; the callbacks are called on the copying thread.
class SessionRangeCopier {
public:
    // Text (or null), parts done and number of parts; -1, -1 when there is no count.
    using ProgressCallback = std::function<void(const char* text, int current, int total)>;
    // One line of the log.
    using MessageCallback = std::function<void(const std::string& text)>;

    // Chunk size handed to a writer.
    static constexpr size_t kWriterChunkBytes = 2097152;
    // Files that start or end this close to the range are taken whole.
    static constexpr double kSplitToleranceSeconds = 2.0;
    // How far a cut may land from the time asked for.
    static constexpr float kCutToleranceSeconds = 10.0f;

    struct Date {
        int year = 0;
        int month = 0;
        int day = 0;
    };

    // Everything borrowed: the file system, the decoders (either may be null: nothing of that
    // kind is copied) and the mutex that keeps the runs on this session apart (null: the
    // copier's own).
    SessionRangeCopier(FileSystem& fileSystem, AudioDecoderGroup* audioDecoderGroup,
                       VideoDecoder* videoDecoder, Date sessionDate,
                       std::mutex* sessionMutex = nullptr);
    ~SessionRangeCopier();
    SessionRangeCopier(const SessionRangeCopier&) = delete;
    SessionRangeCopier& operator=(const SessionRangeCopier&) = delete;

    void setProgressCallback(ProgressCallback callback) { progress_ = std::move(callback); }
    void setMessageCallback(MessageCallback callback) { message_ = std::move(callback); }

    // Copies [rangeStart, rangeEnd] (epoch seconds) into the tree below `targetRoot`. True when
    // the video and every audio channel were copied; files already written stay on failure.
    // `writer` and `writerContext` may be null.
    bool copy(double rangeStart, double rangeEnd, const std::string& targetRoot,
              KovWriteCallback writer, void* writerContext);
    bool copyVideoFiles(double rangeStart, double rangeEnd, const std::string& targetRoot,
                        KovWriteCallback writer, void* writerContext);
    bool copyAudioFiles(double rangeStart, double rangeEnd, const std::string& targetRoot,
                        unsigned channel, KovWriteCallback writer, void* writerContext);

    // `source` to `destination`: nothing when they are equal; through the file system without a
    // writer; else in 2 MiB chunks to the writer, then its final call.
    bool copyFile(const std::string& source, const std::string& destination,
                  KovWriteCallback writer, void* writerContext);

    // The day of the session's media files, read from the name of their day directory
    // (RECORDINGS/NNN/YYYYMMDD), for callers that hold a KorvalisSession but not its date. False
    // when the session lists no file or the directory name is no date.
    static bool dateOfSession(const KorvalisSession& session, Date& date);

    // ROOT/Recordings/NNN/YYYYMMDD.
    static std::string dayDirectory(const std::string& targetRoot, unsigned channel, Date date);

private:
    // An in-range part: the directory it lies in and its file name.
    struct Part {
        std::string directory;
        std::string fileName;
    };

    bool splitVideoFile(CompressedVideoFile& file, double rangeStart, double rangeEnd,
                        const std::string& destination, KovWriteCallback writer,
                        void* writerContext, std::vector<Part>& inRange,
                        std::vector<std::string>& outside);
    bool splitAudioFile(CompressedAudioFile& file, double rangeStart, double rangeEnd,
                        const std::string& destination, KovWriteCallback writer,
                        void* writerContext, std::vector<Part>& inRange,
                        std::vector<std::string>& outside);
    // Deletes the outside parts (without a writer) and copies the in-range parts into
    // `destination`.
    bool finishCopies(const std::vector<Part>& inRange, const std::vector<std::string>& outside,
                      const std::string& destination, const char* copyingText,
                      KovWriteCallback writer, void* writerContext);
    // Which of the four cases of the split decision holds, reported by message.
    int splitCase(double fileStart, double fileEnd, double rangeStart, double rangeEnd);
    void makeDirectory(const std::string& path, bool reportFailure);

    void message(const std::string& text);
    void progress(const char* text, int current, int total);

    FileSystem& fileSystem_;
    AudioDecoderGroup* audioDecoderGroup_;
    VideoDecoder* videoDecoder_;
    Date date_;
    std::mutex ownMutex_;
    std::mutex* sessionMutex_;
    ProgressCallback progress_;
    MessageCallback message_;
};
