#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "SessionRangeCopier.h"

class AudioDecoderGroup;
class FileSystem;
class JexSession;
class VideoDecoder;

// The copy worker's job: copies several time segments of one session into a new archive tree,
// one range copy per segment, then writes the copy's session record into the tree's Databases
// directory: "Copy Started" and "Copy Stopped" markers for every segment and, unless excluded,
// the session's own annotations whose time stamps fall inside a segment. Optionally only the
// audio is copied, or the audio is copied into a temporary directory and mixed down by the
// mix-down tool into one channel of the target.
//
// The target must not exist yet and every segment must lie within the session's media; otherwise
// nothing is written. Threads: run() on the worker thread; the callbacks are called on it.
class SessionCopyJob {
public:
    struct Segment {
        double start = 0.0;  // epoch seconds
        double end = 0.0;
    };
    struct Options {
        bool excludeAnnotations = false;
        bool audioOnly = false;
        bool mixDown = false;
    };
    // Starts the mix-down tool at `program` with `arguments` and waits: its exit code, or -1 when
    // it could not be started or did not exit normally.
    using ToolRunner =
        std::function<int(const std::string& program, const std::vector<std::string>& arguments)>;

    static constexpr const char* kMixDownToolName = "KorvalisSessionAudioMixDown";

    // Everything borrowed. `sourceRecord` (may be null: no annotations to copy) is the session's
    // record; `sessionMutex` as for SessionRangeCopier.
    SessionCopyJob(FileSystem& fileSystem, std::string locationName,
                   SessionRangeCopier::Date sessionDate, AudioDecoderGroup* audioDecoderGroup,
                   VideoDecoder* videoDecoder, const JexSession* sourceRecord,
                   std::mutex* sessionMutex = nullptr);
    ~SessionCopyJob();
    SessionCopyJob(const SessionCopyJob&) = delete;
    SessionCopyJob& operator=(const SessionCopyJob&) = delete;

    void setProgressCallback(SessionRangeCopier::ProgressCallback callback);
    void setMessageCallback(SessionRangeCopier::MessageCallback callback);
    // The mix-down tool (default: kMixDownToolName in the program's own directory).
    void setMixDownTool(std::string path) { mixDownTool_ = std::move(path); }
    const std::string& mixDownTool() const { return mixDownTool_; }
    // How the tool is started (default: posix_spawn and waitpid).
    void setToolRunner(ToolRunner runner) { runToolWith_ = std::move(runner); }
    // Where the temporary copies for a mix-down are made (default: the system's temporary path).
    void setTemporaryParent(std::string path) { temporaryParent_ = std::move(path); }

    // Why the segments cannot be copied ("" when they can): none, one that is empty or reversed,
    // two that overlap, or one that holds no media of the session (no audio, with `audioOnly`).
    std::string checkSegments(const std::vector<Segment>& segments, bool audioOnly = false);

    // The whole job into `targetDirectory` (the "Save in" directory joined with the copy name).
    // True when every segment was copied, the mix-down (if asked for) succeeded and the record
    // was written.
    bool run(const std::vector<Segment>& segments, const std::string& targetDirectory,
             const Options& options);

    // The record's file name: "LOCATION~YYYYMMDD.xml".
    std::string recordFileName() const;

    static int spawnAndWait(const std::string& program, const std::vector<std::string>& arguments);

private:
    bool segmentHoldsMedia(const Segment& segment, bool audioOnly);
    bool buildAndWriteRecord(const std::vector<Segment>& segments,
                             const std::string& targetDirectory, bool withAnnotations);
    bool mixDown(const std::string& temporaryCopy, const std::string& targetDirectory);

    void message(const std::string& text);
    void progress(const char* text, int current, int total);

    FileSystem& fileSystem_;
    std::string locationName_;
    SessionRangeCopier::Date date_;
    AudioDecoderGroup* audioDecoderGroup_;
    VideoDecoder* videoDecoder_;
    const JexSession* sourceRecord_;
    std::mutex* sessionMutex_;
    std::string mixDownTool_;
    std::string temporaryParent_;
    ToolRunner runToolWith_;
    SessionRangeCopier::ProgressCallback progress_;
    SessionRangeCopier::MessageCallback message_;
};
