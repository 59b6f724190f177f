// The sealer dialogs without their workers: passphrase validation and the enabling sequence,
// the archive location check, the range texts and times on the location's clock, the copy
// dialog's segment checks and options, and the recovery dialog's decisions and actions.

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTimeEdit>
#include <QtTest>
#include <filesystem>
#include <fstream>
#include <memory>

#include "CopyDialog.h"
#include "CopyNameDialog.h"
#include "EncryptionCompleteFile.h"
#include "ProgressDialog.h"
#include "RealFileSystem.h"
#include "RecordSealingDialog.h"
#include "RecordUnsealingDialog.h"
#include "SealerClock.h"
#include "SealerTestSupport.h"
#include "SessionRecoveryDialog.h"
#include "TransactionScope.h"

namespace fs = std::filesystem;

class SealerDialogsTest final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void validationEnablesSealOnlyForTheRightPassphrase();
    void passphraseIsNeverEchoedAndIsWipedAfterValidation();
    void editingTheKeyAfterValidationTakesTheKeyBack();
    void archiveLocationMustBeAnotherArchiveRoot();
    void confirmTakesThePickersAsTheSelection();
    void unsealingNeedsAChosenRange();
    void rangeTextsAndTimesFollowTheLocationsClock();
    void copySegmentsAreCheckedBeforeTheyAreListed();
    void copyNeedsSegmentsAFolderAndAName();
    void mixDownIsOfferedOnlyWithTheToolAndFollowsItsRules();
    void recoveryOffersWhatTheDiskAllows();
    void progressDialogStaysUntilTheRunHasEnded();

private:
    std::unique_ptr<FakeSealerHost> host_;
};

void SealerDialogsTest::initTestCase() {
    host_ = std::make_unique<FakeSealerHost>();
    QVERIFY(host_->isReady());
}

void SealerDialogsTest::validationEnablesSealOnlyForTheRightPassphrase() {
    RecordSealingDialog dialog(*host_);
    UserKeyFields& fields = dialog.fields();
    QVERIFY(!dialog.sealButton()->isEnabled());
    QVERIFY(!dialog.confirmButton()->isEnabled());

    fields.keyFileEdit()->setText(QString::fromStdString(host_->keyFile()));
    QTest::keyClicks(fields.passphraseEdit(), QStringLiteral("wrong horse"));
    QTest::mouseClick(fields.validateButton(), Qt::LeftButton);
    QCOMPARE(fields.statusText()->text(), QStringLiteral("Bad passphrase!"));
    QVERIFY(!dialog.sealButton()->isEnabled());
    QVERIFY(!dialog.confirmButton()->isEnabled());
    QVERIFY(dialog.takeKey() == nullptr);

    // A file that is no key file is as bad as a wrong passphrase.
    fields.keyFileEdit()->setText(QString::fromStdString(host_->root() + "/nothing.xml"));
    fields.passphraseEdit()->setText(QString::fromLatin1(FakeSealerHost::kPassphrase));
    QTest::mouseClick(fields.validateButton(), Qt::LeftButton);
    QCOMPARE(fields.statusText()->text(), QStringLiteral("Bad passphrase!"));
    QVERIFY(!dialog.sealButton()->isEnabled());

    fields.keyFileEdit()->setText(QString::fromStdString(host_->keyFile()));
    fields.passphraseEdit()->setText(QString::fromLatin1(FakeSealerHost::kPassphrase));
    QTest::mouseClick(fields.validateButton(), Qt::LeftButton);
    QCOMPARE(fields.statusText()->text(), QStringLiteral("Passphrase Ok!"));
    QVERIFY(dialog.sealButton()->isEnabled());
    QVERIFY(!dialog.confirmButton()->isEnabled());

    // Seal checks the location and enables Confirm.
    RecordedPrompts prompts;
    fields.archiveLocationEdit()->setText(QString::fromStdString(host_->secondArchive()));
    QTest::mouseClick(dialog.sealButton(), Qt::LeftButton);
    QVERIFY(prompts.messages.empty());
    QVERIFY(dialog.confirmButton()->isEnabled());
    auto key = dialog.takeKey();
    QVERIFY(key != nullptr);
    QVERIFY(key->getMasterKey() != nullptr && key->getMasterKey()->isValid());
}

