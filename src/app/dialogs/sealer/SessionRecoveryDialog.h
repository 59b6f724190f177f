#pragma once

#include <QDialog>
#include <string>

#include "RecoveryDecision.h"

class FileSystem;
class QListWidget;
class QPushButton;

// "Session Recovery": on opening, decides from what lies in the recordings directory what may
// be done about an interrupted sealing or unsealing transaction and shows every line in the log
// (1004); the action offered enables its button: "Recover Sealing Session" (1024), "Recover
// Unsealing Session" (1026) or "Remove Working Directory" (1025). An action runs on the
// user-interface thread (no transaction runs while the dialog is open), shows its steps and
// result line, and a successful one disables its button. User-interface thread only.
class SessionRecoveryDialog final : public QDialog {
    Q_OBJECT

public:
    // `recordingsPath` (ROOT/Recordings) empty: nothing is configured to recover. `fileSystem`
    // must outlive the dialog.
    SessionRecoveryDialog(const std::string& recordingsPath, FileSystem& fileSystem,
                          QWidget* parent = nullptr);
    ~SessionRecoveryDialog() override;
    SessionRecoveryDialog(const SessionRecoveryDialog&) = delete;
    SessionRecoveryDialog& operator=(const SessionRecoveryDialog&) = delete;

    RecoveryAction offeredAction() const { return decision_.action; }
    // True once an action succeeded: the archive has changed.
    bool changedArchive() const { return changed_; }

    QListWidget* log() const { return log_; }
    QPushButton* recoverSealingButton() const { return recoverSealing_; }
    QPushButton* recoverUnsealingButton() const { return recoverUnsealing_; }
    QPushButton* removeWorkDirectoryButton() const { return removeWorkDirectory_; }
    QPushButton* cancelButton() const { return cancel_; }

private:
    void carryOut(RecoveryAction action, QPushButton* button);
    void appendLine(const std::string& text);

    std::string recordingsPath_;
    FileSystem& fileSystem_;
    RecoveryDecision decision_;
    QListWidget* log_;
    QPushButton* recoverSealing_;
    QPushButton* recoverUnsealing_;
    QPushButton* removeWorkDirectory_;
    QPushButton* cancel_;
    bool changed_ = false;
};
