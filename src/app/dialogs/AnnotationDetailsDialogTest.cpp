// Editing an annotation: what is saved, what is refused, and that nothing is lost.
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeEdit>

#include "AnnotationCommands.h"
#include "AnnotationDetailsDialog.h"
#include "AnnotationListModel.h"
#include "AnnotationPanel.h"
#include "AnnotationRecordEditor.h"
#include "AnnotationTestSupport.h"
#include "Win32_ListViewControl.h"

using AnnotationTestSupport::annotation;
using Result = AnnotationRecordEditor::Result;

namespace {

// 2010-03-15 00:00:00 UTC.
constexpr uint32_t kDay = 1268611200;

struct Message {
    QString caption;
    QString text;
};

}  // namespace

class AnnotationDetailsDialogTest final : public QObject {
    Q_OBJECT

private slots:
    void init();
    void editedFieldsReachTheFile();
    void aSaveAfterAnotherWriterIsRefusedAndLosesNothing();
    void anAnnotationRemovedMeanwhileIsNotRecreated();
    void onlyOperatorsNotesAreEditable();
    void theEditCommandOpensTheDialogOnlyWhenAllowed();

private:
    std::unique_ptr<QTemporaryDir> directory_;
    std::string databases_;
    std::unique_ptr<JexSession> record_;
    std::vector<Message> messages_;
};

void AnnotationDetailsDialogTest::init() {
    directory_ = std::make_unique<QTemporaryDir>();
    messages_.clear();
    // Location COURT1 lies at UTC-5: 14:00 UTC is 09:00 AM there.
    record_ = AnnotationTestSupport::writeRecord(
        directory_->path().toStdString(), "COURT1", 2010, 3, 15,
        {annotation(kDay + 14 * 3600, "Judge", "Court in session", "Clerk", -5),
         annotation(kDay + 14 * 3600 + 600, "Counsel", "Opening statement", "Clerk", -5),
         annotation(kDay + 15 * 3600, "Judge", "Recess", "Clerk", -5)});
    QVERIFY(record_);
    databases_ = directory_->filePath(QStringLiteral("Databases")).toStdString();
}

void AnnotationDetailsDialogTest::editedFieldsReachTheFile() {
    AnnotationDetailsDialog dialog(*record_, 1, record_->annotations()[1], -5);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Annotation Details"));
    QCOMPARE(dialog.speakerEdit().text(), QStringLiteral("Counsel"));
    QCOMPARE(dialog.eventEdit().toPlainText(), QStringLiteral("Opening statement"));
    QCOMPARE(dialog.timeEdit().time(), QTime(9, 10, 0));  // the location's clock time

    dialog.speakerEdit().setText(QStringLiteral("Counsel for the defence"));
    dialog.labelTitleEdit().setText(QStringLiteral("Party"));
    dialog.eventEdit().setPlainText(QStringLiteral("Opening statement <continued> & more"));
    dialog.timeEdit().setTime(QTime(9, 12, 30));
    QCOMPARE(dialog.save(), Result::kSaved);

    auto reread = AnnotationTestSupport::readRecord(databases_, "COURT1", 2010, 3, 15);
    QVERIFY(reread);
    const std::vector<JexAnnotation> notes = reread->annotations();
    QCOMPARE(notes.size(), size_t{3});
    QCOMPARE(notes[1].labelData(), std::string("Counsel for the defence"));
    QCOMPARE(notes[1].labelTitle(), std::string("Party"));
    QCOMPARE(notes[1].event(), std::string("Opening statement <continued> & more"));
    QCOMPARE(notes[1].user(), std::string("Clerk"));
    QVERIFY(notes[1].timeStamp() != nullptr);
    QCOMPARE(notes[1].timeStamp()->epochTimeSecondsInUtc(), kDay + 14 * 3600 + 750);
    QCOMPARE(notes[1].displayTime(), std::string("09:12:30 AM"));
    QCOMPARE(notes[1].displayTimeMilitary(), std::string("09:12:30"));
    QCOMPARE(notes[1].displayDate(), std::string("03/15/2010"));
    // The others are untouched.
    QCOMPARE(notes[0].event(), std::string("Court in session"));
    QCOMPARE(notes[2].event(), std::string("Recess"));
    QCOMPARE(notes[2].displayTime(), std::string("10:00:00 AM"));
    QCOMPARE(dialog.savedIndex(), size_t{1});

    // A time left as it was keeps the recorder's stamp to the microsecond.
    AnnotationDetailsDialog again(*record_, 2, record_->annotations()[2], -5);
    again.eventEdit().setPlainText(QStringLiteral("Short recess"));
    QCOMPARE(again.save(), Result::kSaved);
    QCOMPARE(record_->annotations()[2].displayTime(), std::string("10:00:00 AM"));
    QCOMPARE(record_->annotations()[2].timeStamp()->epochTimeSecondsInUtc(), kDay + 15 * 3600);
}