void SealerDialogsTest::passphraseIsNeverEchoedAndIsWipedAfterValidation() {
    RecordUnsealingDialog dialog(*host_);
    UserKeyFields& fields = dialog.fields();
    QCOMPARE(fields.passphraseEdit()->echoMode(), QLineEdit::Password);
    QCOMPARE(fields.passphraseEdit()->displayText().contains(QStringLiteral("horse")), false);
    fields.keyFileEdit()->setText(QString::fromStdString(host_->keyFile()));
    QTest::keyClicks(fields.passphraseEdit(), QString::fromLatin1(FakeSealerHost::kPassphrase));
    QVERIFY(!fields.passphraseEdit()->displayText().contains(QStringLiteral("horse")));
    QTest::mouseClick(fields.validateButton(), Qt::LeftButton);
    QCOMPARE(fields.statusText()->text(), QStringLiteral("Passphrase Ok!"));
    QVERIFY(fields.passphraseEdit()->text().isEmpty());
    QVERIFY(dialog.unsealButton()->isEnabled());
    // Undo must not bring the passphrase back.
    fields.passphraseEdit()->undo();
    QVERIFY(!fields.passphraseEdit()->text().contains(QStringLiteral("horse")));

    // A wrong one is wiped as well.
    QTest::keyClicks(fields.passphraseEdit(), QStringLiteral("wrong"));
    QTest::mouseClick(fields.validateButton(), Qt::LeftButton);
    QCOMPARE(fields.statusText()->text(), QStringLiteral("Bad passphrase!"));
    QVERIFY(fields.passphraseEdit()->text().isEmpty());
    QVERIFY(!dialog.unsealButton()->isEnabled());
}

void SealerDialogsTest::editingTheKeyAfterValidationTakesTheKeyBack() {
    RecordSealingDialog dialog(*host_);
    UserKeyFields& fields = dialog.fields();
    fields.keyFileEdit()->setText(QString::fromStdString(host_->keyFile()));
    fields.passphraseEdit()->setText(QString::fromLatin1(FakeSealerHost::kPassphrase));
    QTest::mouseClick(fields.validateButton(), Qt::LeftButton);
    QVERIFY(dialog.sealButton()->isEnabled());
    QTest::keyClicks(fields.keyFileEdit(), QStringLiteral("x"));
    QVERIFY(!dialog.sealButton()->isEnabled());
    QVERIFY(!fields.isValidated());
    QVERIFY(dialog.takeKey() == nullptr);
}

void SealerDialogsTest::archiveLocationMustBeAnotherArchiveRoot() {
    const QString expectedText =
        QStringLiteral("Error!  Archive location does not contain a Korvalis archive.");
    const std::vector<std::string> refused = {"", host_->scratch().file("missing"),
                                              host_->root() + "/Recordings"};
    for (const std::string& location : refused) {
        RecordedPrompts prompts;
        RecordSealingDialog dialog(*host_);
        dialog.fields().keyFileEdit()->setText(QString::fromStdString(host_->keyFile()));
        dialog.fields().passphraseEdit()->setText(QString::fromLatin1(FakeSealerHost::kPassphrase));
        QTest::mouseClick(dialog.fields().validateButton(), Qt::LeftButton);
        dialog.fields().archiveLocationEdit()->setText(QString::fromStdString(location));
        dialog.show();
        QTest::mouseClick(dialog.sealButton(), Qt::LeftButton);
        QCOMPARE(prompts.messages.size(), size_t{1});
        QCOMPARE(prompts.messages[0].caption, QStringLiteral("Archive Location Error"));
        QCOMPARE(prompts.messages[0].text, expectedText);
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY(!dialog.isVisible());
        QVERIFY(!dialog.confirmButton()->isEnabled());
    }

    // The session's own archive, even written another way, is refused.
    RecordedPrompts prompts;
    RecordUnsealingDialog dialog(*host_);
    dialog.fields().keyFileEdit()->setText(QString::fromStdString(host_->keyFile()));
    dialog.fields().passphraseEdit()->setText(QString::fromLatin1(FakeSealerHost::kPassphrase));
    QTest::mouseClick(dialog.fields().validateButton(), Qt::LeftButton);
    dialog.fields().archiveLocationEdit()->setText(
        QString::fromStdString(host_->root() + "/Recordings/../"));
    QTest::mouseClick(dialog.unsealButton(), Qt::LeftButton);
    QCOMPARE(prompts.messages.size(), size_t{1});
    QCOMPARE(prompts.messages[0].caption, QStringLiteral("Archive Location Error"));
    QVERIFY(!dialog.confirmButton()->isEnabled());

    // Browse puts the chosen folder into the edit.
    RecordedPrompts chooser;
    chooser.chosenPath = QString::fromStdString(host_->secondArchive());
    RecordSealingDialog browsing(*host_);
    QTest::mouseClick(browsing.fields().archiveBrowseButton(), Qt::LeftButton);
    QCOMPARE(browsing.fields().archiveLocationEdit()->text(), chooser.chosenPath);
}

