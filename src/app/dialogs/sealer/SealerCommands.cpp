#include "SealerCommands.h"

#include <QWidget>

#include "ArchiveSessionSet.h"
#include "CopyDialog.h"
#include "CopyWorker.h"
#include "KorvalisUserSealingKey.h"
#include "ProgressDialog.h"
#include "RealFileSystem.h"
#include "RecordSealingDialog.h"
#include "RecordUnsealingDialog.h"
#include "SealerHost.h"
#include "SealerReporter.h"
#include "SealerSessionMedia.h"
#include "SealingWorker.h"
#include "SessionRecoveryDialog.h"
#include "TransactionScope.h"

namespace {
// The shortest range the sealer seals.
constexpr double kMinimumSealingSeconds = 0.9;
}  // namespace

struct SealerCommands::Run {
    std::unique_ptr<SealingWorker> sealing;
    std::unique_ptr<CopyWorker> copy;
};

SealerCommands::SealerCommands(SealerHost& host, QWidget* parentWidget, QObject* parent)
    : QObject(parent),
      host_(host),
      parentWidget_(parentWidget),
      realFileSystem_(std::make_unique<RealFileSystem>()),
      fileSystem_(realFileSystem_.get()) {}

SealerCommands::~SealerCommands() {
    // The workers post to this object until they end; the posts still queued are dropped with
    // it.
    run_.reset();
}

ProgressDialog* SealerCommands::progressDialog() const {
    return progress_.data();
}

bool SealerCommands::begin() {
    if (busy_) {
        return false;
    }
    host_.stopPlayback();
    return true;
}

void SealerCommands::sealSelectedRange() {
    if (!begin() || !host_.hasOpenSession()) {
        return;
    }
    busy_ = true;
    RecordSealingDialog dialog(host_, parentWidget_);
    if (dialog.exec() != QDialog::Accepted || !host_.hasOpenSession() ||
        dialog.rangeEnd() - dialog.rangeStart() < kMinimumSealingSeconds) {
        busy_ = false;
        return;
    }
    SealingWorker::Job job;
    job.sealing = true;
    job.ranges = {{dialog.rangeStart(), dialog.rangeEnd()}};
    job.key = dialog.takeKey();
    job.archiveLocation = dialog.archiveLocation();
    job.recordingsPath = host_.sessionRecordingsPath();
    job.locationName = host_.sessionLocationName();
    job.date = host_.sessionDate();
    showProgress();
    run_ = std::make_unique<Run>();
    run_->sealing =
        std::make_unique<SealingWorker>(std::move(job), *fileSystem_, reporter(Kind::kSeal));
    run_->sealing->start();
}

void SealerCommands::unseal() {
    if (!begin() || !host_.hasOpenSession()) {
        return;
    }
    busy_ = true;
    RecordUnsealingDialog dialog(host_, parentWidget_);
    if (dialog.exec() != QDialog::Accepted || !host_.hasOpenSession() || dialog.ranges().empty()) {
        busy_ = false;
        return;
    }
    SealingWorker::Job job;
    job.sealing = false;
    job.ranges = dialog.ranges();
    job.key = dialog.takeKey();
    job.archiveLocation = dialog.archiveLocation();
    job.recordingsPath = host_.sessionRecordingsPath();
    job.locationName = host_.sessionLocationName();
    job.date = host_.sessionDate();
    showProgress();
    run_ = std::make_unique<Run>();
    run_->sealing =
        std::make_unique<SealingWorker>(std::move(job), *fileSystem_, reporter(Kind::kUnseal));
    run_->sealing->start();
}

void SealerCommands::recoverSealingSession() {
    if (!begin()) {
        return;
    }
    busy_ = true;
    SessionRecoveryDialog dialog(recoveryRecordingsPath(), *fileSystem_, parentWidget_);
    dialog.exec();
    if (dialog.changedArchive() && host_.hasOpenSession()) {
        host_.reloadSession();
    }
    busy_ = false;
}

void SealerCommands::copySelectedRange() {
    if (!begin() || !host_.hasOpenSession()) {
        return;
    }
    busy_ = true;
    CopyDialog dialog(host_, parentWidget_);
    if (dialog.exec() != QDialog::Accepted || !host_.hasOpenSession()) {
        busy_ = false;
        return;
    }
    CopyWorker::Job job;
    job.segments = dialog.segments();
    job.targetDirectory = dialog.targetDirectory();
    job.options = dialog.options();
    job.mixDownTool = CopyDialog::mixDownToolPath(host_.programDirectory());
    job.recordingsPath = host_.sessionRecordingsPath();
    job.locationName = host_.sessionLocationName();
    job.date = host_.sessionDate();
    autoLoad_ = dialog.autoLoad() && !job.options.mixDown;
    copyTarget_ = job.targetDirectory;
    showProgress();
    run_ = std::make_unique<Run>();
    run_->copy = std::make_unique<CopyWorker>(std::move(job), *fileSystem_, reporter(Kind::kCopy));
    run_->copy->start();
}

