#pragma once

#include <QObject>
#include <QPointer>
#include <memory>
#include <string>

class FileSystem;
class ProgressDialog;
class QWidget;
class SealerHost;
struct SealerReporter;

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

    // The file operations of the transactions (by default the real file system); `fileSystem`
    // must outlive this object. For tests that break a transaction on purpose.
    void setFileSystem(FileSystem& fileSystem) { fileSystem_ = &fileSystem; }

    // The recordings directory recovery works on: of the open session's archive and the archive
    // roots of the browse location, the first that holds a transaction's work directory, else
    // the first of them; empty when there is none.
    std::string recoveryRecordingsPath() const;

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
    enum class Kind { kSeal, kUnseal, kCopy };
    struct Run;

    // Starts a command: false (nothing to do) while busy; otherwise stops playback.
    bool begin();
    void showProgress();
    SealerReporter reporter(Kind kind);
    void workerDone(Kind kind, bool succeeded);

    SealerHost& host_;
    QWidget* parentWidget_;
    std::unique_ptr<FileSystem> realFileSystem_;
    FileSystem* fileSystem_;
    bool busy_ = false;
    QPointer<ProgressDialog> progress_;
    std::unique_ptr<Run> run_;
    bool autoLoad_ = false;
    std::string copyTarget_;
};