void SealerDialogsTest::confirmTakesThePickersAsTheSelection() {
    host_->setSelectedRange(FakeSealerHost::kSessionStart + 65.5,
                            FakeSealerHost::kSessionStart + 130);
    RecordSealingDialog dialog(*host_);
    QCOMPARE(dialog.startTimeEdit()->time(), QTime(9, 1, 5));
    QCOMPARE(dialog.endTimeEdit()->time(), QTime(9, 2, 10));
    QCOMPARE(dialog.sealedRangesList()->count(), 0);
    dialog.fields().keyFileEdit()->setText(QString::fromStdString(host_->keyFile()));
    dialog.fields().passphraseEdit()->setText(QString::fromLatin1(FakeSealerHost::kPassphrase));
    QTest::mouseClick(dialog.fields().validateButton(), Qt::LeftButton);
    dialog.fields().archiveLocationEdit()->setText(QString::fromStdString(host_->secondArchive()));
    QTest::mouseClick(dialog.sealButton(), Qt::LeftButton);

    // A reversed range is refused and the dialog stays.
    RecordedPrompts prompts;
    dialog.startTimeEdit()->setTime(QTime(9, 3, 0));
    dialog.endTimeEdit()->setTime(QTime(9, 2, 0));
    QTest::mouseClick(dialog.confirmButton(), Qt::LeftButton);
    QCOMPARE(prompts.messages.size(), size_t{1});
    QCOMPARE(prompts.messages[0].text, QStringLiteral("Start time cannot be after end time!"));
    QCOMPARE(dialog.result(), int(QDialog::Rejected));

    dialog.startTimeEdit()->setTime(QTime(9, 1, 0));
    dialog.endTimeEdit()->setTime(QTime(9, 4, 30));
    QTest::mouseClick(dialog.confirmButton(), Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.rangeStart(), FakeSealerHost::kSessionStart + 60);
    QCOMPARE(dialog.rangeEnd(), FakeSealerHost::kSessionStart + 270);
    double start = 0.0;
    double end = 0.0;
    QVERIFY(host_->selectedRange(start, end));
    QCOMPARE(start, FakeSealerHost::kSessionStart + 60);
    QCOMPARE(end, FakeSealerHost::kSessionStart + 270);
    QCOMPARE(dialog.archiveLocation(), host_->secondArchive());
    QVERIFY(dialog.takeKey() != nullptr);
}

void SealerDialogsTest::unsealingNeedsAChosenRange() {
    // Listed ranges come from the host; none are sealed in the sample, so nothing can be chosen.
    RecordedPrompts prompts;
    RecordUnsealingDialog dialog(*host_);
    QCOMPARE(dialog.rangeList()->count(), 0);
    dialog.fields().keyFileEdit()->setText(QString::fromStdString(host_->keyFile()));
    dialog.fields().passphraseEdit()->setText(QString::fromLatin1(FakeSealerHost::kPassphrase));
    QTest::mouseClick(dialog.fields().validateButton(), Qt::LeftButton);
    dialog.fields().archiveLocationEdit()->setText(QString::fromStdString(host_->secondArchive()));
    QTest::mouseClick(dialog.unsealButton(), Qt::LeftButton);
    QVERIFY(dialog.confirmButton()->isEnabled());
    QTest::mouseClick(dialog.confirmButton(), Qt::LeftButton);
    QCOMPARE(prompts.messages.size(), size_t{1});
    QVERIFY(dialog.result() != QDialog::Accepted);
    QVERIFY(dialog.ranges().empty());
}

