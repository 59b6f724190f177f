#pragma once

#include <QDialog>

class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;

// The "Progress" dialog of a seal, unseal or copy run: the progress bar (1021), the status text
// (1022), the log (1004) and the button (1023) that reads "Cancel" and stays disabled while the
// run goes on, and becomes "OK" when it has ended. While running the dialog cannot be closed: a
// transaction is never abandoned half-way.
//
// User-interface thread only: workers reach it through queued calls (see SealerCommands).
class ProgressDialog final : public QDialog {
    Q_OBJECT

public:
    explicit ProgressDialog(QWidget* parent = nullptr);
    ~ProgressDialog() override;
    ProgressDialog(const ProgressDialog&) = delete;
    ProgressDialog& operator=(const ProgressDialog&) = delete;

    // Appends one line to the log and scrolls to it.
    void appendLine(const QString& text);
    void setStatus(const QString& text);
    // `current` of `total` steps; ignored unless 0 <= current and 0 < total.
    void setProgress(int current, int total);
    // The run has ended: the button becomes "OK" and is enabled.
    void finish();
    bool isFinished() const { return finished_; }

    QProgressBar* progressBar() const { return bar_; }
    QLabel* statusText() const { return status_; }
    QListWidget* log() const { return log_; }
    QPushButton* button() const { return button_; }
    QStringList logLines() const;

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QProgressBar* bar_;
    QLabel* status_;
    QListWidget* log_;
    QPushButton* button_;
    bool finished_ = false;
};
