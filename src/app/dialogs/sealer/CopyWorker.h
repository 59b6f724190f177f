#pragma once

#include <string>
#include <thread>
#include <vector>

#include "SealerHost.h"
#include "SealerReporter.h"
#include "SessionCopyJob.h"

class FileSystem;

// The copy worker: one thread that copies the segments of the open session into a new archive
// tree with SessionCopyJob (segments, the copy's record with its annotations, the mix-down),
// on a media set of the session built on that thread. Messages and progress go to the
// reporter.
class CopyWorker {
public:
    struct Job {
        std::vector<SessionCopyJob::Segment> segments;
        std::string targetDirectory;  // the "Save in" directory joined with the copy's name
        SessionCopyJob::Options options;
        std::string mixDownTool;
        std::string recordingsPath;
        std::string locationName;
        SealerHost::Date date;
    };

    // `fileSystem` must outlive the worker.
    CopyWorker(Job job, FileSystem& fileSystem, SealerReporter reporter);
    // Waits for the thread.
    ~CopyWorker();
    CopyWorker(const CopyWorker&) = delete;
    CopyWorker& operator=(const CopyWorker&) = delete;

    void start();
    void join();

private:
    void run();
    bool copy();

    Job job_;
    FileSystem& fileSystem_;
    SealerReporter reporter_;
    std::thread thread_;
};
