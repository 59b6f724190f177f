// The sealer commands end to end on a sample archive: the dialogs driven as a user drives them,
// the transactions on their worker threads, the progress dialog's log, the reload through the
// window, an interrupted run and its recovery, and a copy of two segments with auto-load.

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimeEdit>
#include <QtTest>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "CopyDialog.h"
#include "CopyNameDialog.h"
#include "FaultInjectingFileSystem.h"
#include "ProgressDialog.h"
#include "RealFileSystem.h"
#include "RecordSealingDialog.h"
#include "RecordUnsealingDialog.h"
#include "SealerCommands.h"
#include "SealerTestSupport.h"
#include "SessionRecoveryDialog.h"
#include "TransactionScope.h"

namespace fs = std::filesystem;

namespace {

constexpr int kRunTimeoutMs = 120000;

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// The clear audio of every channel, each channel's files concatenated in time order.
std::vector<std::string> clearAudio(const FakeSealerHost& host) {
    std::vector<std::string> channels;
    for (int channel = 0; channel < 3; ++channel) {
        char relative[64];
        std::snprintf(relative, sizeof relative, "/%03d/20100315", channel);
        std::vector<std::string> paths;
        for (const auto& entry : fs::directory_iterator(host.recordingsPath() + relative)) {
            if (entry.path().extension() == ".mp3") {
                paths.push_back(entry.path().string());
            }
        }
        std::sort(paths.begin(), paths.end());
        std::string bytes;
        for (const std::string& path : paths) {
            bytes += readFile(path);
        }
        channels.push_back(bytes);
    }
    return channels;
}

void fillKey(UserKeyFields& fields, const FakeSealerHost& host) {
    fields.keyFileEdit()->setText(QString::fromStdString(host.keyFile()));
    QTest::keyClicks(fields.passphraseEdit(), QString::fromLatin1(FakeSealerHost::kPassphrase));
    QTest::mouseClick(fields.validateButton(), Qt::LeftButton);
    fields.archiveLocationEdit()->setText(QString::fromStdString(host.secondArchive()));
}

// Seals the host's selection through the dialog as a user does.
void driveSealing(const FakeSealerHost& host) {
    whenModalShown<RecordSealingDialog>([&host](RecordSealingDialog& dialog) {
        fillKey(dialog.fields(), host);
        QTest::mouseClick(dialog.sealButton(), Qt::LeftButton);
        QTest::mouseClick(dialog.confirmButton(), Qt::LeftButton);
    });
}

bool anyLineContains(const QStringList& lines, const QString& text) {
    return std::any_of(lines.begin(), lines.end(),
                       [&text](const QString& line) { return line.contains(text); });
}

// Opens a command and notes whether a dialog of type D came up (it is then cancelled).
template <class D>
bool commandOpensDialog(const std::function<void()>& command) {
    auto opened = std::make_shared<bool>(false);
    whenModalShown<D>(
        [opened](D& dialog) {
            *opened = true;
            dialog.reject();
        },
        20);
    command();
    QTest::qWait(300);
    return *opened;
}

}  // namespace

class SealerCommandsThreadTest final : public QObject {
    Q_OBJECT

private slots:
    void sealUnsealAndRecoverThroughTheDialogs();
    void interruptedSealingIsReportedAndRecovered();
    void copyOfTwoSegmentsIsWrittenAndLoaded();
    void failedCopyIsReportedAndNotLoaded();
    void mixedCopyRunsTheToolBesideTheProgram();
    void commandsNeedASessionAndRunOneAtATime();
};