void AnnotationDetailsDialogTest::aSaveAfterAnotherWriterIsRefusedAndLosesNothing() {
    // Another program (the recorder) appends a note after this record was read.
    auto other = AnnotationTestSupport::readRecord(databases_, "COURT1", 2010, 3, 15);
    QVERIFY(other);
    other->addAnnotation(annotation(kDay + 16 * 3600, "Judge", "Back in session", "Clerk", -5));
    QVERIFY(other->save());
    const std::string othersFile =
        AnnotationTestSupport::fileText(QString::fromStdString(record_->recordPath()));

    AnnotationDetailsDialog dialog(*record_, 0, record_->annotations()[0], -5);
    dialog.setMessagePresenter([this](const QString& caption, const QString& text) {
        messages_.push_back({caption, text});
    });
    dialog.show();
    dialog.eventEdit().setPlainText(QStringLiteral("Court in session, all present"));
    dialog.accept();
    // Refused with the record's reason; the file is the other program's; the edit is kept.
    QVERIFY(dialog.isVisible());
    QCOMPARE(messages_.size(), size_t{1});
    QCOMPARE(messages_[0].caption, QStringLiteral("Annotation Details"));
    QVERIFY2(messages_[0].text.contains(QStringLiteral("changed by another program")),
             qPrintable(messages_[0].text));
    QCOMPARE(AnnotationTestSupport::fileText(QString::fromStdString(record_->recordPath())),
             othersFile);
    QCOMPARE(dialog.eventEdit().toPlainText(), QStringLiteral("Court in session, all present"));
    QCOMPARE(record_->annotations()[0].event(), std::string("Court in session"));

    // OK again reads the record anew and saves the edit onto it: both changes are kept.
    dialog.accept();
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(messages_.size(), size_t{1});
    auto reread = AnnotationTestSupport::readRecord(databases_, "COURT1", 2010, 3, 15);
    QVERIFY(reread);
    const std::vector<JexAnnotation> notes = reread->annotations();
    QCOMPARE(notes.size(), size_t{4});
    QCOMPARE(notes[0].event(), std::string("Court in session, all present"));
    QCOMPARE(notes[3].event(), std::string("Back in session"));
}

void AnnotationDetailsDialogTest::anAnnotationRemovedMeanwhileIsNotRecreated() {
    const JexAnnotation shown = record_->annotations()[1];
    auto other = AnnotationTestSupport::readRecord(databases_, "COURT1", 2010, 3, 15);
    QVERIFY(other);
    QVERIFY(other->removeAnnotation(1));
    QVERIFY(other->save());
    const std::string othersFile =
        AnnotationTestSupport::fileText(QString::fromStdString(record_->recordPath()));

    AnnotationDetailsDialog dialog(*record_, 1, shown, -5);
    dialog.setMessagePresenter([this](const QString& caption, const QString& text) {
        messages_.push_back({caption, text});
    });
    dialog.eventEdit().setPlainText(QStringLiteral("Edited"));
    QCOMPARE(dialog.save(), Result::kSaveRefused);
    QCOMPARE(dialog.save(), Result::kAnnotationGone);
    QCOMPARE(messages_.size(), size_t{2});
    QVERIFY(messages_[1].text.contains(QStringLiteral("removed by another program")));
    QCOMPARE(AnnotationTestSupport::fileText(QString::fromStdString(record_->recordPath())),
             othersFile);
    QCOMPARE(dialog.eventEdit().toPlainText(), QStringLiteral("Edited"));

    // After the record was read again the edit lands on its annotation, wherever it moved.
    const JexAnnotation recess = record_->annotations()[1];
    QCOMPARE(recess.event(), std::string("Recess"));
    JexAnnotation edited = recess;
    edited.setEvent("Long recess");
    std::string error;
    size_t savedAt = 99;
    QCOMPARE(AnnotationRecordEditor::apply(*record_, 0, recess, edited, error, &savedAt),
             Result::kSaved);
    QCOMPARE(savedAt, size_t{1});
    QCOMPARE(AnnotationTestSupport::readRecord(databases_, "COURT1", 2010, 3, 15)
                 ->annotations()[1]
                 .event(),
             std::string("Long recess"));
}