void SealerDialogsTest::rangeTextsAndTimesFollowTheLocationsClock() {
    FakeSealerHost& host = *host_;
    const SealerClock clock(host);
    const double start = FakeSealerHost::kSessionStart + 5 * 60 + 7;  // 09:05:07 UTC
    QCOMPARE(clock.sealedRangeText(start, start + 4 * 3600),
             std::string("9:05:07 AM to 1:05:07 PM"));
    QCOMPARE(clock.unsealRangeText(start - 9 * 3600, start + 3 * 3600 - 5 * 60),
             std::string("Range 12:05:07 AM to 12:00:07 PM"));
    QCOMPARE(clock.segmentText(start, start + 3600.9), std::string("09:05:07 to 10:05:07"));

    // Five hours behind UTC: 09:05:07 UTC is 4:05:07 AM there, and back.
    host.offsetSeconds_ = -5 * 3600;
    QCOMPARE(clock.sealedRangeText(start, start + 60), std::string("4:05:07 AM to 4:06:07 AM"));
    QCOMPARE(clock.epochOf(SealerClock::TimeOfDay{4, 5, 7}), start);
    QCOMPARE(clock.epochOf(SealerClock::TimeOfDay{0, 0, 0}),
             FakeSealerHost::kSessionStart - 9 * 3600 + 5 * 3600);
    host.offsetSeconds_ = 0;
    QCOMPARE(clock.epochOf(SealerClock::TimeOfDay{23, 59, 59}),
             FakeSealerHost::kSessionStart + 15 * 3600 - 1);
}

void SealerDialogsTest::copySegmentsAreCheckedBeforeTheyAreListed() {
    RecordedPrompts prompts;
    CopyDialog dialog(*host_);
    const auto add = [&](QTime from, QTime to) {
        dialog.startTimeEdit()->setTime(from);
        dialog.endTimeEdit()->setTime(to);
        prompts.messages.clear();
        QTest::mouseClick(dialog.addButton(), Qt::LeftButton);
        return prompts.messages.empty() ? QString() : prompts.messages[0].text;
    };
    QCOMPARE(add(QTime(9, 1, 0), QTime(9, 1, 0)),
             QStringLiteral("Start time cannot match end time!"));
    QCOMPARE(prompts.messages[0].caption, QStringLiteral("Invalid Time Segment"));
    QCOMPARE(add(QTime(9, 2, 0), QTime(9, 1, 0)),
             QStringLiteral("Start time cannot be after end time!"));
    QCOMPARE(dialog.segmentList()->count(), 0);

    QCOMPARE(add(QTime(9, 1, 0), QTime(9, 2, 0)), QString());
    QCOMPARE(dialog.segmentList()->item(0)->text(), QStringLiteral("09:01:00 to 09:02:00"));
    const QString overlap =
        QStringLiteral("Invalid time segment selected. Time segments cannot overlap!");
    QCOMPARE(add(QTime(9, 1, 30), QTime(9, 4, 0)), overlap);  // start inside
    QCOMPARE(add(QTime(9, 0, 0), QTime(9, 1, 1)), overlap);   // end inside
    QCOMPARE(add(QTime(9, 0, 0), QTime(9, 3, 0)), overlap);   // around it
    QCOMPARE(prompts.messages[0].caption, QStringLiteral("Invalid Time Segment"));
    QCOMPARE(add(QTime(9, 2, 0), QTime(9, 3, 0)), QString());  // touching is no overlap
    QCOMPARE(add(QTime(8, 59, 0), QTime(9, 0, 30)), QString());
    QCOMPARE(dialog.segmentList()->count(), 3);

    dialog.segmentList()->item(1)->setSelected(true);
    QTest::mouseClick(dialog.removeButton(), Qt::LeftButton);
    QCOMPARE(dialog.segmentList()->count(), 2);
    QCOMPARE(dialog.segmentList()->item(1)->text(), QStringLiteral("08:59:00 to 09:00:30"));
    // The removed segment's time is free again.
    QCOMPARE(add(QTime(9, 2, 30), QTime(9, 2, 40)), QString());
}

