#include "SealingWorker.h"

#include "KorvalisSealingSession.h"
#include "KorvalisUserSealingKey.h"
#include "SealerSessionMedia.h"

SealingWorker::Job::Job() = default;
SealingWorker::Job::~Job() = default;
SealingWorker::Job::Job(Job&&) noexcept = default;
SealingWorker::Job& SealingWorker::Job::operator=(Job&&) noexcept = default;

SealingWorker::SealingWorker(Job job, FileSystem& fileSystem, SealerReporter reporter)
    : job_(std::move(job)), fileSystem_(fileSystem), reporter_(std::move(reporter)) {}

SealingWorker::~SealingWorker() {
    join();
}

void SealingWorker::start() {
    thread_ = std::thread([this] { run(); });
}

void SealingWorker::join() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

void SealingWorker::run() {
    bool ok = job_.key != nullptr && !job_.ranges.empty();
    if (ok) {
        SealerSessionMedia media(job_.recordingsPath, job_.locationName, job_.date);
        KorvalisSealingSession sealer(media.audio(), media.video(), &media.session(), fileSystem_);
        sealer.setMessageCallback([this](const std::string& text) { reporter_.line(text); });
        sealer.setProgressCallback([this](const std::string* text, int current, int total) {
            if (text != nullptr) {
                reporter_.status(*text);
            }
            if (current >= 0 && total > 0) {
                reporter_.progress(current, total);
            }
        });
        for (const auto& [start, end] : job_.ranges) {
            ok = job_.sealing ? sealer.seal(start, end, *job_.key, job_.archiveLocation)
                              : sealer.unseal(start, end, *job_.key, job_.archiveLocation);
            if (!ok) {
                break;
            }
        }
    }
    job_.key.reset();
    reporter_.done(ok);
}
