#include "SessionRecoveryDialog.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "FileSystem.h"
#include "KorvalisSealingSession.h"
#include "TransactionScope.h"

SessionRecoveryDialog::SessionRecoveryDialog(const std::string& recordingsPath,
                                             FileSystem& fileSystem, QWidget* parent)
    : QDialog(parent),
      recordingsPath_(recordingsPath),
      fileSystem_(fileSystem),
      log_(new QListWidget(this)),
      recoverSealing_(new QPushButton(QStringLiteral("Recover Sealing Session"), this)),
      recoverUnsealing_(new QPushButton(QStringLiteral("Recover Unsealing Session"), this)),
      removeWorkDirectory_(new QPushButton(QStringLiteral("Remove Working Directory"), this)),
      cancel_(new QPushButton(QStringLiteral("Cancel"), this)) {
    setWindowTitle(QStringLiteral("Session Recovery"));
    log_->setObjectName(QStringLiteral("1004"));
    log_->setSelectionMode(QAbstractItemView::NoSelection);
    recoverSealing_->setObjectName(QStringLiteral("1024"));
    recoverUnsealing_->setObjectName(QStringLiteral("1026"));
    removeWorkDirectory_->setObjectName(QStringLiteral("1025"));
    cancel_->setObjectName(QStringLiteral("2"));
    for (QPushButton* button : {recoverSealing_, recoverUnsealing_, removeWorkDirectory_}) {
        button->setEnabled(false);
    }

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(log_, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(recoverSealing_);
    buttons->addWidget(recoverUnsealing_);
    buttons->addWidget(removeWorkDirectory_);
    buttons->addStretch(1);
    buttons->addWidget(cancel_);
    layout->addLayout(buttons);
    resize(640, 320);

    connect(recoverSealing_, &QPushButton::clicked, this,
            [this] { carryOut(RecoveryAction::kRecoverSealing, recoverSealing_); });
    connect(recoverUnsealing_, &QPushButton::clicked, this,
            [this] { carryOut(RecoveryAction::kRecoverUnsealing, recoverUnsealing_); });
    connect(removeWorkDirectory_, &QPushButton::clicked, this,
            [this] { carryOut(RecoveryAction::kRemoveWorkDirectory, removeWorkDirectory_); });
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

    if (recordingsPath_.empty()) {
        appendLine(
            "Error!  No recordings path configured.  Can't attempt recovery with a recordings "
            "path.");
        return;
    }
    decision_ = RecoveryDecision::decide(recordingsPath_, fileSystem_);
    for (const std::string& line : decision_.lines) {
        appendLine(line);
    }
    switch (decision_.action) {
        case RecoveryAction::kRecoverSealing:
            recoverSealing_->setEnabled(true);
            break;
        case RecoveryAction::kRecoverUnsealing:
            recoverUnsealing_->setEnabled(true);
            break;
        case RecoveryAction::kRemoveWorkDirectory:
            removeWorkDirectory_->setEnabled(true);
            break;
        case RecoveryAction::kNone:
            break;
    }
}

SessionRecoveryDialog::~SessionRecoveryDialog() = default;

void SessionRecoveryDialog::appendLine(const std::string& text) {
    log_->addItem(QString::fromStdString(text));
    log_->scrollToBottom();
}

void SessionRecoveryDialog::carryOut(RecoveryAction action, QPushButton* button) {
    const auto messages = [this](const std::string& text) { appendLine(text); };
    KorvalisSealingSession session(nullptr, nullptr, nullptr, fileSystem_);
    bool succeeded = false;
    switch (action) {
        case RecoveryAction::kRecoverSealing:
            succeeded = session.recoverSealing(recordingsPath_, messages);
            break;
        case RecoveryAction::kRecoverUnsealing:
            succeeded = session.recoverUnsealing(recordingsPath_, messages);
            break;
        case RecoveryAction::kRemoveWorkDirectory:
            succeeded =
                fileSystem_.removeRecursively(TransactionScope(recordingsPath_).workDirectory());
            break;
        case RecoveryAction::kNone:
            return;
    }
    appendLine(RecoveryDecision::resultLine(action, succeeded));
    if (succeeded) {
        button->setEnabled(false);
        changed_ = true;
    }
}