void SealerDialogsTest::copyNeedsSegmentsAFolderAndAName() {
    RecordedPrompts prompts;
    CopyDialog dialog(*host_);
    QTest::mouseClick(dialog.copyButton(), Qt::LeftButton);
    QCOMPARE(prompts.messages.size(), size_t{1});
    QCOMPARE(prompts.messages[0].caption, QStringLiteral("Add Time Segments"));
    QCOMPARE(prompts.messages[0].text,
             QStringLiteral("A time segment must be added before media content can be copied"));

    dialog.startTimeEdit()->setTime(QTime(9, 1, 0));
    dialog.endTimeEdit()->setTime(QTime(9, 2, 0));
    QTest::mouseClick(dialog.addButton(), Qt::LeftButton);
    prompts.messages.clear();
    dialog.saveInEdit()->setText(QString::fromStdString(host_->scratch().file("absent")));
    QTest::mouseClick(dialog.copyButton(), Qt::LeftButton);
    QCOMPARE(prompts.messages.size(), size_t{1});
    QVERIFY(dialog.result() != QDialog::Accepted);

    // A name that exists already is refused; the name dialog's OK wants a usable name.
    dialog.saveInEdit()->setText(QString::fromStdString(host_->scratch().path()));
    prompts.messages.clear();
    whenModalShown<CopyNameDialog>([](CopyNameDialog& names) {
        QVERIFY(!names.okButton()->isEnabled());
        QTest::keyClicks(names.nameEdit(), QStringLiteral("../x"));
        QVERIFY(!names.okButton()->isEnabled());
        names.nameEdit()->setText(QStringLiteral("archive"));
        QVERIFY(names.okButton()->isEnabled());
        QTest::mouseClick(names.okButton(), Qt::LeftButton);
    });
    QTest::mouseClick(dialog.copyButton(), Qt::LeftButton);
    QCOMPARE(prompts.messages.size(), size_t{1});
    QVERIFY(prompts.messages[0].text.contains(QStringLiteral("already exists")));
    QVERIFY(dialog.result() != QDialog::Accepted);

    whenModalShown<CopyNameDialog>([](CopyNameDialog& names) {
        names.nameEdit()->setText(QStringLiteral(" Copy One "));
        QTest::mouseClick(names.okButton(), Qt::LeftButton);
    });
    QTest::mouseClick(dialog.copyButton(), Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.targetDirectory(), host_->scratch().path() + "/Copy One");
    QCOMPARE(dialog.segments().size(), size_t{1});
    QCOMPARE(dialog.segments()[0].start, FakeSealerHost::kSessionStart + 60);
}

void SealerDialogsTest::mixDownIsOfferedOnlyWithTheToolAndFollowsItsRules() {
    const std::string tool = CopyDialog::mixDownToolPath(host_->programDirectory());
    fs::remove(tool);
    {
        CopyDialog dialog(*host_);
        QVERIFY(!dialog.mixDownBox()->isEnabled());
        dialog.audioOnlyBox()->setChecked(true);
        QVERIFY(!dialog.mixDownBox()->isEnabled());
        QVERIFY(!dialog.options().mixDown);
    }
    // Present but not executable: still not offered.
    std::ofstream(tool) << "#!/bin/sh\nexit 0\n";
    {
        CopyDialog dialog(*host_);
        QVERIFY(!dialog.mixDownBox()->isEnabled());
    }
    fs::permissions(tool, fs::perms::owner_all);
    CopyDialog dialog(*host_);
    QVERIFY(dialog.mixDownBox()->isEnabled());
    QVERIFY(!dialog.mixDownBox()->isChecked());
    dialog.autoLoadBox()->setChecked(true);
    QTest::mouseClick(dialog.mixDownBox(), Qt::LeftButton);
    QVERIFY(dialog.mixDownBox()->isChecked());
    QVERIFY(!dialog.autoLoadBox()->isChecked());
    QVERIFY(dialog.audioOnlyBox()->isChecked());
    QVERIFY(dialog.options().mixDown && dialog.options().audioOnly);
    QTest::mouseClick(dialog.audioOnlyBox(), Qt::LeftButton);
    QVERIFY(!dialog.audioOnlyBox()->isChecked());
    QVERIFY(!dialog.mixDownBox()->isChecked());
    QVERIFY(!dialog.options().mixDown);
    fs::remove(tool);
}

