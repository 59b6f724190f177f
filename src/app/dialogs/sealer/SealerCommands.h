#pragma once

#include <QObject>
#include <QPointer>
#include <memory>

class ProgressDialog;
class QWidget;
class SealerHost;

// The sealer menu and the copy command of the main window: "Seal Selected Range", "Unseal",
// "Recover Sealing Session" and "Copy" / "Copy Selected Range". Each command stops playback,
// shows its dialog and, on OK, runs its transaction on a worker thread of its own while a
// "Progress" dialog shows the transaction's messages; the window stays responsive. After a
// seal or unseal the open session is reloaded through the host; a copy may be opened instead.
//
// One run at a time: a command given while a dialog of this object is open or a worker still
// runs does nothing. The object lives on the user-interface thread; destroying it waits for a
// running worker to end (a transaction is never abandoned half-way).
class SealerCommands final : public QObject {
    Q_OBJECT

public:
    // `host` and `parentWidget` (the dialogs' parent) must outlive this object.
    SealerCommands(SealerHost& host, QWidget* parentWidget, QObject* parent = nullptr);
    ~SealerCommands() override;
    SealerCommands(const SealerCommands&) = delete;
    SealerCommands& operator=(const SealerCommands&) = delete;

    // True while a command's dialog is open or its worker runs.
    bool isBusy() const { return busy_; }
    // The progress dialog of the last run (null before the first); it stays open until the user
    // closes it with "OK".
    ProgressDialog* progressDialog() const;

public slots:
    // "Seal Selected Range": needs an open session; runs only for a range of at least 0.9 s.
    void sealSelectedRange();
    // "Unseal": needs an open session; one unsealing run per range chosen.
    void unseal();
    // "Recover Sealing Session": works on the open session's archive, or on the browse location
    // without a session.
    void recoverSealingSession();
    // "Copy" / "Copy Selected Range": needs an open session.
    void copySelectedRange();

signals:
    // A worker's run ended (after the reload or auto-load); `succeeded` only when every
    // transaction of the run succeeded.
    void runFinished(bool succeeded);

private:
    class BusyGuard;
    struct Run;

    void startSealingRun(bool sealing, std::unique_ptr<Run> run);
    void startCopyRun(std::unique_ptr<Run> run);
    void workerDone(bool succeeded);
    ProgressDialog* newProgressDialog();

    SealerHost& host_;
    QWidget* parentWidget_;
    bool busy_ = false;
    QPointer<ProgressDialog> progress_;
    std::unique_ptr<Run> run_;
};