void SealerCommandsThreadTest::sealUnsealAndRecoverThroughTheDialogs() {
    FakeSealerHost host;
    QVERIFY(host.isReady());
    const std::vector<std::string> audioBefore = clearAudio(host);
    const int clearBefore = host.clearFileCount();
    QWidget window;
    SealerCommands commands(host, &window);
    QSignalSpy finished(&commands, &SealerCommands::runFinished);

    const double start = FakeSealerHost::kSessionStart;
    host.setSelectedRange(start + 60, start + 150);
    driveSealing(host);
    commands.sealSelectedRange();
    QCOMPARE(host.stops, 1);
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, kRunTimeoutMs);
    QCOMPARE(finished.at(0).at(0).toBool(), true);
    QVERIFY(!commands.isBusy());

    ProgressDialog* progress = commands.progressDialog();
    QVERIFY(progress != nullptr);
    QCOMPARE(progress->windowTitle(), QStringLiteral("Progress"));
    const QStringList sealLog = progress->logLines();
    QCOMPARE(sealLog.first(), QStringLiteral("Starting sealing process ..."));
    QVERIFY(sealLog.contains(QStringLiteral("Reloading session ...")));
    QCOMPARE(sealLog.last(), QStringLiteral("Reload Complete!"));
    QCOMPARE(progress->statusText()->text(), QStringLiteral("Reload Complete"));
    QCOMPARE(progress->button()->text(), QStringLiteral("OK"));
    QVERIFY(progress->button()->isEnabled());
    QCOMPARE(host.reloads, 1);
    QVERIFY(host.sealedFileCount() > 0);
    const std::vector<TimeRange> sealed = host.sealedRanges();
    QCOMPARE(sealed.size(), size_t{1});
    QVERIFY(sealed[0].start <= start + 60 + 2 && sealed[0].end >= start + 150 - 2);
    QVERIFY(audioBefore != clearAudio(host));
    QTest::mouseClick(progress->button(), Qt::LeftButton);
    QTRY_VERIFY(commands.progressDialog() == nullptr);

    // Unsealing the range listed restores the clear media.
    whenModalShown<RecordUnsealingDialog>([&host](RecordUnsealingDialog& dialog) {
        QCOMPARE(dialog.rangeList()->count(), 1);
        QVERIFY(dialog.rangeList()->item(0)->text().startsWith(QStringLiteral("Range 9:0")));
        dialog.rangeList()->item(0)->setSelected(true);
        fillKey(dialog.fields(), host);
        QTest::mouseClick(dialog.unsealButton(), Qt::LeftButton);
        QTest::mouseClick(dialog.confirmButton(), Qt::LeftButton);
    });
    commands.unseal();
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 2, kRunTimeoutMs);
    QCOMPARE(finished.at(1).at(0).toBool(), true);
    QCOMPARE(commands.progressDialog()->logLines().first(),
             QStringLiteral("Starting unsealing process ..."));
    QCOMPARE(commands.progressDialog()->logLines().last(), QStringLiteral("Reload Complete!"));
    QCOMPARE(host.reloads, 2);
    QCOMPARE(host.sealedFileCount(), 0);
    QVERIFY(host.clearFileCount() >= clearBefore);
    QVERIFY(audioBefore == clearAudio(host));
    QTest::mouseClick(commands.progressDialog()->button(), Qt::LeftButton);

    // Nothing is left to recover.
    whenModalShown<SessionRecoveryDialog>([](SessionRecoveryDialog& dialog) {
        QCOMPARE(dialog.log()->item(dialog.log()->count() - 1)->text(),
                 QStringLiteral("No working directory found!  There is no session to be "
                                "recovered."));
        QCOMPARE(dialog.offeredAction(), RecoveryAction::kNone);
        QVERIFY(!dialog.recoverSealingButton()->isEnabled());
        QVERIFY(!dialog.recoverUnsealingButton()->isEnabled());
        QVERIFY(!dialog.removeWorkDirectoryButton()->isEnabled());
        QTest::mouseClick(dialog.cancelButton(), Qt::LeftButton);
    });
    commands.recoverSealingSession();
    QCOMPARE(host.reloads, 2);
    QVERIFY(!commands.isBusy());
}