void AnnotationDetailsDialogTest::onlyOperatorsNotesAreEditable() {
    QVERIFY(AnnotationRecordEditor::isEditable(annotation(kDay, "Judge", "x", "Clerk")));
    QVERIFY(AnnotationRecordEditor::isEditable(annotation(kDay, "Judge", "x", "")));
    // Names after "Recorder" in byte order are people too.
    QVERIFY(AnnotationRecordEditor::isEditable(annotation(kDay, "Judge", "x", "Smith")));
    QVERIFY(AnnotationRecordEditor::isEditable(annotation(kDay, "Judge", "x", "Recorders")));
    QVERIFY(!AnnotationRecordEditor::isEditable(annotation(kDay, "Judge", "x", "Recorder")));
    QVERIFY(!AnnotationRecordEditor::isEditable(JexAnnotation::copyMarker(
        JexAnnotation::kCopyStarted, WallClockTime(kDay, 0u, 0), "COURT1")));
}

void AnnotationDetailsDialogTest::theEditCommandOpensTheDialogOnlyWhenAllowed() {
    AnnotationPanel panel;
    panel.setSession(record_.get(), -5);
    AnnotationCommands commands(panel, nullptr);
    commands.setMessagePresenter([this](const QString& caption, const QString& text) {
        messages_.push_back({caption, text});
    });
    int opened = 0;
    commands.setDetailsDialogHook([&opened](AnnotationDetailsDialog& dialog) {
        ++opened;
        dialog.eventEdit().setPlainText(QStringLiteral("Recess until two"));
        QMetaObject::invokeMethod(&dialog, &QDialog::accept, Qt::QueuedConnection);
    });
    QSignalSpy saved(&commands, &AnnotationCommands::annotationSaved);
    panel.selectIndex(2);
    commands.runCommand(AnnotationCommands::kEditAnnotationCommand);
    QCOMPARE(opened, 0);  // edits not allowed

    panel.setAnnotationEditsAllowed(true);
    commands.runCommand(AnnotationCommands::kEditAnnotationCommand);
    QCOMPARE(opened, 1);
    QCOMPARE(saved.count(), 1);
    QCOMPARE(saved.takeFirst().at(0).toInt(), 2);
    QCOMPARE(panel.listView().annotationModel().cellText(2, 2), QStringLiteral("Recess until two"));
    QCOMPARE(panel.selectedIndex(), 2);
    QCOMPARE(AnnotationTestSupport::readRecord(databases_, "COURT1", 2010, 3, 15)
                 ->annotations()[2]
                 .event(),
             std::string("Recess until two"));

    // A recorder's entry is refused with a message, without a dialog.
    record_->addAnnotation(annotation(kDay + 17 * 3600, "Judge", "Adjourned", "Recorder", -5));
    panel.reload();
    commands.editAnnotationAt(3);
    QCOMPARE(opened, 1);
    QCOMPARE(messages_.size(), size_t{1});
    QVERIFY(messages_[0].text.contains(QStringLiteral("recorder")));
}

QTEST_MAIN(AnnotationDetailsDialogTest)
#include "AnnotationDetailsDialogTest.moc"