std::string SealerCommands::recoveryRecordingsPath() const {
    std::vector<std::string> candidates;
    const auto add = [&candidates](const std::string& recordingsPath) {
        const std::string clean = SealerSessionMedia::cleanRecordingsPath(recordingsPath);
        if (std::find(candidates.begin(), candidates.end(), clean) == candidates.end()) {
            candidates.push_back(clean);
        }
    };
    if (host_.hasOpenSession() && !host_.sessionRecordingsPath().empty()) {
        add(host_.sessionRecordingsPath());
    }
    const std::string browse = host_.browseLocation();
    if (!browse.empty()) {
        const ArchiveSessionSet archives(browse);
        for (const std::string& root : archives.archiveRoots()) {
            add(archives.recordingsPath(root));
        }
        if (candidates.empty() && browse.find(';') == std::string::npos) {
            add(browse + "/Recordings");
        }
    }
    for (const std::string& candidate : candidates) {
        if (fileSystem_->isDirectory(TransactionScope(candidate).workDirectory())) {
            return candidate;
        }
    }
    return candidates.empty() ? std::string() : candidates.front();
}

void SealerCommands::showProgress() {
    if (progress_ != nullptr) {
        delete progress_.data();
    }
    progress_ = new ProgressDialog(parentWidget_);
    progress_->setAttribute(Qt::WA_DeleteOnClose);
    progress_->setWindowModality(Qt::WindowModal);
    progress_->show();
}

SealerReporter SealerCommands::reporter(Kind kind) {
    // Called on the worker's thread: every change is queued to this object, which lives on the
    // user-interface thread and outlives the worker (its destructor joins it).
    SealerReporter reporter;
    reporter.line = [this](const std::string& text) {
        QMetaObject::invokeMethod(
            this,
            [this, line = QString::fromStdString(text)] {
                if (progress_ != nullptr) {
                    progress_->appendLine(line);
                }
            },
            Qt::QueuedConnection);
    };
    reporter.status = [this](const std::string& text) {
        QMetaObject::invokeMethod(
            this,
            [this, status = QString::fromStdString(text)] {
                if (progress_ != nullptr) {
                    progress_->setStatus(status);
                }
            },
            Qt::QueuedConnection);
    };
    reporter.progress = [this](int current, int total) {
        QMetaObject::invokeMethod(
            this,
            [this, current, total] {
                if (progress_ != nullptr) {
                    progress_->setProgress(current, total);
                }
            },
            Qt::QueuedConnection);
    };
    reporter.done = [this, kind](bool succeeded) {
        QMetaObject::invokeMethod(
            this, [this, kind, succeeded] { workerDone(kind, succeeded); }, Qt::QueuedConnection);
    };
    return reporter;
}

void SealerCommands::workerDone(Kind kind, bool succeeded) {
    run_.reset();
    ProgressDialog* progress = progress_.data();
    const auto line = [progress](const QString& text) {
        if (progress != nullptr) {
            progress->appendLine(text);
        }
    };
    const auto status = [progress](const QString& text) {
        if (progress != nullptr) {
            progress->setStatus(text);
        }
    };
    if (kind == Kind::kCopy) {
        if (succeeded && autoLoad_) {
            status(QStringLiteral("Loading new session"));
            line(QStringLiteral("Loading new session for verification ..."));
            if (!host_.openSession(copyTarget_, host_.sessionLocationName(), host_.sessionDate())) {
                line(QStringLiteral("Error!  The copied session could not be opened."));
                status(QStringLiteral("Loading FAILED!"));
            }
        }
    } else {
        line(QStringLiteral("Reloading session ..."));
        status(QStringLiteral("Reloading session ..."));
        const bool reloaded = host_.reloadSession();
        if (!reloaded) {
            line(QStringLiteral("Error!  The session could not be reloaded."));
        }
        if (!succeeded) {
            const QString failed = kind == Kind::kSeal ? QStringLiteral("Sealing FAILED!")
                                                       : QStringLiteral("Unsealing FAILED!");
            line(failed + QStringLiteral("  If a working directory is left, use Recover Sealing "
                                         "Session."));
            status(failed);
        } else if (reloaded) {
            line(QStringLiteral("Reload Complete!"));
            status(QStringLiteral("Reload Complete"));
        } else {
            status(QStringLiteral("Reload FAILED!"));
        }
    }
    if (progress != nullptr) {
        progress->finish();
    }
    busy_ = false;
    emit runFinished(succeeded);
}