void SealerCommandsThreadTest::interruptedSealingIsReportedAndRecovered() {
    RealFileSystem real;
    const double start = FakeSealerHost::kSessionStart;
    // A run that completes, counted: where the commit (the completion file) is written.
    uint64_t commitOperation = 0;
    {
        FakeSealerHost host;
        QVERIFY(host.isReady());
        FaultInjectingFileSystem counting(real);
        QWidget window;
        SealerCommands commands(host, &window);
        commands.setFileSystem(counting);
        QSignalSpy finished(&commands, &SealerCommands::runFinished);
        host.setSelectedRange(start + 60, start + 150);
        driveSealing(host);
        commands.sealSelectedRange();
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, kRunTimeoutMs);
        QCOMPARE(finished.at(0).at(0).toBool(), true);
        const std::vector<std::string> operations = counting.operations();
        const std::string commit = std::string("writeFileDurably ") + host.recordingsPath() + "/" +
                                   TransactionScope::kWorkDirectoryName;
        for (size_t i = 0; i < operations.size() && commitOperation == 0; ++i) {
            if (operations[i].rfind(commit, 0) == 0) {
                commitOperation = i + 1;
            }
        }
        QVERIFY(commitOperation > 0);
    }

    // Stopped just before the commit: only the work directory can go. Just after it: the
    // sealing is completed forward.
    for (const bool committed : {false, true}) {
        FakeSealerHost host;
        QVERIFY(host.isReady());
        const std::vector<std::string> audioBefore = clearAudio(host);
        FaultInjectingFileSystem faulty(real);
        faulty.crashAt(committed ? commitOperation + 1 : commitOperation);
        QWidget window;
        SealerCommands commands(host, &window);
        commands.setFileSystem(faulty);
        QSignalSpy finished(&commands, &SealerCommands::runFinished);
        host.setSelectedRange(start + 60, start + 150);
        driveSealing(host);
        commands.sealSelectedRange();
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, kRunTimeoutMs);
        QCOMPARE(finished.at(0).at(0).toBool(), false);
        const QStringList lines = commands.progressDialog()->logLines();
        QVERIFY(lines.last().startsWith(QStringLiteral("Sealing FAILED!")));
        QCOMPARE(commands.progressDialog()->statusText()->text(),
                 QStringLiteral("Sealing FAILED!"));
        QVERIFY(!anyLineContains(lines, QStringLiteral("Complete")));
        QVERIFY(commands.progressDialog()->button()->isEnabled());
        QCOMPARE(host.reloads, 1);
        const std::string workDirectory = TransactionScope(host.recordingsPath()).workDirectory();
        QVERIFY(fs::is_directory(workDirectory));

        commands.setFileSystem(real);
        whenModalShown<SessionRecoveryDialog>([committed](SessionRecoveryDialog& dialog) {
            QPushButton* offered =
                committed ? dialog.recoverSealingButton() : dialog.removeWorkDirectoryButton();
            QVERIFY(offered->isEnabled());
            QCOMPARE(dialog.recoverUnsealingButton()->isEnabled(), false);
            QCOMPARE(dialog.recoverSealingButton()->isEnabled(), committed);
            QCOMPARE(dialog.removeWorkDirectoryButton()->isEnabled(), !committed);
            QTest::mouseClick(offered, Qt::LeftButton);
            QVERIFY(dialog.log()
                        ->item(dialog.log()->count() - 1)
                        ->text()
                        .endsWith(QStringLiteral(" OK.")));
            QVERIFY(!offered->isEnabled());
            QTest::mouseClick(dialog.cancelButton(), Qt::LeftButton);
        });
        commands.recoverSealingSession();
        QVERIFY(!fs::exists(workDirectory));
        QCOMPARE(host.reloads, 2);
        if (committed) {
            QVERIFY(host.sealedFileCount() > 0);
            QCOMPARE(host.sealedRanges().size(), size_t{1});
        } else {
            QCOMPARE(host.sealedFileCount(), 0);
            QVERIFY(audioBefore == clearAudio(host));
        }
    }
}

