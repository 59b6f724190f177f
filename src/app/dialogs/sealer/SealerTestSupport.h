#pragma once

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

#include "SealerHost.h"
#include "TemporaryDirectory.h"

// A main window as the sealer commands see it, over a sample archive: one session of COURT1 on
// 2010-03-15 from 09:00:00 UTC, six minutes of three channels and video in two-minute files;
// the location's clock is UTC unless set otherwise. Its sealed ranges are read from the disk on
// every call, as a reload would show them.
class FakeSealerHost final : public SealerHost {
public:
    static constexpr const char* kLocation = "COURT1";
    static constexpr const char* kPassphrase = "correct horse";
    // 2010-03-15 09:00:00 UTC.
    static constexpr double kSessionStart = 1268643600.0;
    static constexpr double kSessionSeconds = 360.0;

    FakeSealerHost();

    // False (with a test failure) when the archive or key could not be made.
    bool isReady() const { return ready_; }
    const std::string& root() const { return root_; }
    std::string recordingsPath() const { return root_ + "/Recordings"; }
    // A key file whose passphrase is kPassphrase (few iterations: cheap to uncover).
    const std::string& keyFile() const { return keyFile_; }
    // An empty second archive (Databases and Recordings).
    const std::string& secondArchive() const { return secondArchive_; }
    const TemporaryDirectory& scratch() const { return scratch_; }

    // Sealed and unsealed media files under the session's recordings.
    int sealedFileCount() const;
    int clearFileCount() const;

    std::string browseLocation() const override { return browseLocation_; }
    bool hasOpenSession() const override { return open_; }
    std::string sessionLocationName() const override { return kLocation; }
    Date sessionDate() const override { return Date{2010, 3, 15}; }
    std::string sessionArchiveRoot() const override { return root_; }
    std::string sessionRecordingsPath() const override { return recordingsPath(); }
    int32_t locationOffsetSecondsAt(double epochSeconds) const override;
    bool selectedRange(double& start, double& end) const override;
    void setSelectedRange(double start, double end) override;
    std::vector<TimeRange> sealedRanges() const override;
    void stopPlayback() override { ++stops; }
    bool reloadSession() override;
    bool openSession(const std::string& archiveRoot, const std::string& locationName,
                     const Date& date) override;
    std::string programDirectory() const override { return programDirectory_; }

    // What the commands did to the window.
    int stops = 0;
    int reloads = 0;
    std::vector<std::string> openedRoots;
    // Set by tests.
    bool open_ = true;
    bool hasSelection_ = false;
    double selectionStart_ = 0.0;
    double selectionEnd_ = 0.0;
    int32_t offsetSeconds_ = 0;
    std::string browseLocation_;
    std::string programDirectory_;

private:
    TemporaryDirectory scratch_{"sealer-dialogs-"};
    std::string root_;
    std::string keyFile_;
    std::string secondArchive_;
    bool ready_ = false;
};

// Runs `action` on the first modal dialog of type D once it is shown (polling from the event
// loop of the exec() that shows it). Call before the code that opens the dialog.
template <class D>
void whenModalShown(std::function<void(D&)> action, int attemptsLeft = 500) {
    QTimer::singleShot(10, [action = std::move(action), attemptsLeft]() mutable {
        if (auto* dialog = qobject_cast<D*>(QApplication::activeModalWidget())) {
            action(*dialog);
        } else if (attemptsLeft > 0) {
            whenModalShown<D>(std::move(action), attemptsLeft - 1);
        }
    });
}

// Records the sealer's message boxes instead of showing them, while it lives.
class RecordedPrompts {
public:
    RecordedPrompts();
    ~RecordedPrompts();
    RecordedPrompts(const RecordedPrompts&) = delete;
    RecordedPrompts& operator=(const RecordedPrompts&) = delete;

    struct Message {
        QString caption;
        QString text;
    };
    std::vector<Message> messages;
    // What the folder and file choosers answer.
    QString chosenPath;
};