void SealerDialogsTest::recoveryOffersWhatTheDiskAllows() {
    RealFileSystem fileSystem;
    TemporaryDirectory scratch("sealer-recovery-");
    const std::string recordings = scratch.file("Recordings");
    fs::create_directories(recordings);
    const TransactionScope scope(recordings);
    const auto lines = [](const SessionRecoveryDialog& dialog) {
        QStringList texts;
        for (int row = 0; row < dialog.log()->count(); ++row) {
            texts << dialog.log()->item(row)->text();
        }
        return texts;
    };
    const auto enabled = [](const SessionRecoveryDialog& dialog) {
        return QString::fromLatin1("%1%2%3")
            .arg(dialog.recoverSealingButton()->isEnabled() ? 'S' : '-')
            .arg(dialog.recoverUnsealingButton()->isEnabled() ? 'U' : '-')
            .arg(dialog.removeWorkDirectoryButton()->isEnabled() ? 'R' : '-');
    };

    {
        SessionRecoveryDialog dialog("", fileSystem);
        QCOMPARE(lines(dialog),
                 QStringList{QStringLiteral("Error!  No recordings path configured.  Can't "
                                            "attempt recovery with a recordings path.")});
        QCOMPARE(enabled(dialog), QStringLiteral("---"));
    }
    {
        SessionRecoveryDialog dialog(recordings, fileSystem);
        QVERIFY(lines(dialog).first().startsWith(
            QStringLiteral("Recovering any sessions found in \"")));
        QVERIFY(lines(dialog).contains(
            QStringLiteral("No working directory found!  There is no session to be recovered.")));
        QCOMPARE(enabled(dialog), QStringLiteral("---"));
    }
    // An uncommitted transaction: only the work directory can go.
    fs::create_directories(scope.workDirectory());
    std::ofstream(scope.workDirectory() + "/part.mp3") << "half";
    {
        SessionRecoveryDialog dialog(recordings, fileSystem);
        QCOMPARE(enabled(dialog), QStringLiteral("--R"));
        QTest::mouseClick(dialog.removeWorkDirectoryButton(), Qt::LeftButton);
        QCOMPARE(lines(dialog).last(), QStringLiteral("   Recursive deletion OK."));
        QCOMPARE(enabled(dialog), QStringLiteral("---"));
        QVERIFY(dialog.changedArchive());
        QVERIFY(!fs::exists(scope.workDirectory()));
    }
    // A committed sealing transaction (nothing left to move) is completed forward.
    fs::create_directories(scope.workDirectory());
    std::string error;
    QVERIFY2(EncryptionCompleteFile().write(fileSystem, scope, error), error.c_str());
    {
        SessionRecoveryDialog dialog(recordings, fileSystem);
        QCOMPARE(dialog.offeredAction(), RecoveryAction::kRecoverSealing);
        QCOMPARE(enabled(dialog), QStringLiteral("S--"));
        QTest::mouseClick(dialog.recoverSealingButton(), Qt::LeftButton);
        QCOMPARE(lines(dialog).last(), QStringLiteral("   Sealing session recovery OK."));
        QCOMPARE(enabled(dialog), QStringLiteral("---"));
        QVERIFY(!fs::exists(scope.workDirectory()));
    }
    // A corrupt completion file never offers a recovery.
    fs::create_directories(scope.workDirectory());
    std::ofstream(scope.sealingCompletionFilePath()) << "<broken";
    {
        SessionRecoveryDialog dialog(recordings, fileSystem);
        QCOMPARE(enabled(dialog), QStringLiteral("--R"));
        QVERIFY(!dialog.changedArchive());
    }
}

void SealerDialogsTest::progressDialogStaysUntilTheRunHasEnded() {
    ProgressDialog dialog;
    dialog.show();
    QCOMPARE(dialog.button()->text(), QStringLiteral("Cancel"));
    QVERIFY(!dialog.button()->isEnabled());
    dialog.reject();
    QVERIFY(!dialog.close());
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QVERIFY(dialog.isVisible());

    dialog.setProgress(3, 10);
    QCOMPARE(dialog.progressBar()->value(), 3);
    QCOMPARE(dialog.progressBar()->maximum(), 10);
    dialog.setProgress(-1, -1);  // text only: the bar stays
    QCOMPARE(dialog.progressBar()->value(), 3);
    dialog.setProgress(12, 10);
    QCOMPARE(dialog.progressBar()->value(), 10);
    dialog.appendLine(QStringLiteral("one"));
    dialog.appendLine(QStringLiteral("two"));
    QCOMPARE(dialog.logLines(), (QStringList{QStringLiteral("one"), QStringLiteral("two")}));

    dialog.finish();
    QCOMPARE(dialog.button()->text(), QStringLiteral("OK"));
    QVERIFY(dialog.button()->isEnabled());
    QTest::mouseClick(dialog.button(), Qt::LeftButton);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
}

QTEST_MAIN(SealerDialogsTest)
#include "SealerDialogsTest.moc"