void SealerCommandsThreadTest::copyOfTwoSegmentsIsWrittenAndLoaded() {
    FakeSealerHost host;
    QVERIFY(host.isReady());
    const std::string saveIn = host.scratch().file("copies");
    fs::create_directories(saveIn);
    QWidget window;
    SealerCommands commands(host, &window);
    QSignalSpy finished(&commands, &SealerCommands::runFinished);
    const double start = FakeSealerHost::kSessionStart;
    host.setSelectedRange(start + 30, start + 90);

    whenModalShown<CopyDialog>([&saveIn](CopyDialog& dialog) {
        QCOMPARE(dialog.startTimeEdit()->time(), QTime(9, 0, 30));
        dialog.saveInEdit()->setText(QString::fromStdString(saveIn));
        QTest::mouseClick(dialog.addButton(), Qt::LeftButton);
        dialog.startTimeEdit()->setTime(QTime(9, 3, 0));
        dialog.endTimeEdit()->setTime(QTime(9, 4, 0));
        QTest::mouseClick(dialog.addButton(), Qt::LeftButton);
        QCOMPARE(dialog.segmentList()->count(), 2);
        dialog.autoLoadBox()->setChecked(true);
        whenModalShown<CopyNameDialog>([](CopyNameDialog& names) {
            QCOMPARE(names.windowTitle(), QStringLiteral("Enter copy name"));
            QTest::keyClicks(names.nameEdit(), QStringLiteral("Excerpt"));
            QTest::mouseClick(names.okButton(), Qt::LeftButton);
        });
        QTest::mouseClick(dialog.copyButton(), Qt::LeftButton);
    });
    commands.copySelectedRange();
    // One run at a time: another command while copying does nothing.
    QVERIFY(commands.isBusy());
    QVERIFY(!commandOpensDialog<RecordSealingDialog>([&] { commands.sealSelectedRange(); }));
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, kRunTimeoutMs);
    QCOMPARE(finished.at(0).at(0).toBool(), true);

    const std::string target = saveIn + "/Excerpt";
    const QStringList lines = commands.progressDialog()->logLines();
    QVERIFY(lines.contains(QStringLiteral("Copy Complete")));
    QCOMPARE(lines.last(), QStringLiteral("Loading new session for verification ..."));
    QCOMPARE(commands.progressDialog()->statusText()->text(),
             QStringLiteral("Loading new session"));
    QCOMPARE(commands.progressDialog()->button()->text(), QStringLiteral("OK"));
    QCOMPARE(host.openedRoots, std::vector<std::string>{target});
    QCOMPARE(host.reloads, 0);

    const std::string record = readFile(target + "/Databases/COURT1~20100315.xml");
    size_t markers = 0;
    for (size_t at = record.find("Copy Started"); at != std::string::npos;
         at = record.find("Copy Started", at + 1)) {
        ++markers;
    }
    QCOMPARE(markers, size_t{2});
    int audio = 0;
    int video = 0;
    for (const auto& entry : fs::recursive_directory_iterator(target + "/Recordings")) {
        audio += entry.path().extension() == ".mp3";
        video += entry.path().extension() == ".kov";
    }
    QVERIFY(audio >= 6);  // three channels, two segments
    QVERIFY(video >= 2);
    // The source is untouched.
    QCOMPARE(host.sealedFileCount(), 0);
}

void SealerCommandsThreadTest::failedCopyIsReportedAndNotLoaded() {
    FakeSealerHost host;
    QVERIFY(host.isReady());
    RealFileSystem real;
    FaultInjectingFileSystem faulty(real);
    faulty.crashAt(1);
    QWidget window;
    SealerCommands commands(host, &window);
    commands.setFileSystem(faulty);
    QSignalSpy finished(&commands, &SealerCommands::runFinished);
    host.setSelectedRange(FakeSealerHost::kSessionStart + 30, FakeSealerHost::kSessionStart + 90);
    const std::string saveIn = host.scratch().path();
    whenModalShown<CopyDialog>([&saveIn](CopyDialog& dialog) {
        dialog.saveInEdit()->setText(QString::fromStdString(saveIn));
        QTest::mouseClick(dialog.addButton(), Qt::LeftButton);
        dialog.autoLoadBox()->setChecked(true);
        whenModalShown<CopyNameDialog>([](CopyNameDialog& names) {
            names.nameEdit()->setText(QStringLiteral("Broken"));
            QTest::mouseClick(names.okButton(), Qt::LeftButton);
        });
        QTest::mouseClick(dialog.copyButton(), Qt::LeftButton);
    });
    commands.copySelectedRange();
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, kRunTimeoutMs);
    QCOMPARE(finished.at(0).at(0).toBool(), false);
    const QStringList lines = commands.progressDialog()->logLines();
    QCOMPARE(lines.last(), QStringLiteral("Copy FAILED!"));
    QVERIFY(!anyLineContains(lines, QStringLiteral("Complete")));
    QCOMPARE(commands.progressDialog()->statusText()->text(), QStringLiteral("Copy FAILED!"));
    QVERIFY(commands.progressDialog()->button()->isEnabled());
    QVERIFY(host.openedRoots.empty());
    QVERIFY(!fs::exists(saveIn + "/Broken/Databases"));
}

