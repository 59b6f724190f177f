#pragma once

#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "SealerHost.h"
#include "SealerReporter.h"

class FileSystem;
class KorvalisUserSealingKey;

// The sealing worker: one thread that seals or unseals the ranges of a job, one transaction per
// range in order, stopping at the first failure, on a media set of the open session built on
// that thread. The transaction's messages and progress go to the reporter; the user key is
// destroyed as soon as the transactions are over, before `done`.
class SealingWorker {
public:
    struct Job {
        bool sealing = true;
        std::vector<std::pair<double, double>> ranges;  // epoch seconds
        std::unique_ptr<KorvalisUserSealingKey> key;    // master key uncovered
        std::string archiveLocation;
        std::string recordingsPath;
        std::string locationName;
        SealerHost::Date date;
        Job();
        ~Job();
        Job(Job&&) noexcept;
        Job& operator=(Job&&) noexcept;
    };

    // `fileSystem` must outlive the worker.
    SealingWorker(Job job, FileSystem& fileSystem, SealerReporter reporter);
    // Waits for the thread.
    ~SealingWorker();
    SealingWorker(const SealingWorker&) = delete;
    SealingWorker& operator=(const SealingWorker&) = delete;

    void start();
    // Waits for the thread to end (nothing when it was not started or has been joined).
    void join();

private:
    void run();

    Job job_;
    FileSystem& fileSystem_;
    SealerReporter reporter_;
    std::thread thread_;
};
