#include "CopyWorker.h"

#include "JexSession.h"
#include "SealerSessionMedia.h"

CopyWorker::CopyWorker(Job job, FileSystem& fileSystem, SealerReporter reporter)
    : job_(std::move(job)), fileSystem_(fileSystem), reporter_(std::move(reporter)) {}

CopyWorker::~CopyWorker() {
    join();
}

void CopyWorker::start() {
    thread_ = std::thread([this] { run(); });
}

void CopyWorker::join() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

void CopyWorker::run() {
    const bool ok = copy();
    if (!ok) {
        reporter_.status("Copy FAILED!");
    }
    // The session's files are closed by now.
    reporter_.done(ok);
}

bool CopyWorker::copy() {
    SealerSessionMedia media(job_.recordingsPath, job_.locationName, job_.date);
    const JexSession* record = nullptr;
    if (!job_.options.excludeAnnotations) {
        std::string error;
        if (!media.loadRecord(error)) {
            reporter_.line("Error!  The session record cannot be read: " + error);
            reporter_.line("Copy FAILED!");
            return false;
        }
        record = media.record();
    }
    SessionCopyJob job(fileSystem_, job_.locationName,
                       SessionRangeCopier::Date{job_.date.year, job_.date.month, job_.date.day},
                       media.audio(), media.video(), record);
    job.setMixDownTool(job_.mixDownTool);
    bool saidFailed = false;
    job.setMessageCallback([this, &saidFailed](const std::string& text) {
        saidFailed = text == "Copy FAILED!";
        reporter_.line(text);
    });
    job.setProgressCallback([this](const char* text, int current, int total) {
        if (text != nullptr) {
            reporter_.status(text);
        }
        if (current >= 0 && total > 0) {
            reporter_.progress(current, total);
        }
    });
    const bool ok = job.run(job_.segments, job_.targetDirectory, job_.options);
    // The job says so itself only for failures once the copying began.
    if (!ok && !saidFailed) {
        reporter_.line("Copy FAILED!");
    }
    return ok;
}