void SealerCommandsThreadTest::mixedCopyRunsTheToolBesideTheProgram() {
    FakeSealerHost host;
    QVERIFY(host.isReady());
    const std::string tool = CopyDialog::mixDownToolPath(host.programDirectory());
    std::ofstream(tool) << "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$4/../tool-arguments\"\nexit 0\n";
    fs::permissions(tool, fs::perms::owner_all);
    QWidget window;
    SealerCommands commands(host, &window);
    QSignalSpy finished(&commands, &SealerCommands::runFinished);
    host.setSelectedRange(FakeSealerHost::kSessionStart + 30, FakeSealerHost::kSessionStart + 90);
    const std::string saveIn = host.scratch().path();
    whenModalShown<CopyDialog>([&saveIn](CopyDialog& dialog) {
        dialog.saveInEdit()->setText(QString::fromStdString(saveIn));
        QTest::mouseClick(dialog.addButton(), Qt::LeftButton);
        dialog.autoLoadBox()->setChecked(true);
        QVERIFY(dialog.mixDownBox()->isEnabled());
        dialog.mixDownBox()->setChecked(true);
        whenModalShown<CopyNameDialog>([](CopyNameDialog& names) {
            names.nameEdit()->setText(QStringLiteral("Mixed"));
            QTest::mouseClick(names.okButton(), Qt::LeftButton);
        });
        QTest::mouseClick(dialog.copyButton(), Qt::LeftButton);
    });
    commands.copySelectedRange();
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, kRunTimeoutMs);
    QCOMPARE(finished.at(0).at(0).toBool(), true);
    const QStringList lines = commands.progressDialog()->logLines();
    QVERIFY(lines.contains(QStringLiteral("Mixing ...")));
    QVERIFY(lines.contains(QStringLiteral("Mixing successful.")));
    QCOMPARE(lines.last(), QStringLiteral("Copy Complete"));
    const std::string target = saveIn + "/Mixed";
    std::istringstream arguments(readFile(saveIn + "/tool-arguments"));
    std::vector<std::string> argument;
    for (std::string line; std::getline(arguments, line);) {
        argument.push_back(line);
    }
    QCOMPARE(argument.size(), size_t{4});
    QVERIFY(!fs::exists(argument[0]));  // the temporary copy is gone
    QCOMPARE(argument[1], std::string("COURT1"));
    QCOMPARE(argument[2], std::string("20100315"));
    QCOMPARE(argument[3], target);
    QVERIFY(fs::exists(target + "/Databases/COURT1~20100315.xml"));
    // Mixing unchecked the auto-load: a mixed copy is not opened.
    QVERIFY(host.openedRoots.empty());
}

void SealerCommandsThreadTest::commandsNeedASessionAndRunOneAtATime() {
    FakeSealerHost host;
    QVERIFY(host.isReady());
    QWidget window;
    SealerCommands commands(host, &window);
    host.open_ = false;
    QVERIFY(!commandOpensDialog<RecordSealingDialog>([&] { commands.sealSelectedRange(); }));
    QVERIFY(!commandOpensDialog<RecordUnsealingDialog>([&] { commands.unseal(); }));
    QVERIFY(!commandOpensDialog<CopyDialog>([&] { commands.copySelectedRange(); }));
    QCOMPARE(host.stops, 3);
    QVERIFY(!commands.isBusy());
    // Recovery works on the browse location without a session, and a cancelled dialog frees
    // the commands again.
    QVERIFY(commandOpensDialog<SessionRecoveryDialog>([&] { commands.recoverSealingSession(); }));
    QVERIFY(!commands.isBusy());
    QCOMPARE(commands.recoveryRecordingsPath(), host.recordingsPath());
    host.open_ = true;
    QVERIFY(commandOpensDialog<RecordSealingDialog>([&] { commands.sealSelectedRange(); }));
    QVERIFY(!commands.isBusy());
    QCOMPARE(host.reloads, 0);
}

QTEST_MAIN(SealerCommandsThreadTest)
#include "SealerCommandsThreadTest.moc"
