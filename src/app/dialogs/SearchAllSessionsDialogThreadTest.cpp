// Searching every session's record on a worker thread and opening a hit.
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include "AnnotationTestSupport.h"
#include "SearchAllSessionsDialog.h"

using AnnotationTestSupport::annotation;

namespace {

// 2010-03-15 00:00:00 UTC.
constexpr uint32_t kDay = 1268611200;

}  // namespace

class SearchAllSessionsDialogThreadTest final : public QObject {
    Q_OBJECT

private slots:
    void init();
    void hitsOfEverySessionAreListedAndOpened();
    void aMissSaysTextNotFound();
    void aDamagedRecordIsReportedAndTheOthersSearched();
    void closingDuringASearchIsSafe();

private:
    std::unique_ptr<QTemporaryDir> directory_;
    QString browse_;
    QString rootA_;
    QString rootB_;
};

void SearchAllSessionsDialogThreadTest::init() {
    // Two archive roots below the browse location; three sessions, two of them with hits.
    directory_ = std::make_unique<QTemporaryDir>();
    browse_ = directory_->path();
    rootA_ = directory_->filePath(QStringLiteral("rootA"));
    rootB_ = directory_->filePath(QStringLiteral("rootB"));
    QVERIFY(AnnotationTestSupport::writeRecord(
        rootA_.toStdString(), "COURT1", 2010, 3, 15,
        {annotation(kDay + 14 * 3600, "Judge", "Court in session"),
         annotation(kDay + 14 * 3600 + 60, "Counsel", "Objection, your honour"),
         annotation(kDay + 14 * 3600 + 120, "Judge", "Overruled"),
         annotation(0, "Counsel", "Objection withdrawn")}));
    QVERIFY(AnnotationTestSupport::writeRecord(
        rootA_.toStdString(), "COURT1", 2010, 3, 16,
        {annotation(kDay + 86400 + 14 * 3600, "Judge", "Nothing to see")}));
    QVERIFY(AnnotationTestSupport::writeRecord(
        rootB_.toStdString(), "COURT2", 2010, 3, 15,
        {annotation(kDay + 15 * 3600, "Counsel", "Objection: relevance")}));
}

void SearchAllSessionsDialogThreadTest::hitsOfEverySessionAreListedAndOpened() {
    SearchAllSessionsDialog dialog(browse_, 0);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Search All Sessions"));
    QSignalSpy finished(&dialog, &SearchAllSessionsDialog::searchFinished);
    QSignalSpy open(&dialog, &SearchAllSessionsDialog::openSessionRequested);
    dialog.startSearch(QStringLiteral("Objection"));
    QVERIFY(dialog.isSearching());
    QVERIFY(finished.wait(20000));
    QCOMPARE(finished.takeFirst().at(0).toInt(), 3);
    QVERIFY(!dialog.isSearching());
    QCOMPARE(dialog.resultCount(), 3);
    QCOMPARE(dialog.resultText(0, 0), QStringLiteral("COURT1"));
    QCOMPARE(dialog.resultText(0, 1), QStringLiteral("03/15/2010"));
    QCOMPARE(dialog.resultText(0, 2), QStringLiteral("02:01:00 PM"));
    QCOMPARE(dialog.resultText(0, 3), QStringLiteral("Counsel"));
    QCOMPARE(dialog.resultText(0, 4), QStringLiteral("Objection, your honour"));
    QCOMPARE(dialog.resultText(1, 4), QStringLiteral("Objection withdrawn"));
    QCOMPARE(dialog.resultText(2, 0), QStringLiteral("COURT2"));
    QCOMPARE(dialog.resultText(2, 4), QStringLiteral("Objection: relevance"));
    QVERIFY(dialog.statusText().contains(QStringLiteral("3 annotation(s) found in 2 session(s)")));

    // "Open Session" on the COURT2 hit.
    QVERIFY(dialog.selectResult(2));
    auto* openButton = dialog.findChild<QPushButton*>();
    for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
        if (button->text() == QStringLiteral("Open Session")) {
            openButton = button;
        }
    }
    QVERIFY(openButton != nullptr && openButton->isEnabled());
    QTest::mouseClick(openButton, Qt::LeftButton);
    QCOMPARE(open.count(), 1);
    auto choice = open.takeFirst().at(0).value<SessionOpenChoice>();
    QCOMPARE(choice.root, rootB_);
    QCOMPARE(choice.location, QStringLiteral("COURT2"));
    QCOMPARE(choice.year, 2010);
    QCOMPARE(choice.month, 3);
    QCOMPARE(choice.day, 15);
    QVERIFY(choice.hasTime);
    QCOMPARE(choice.epochSeconds, double(kDay + 15 * 3600));

    // A hit without a time stamp opens its session without a time.
    QVERIFY(dialog.selectResult(1));
    SessionOpenChoice untimed;
    QVERIFY(dialog.selectedChoice(untimed));
    QCOMPARE(untimed.root, rootA_);
    QCOMPARE(untimed.location, QStringLiteral("COURT1"));
    QVERIFY(!untimed.hasTime);
    QVERIFY(!dialog.selectResult(3));
}

void SearchAllSessionsDialogThreadTest::aMissSaysTextNotFound() {
    SearchAllSessionsDialog dialog(browse_, 0);
    QSignalSpy finished(&dialog, &SearchAllSessionsDialog::searchFinished);
    dialog.searchEdit().setText(QStringLiteral("Adjourned"));
    QTest::keyClick(&dialog.searchEdit(), Qt::Key_Return);
    QVERIFY(finished.wait(20000));
    QCOMPARE(dialog.resultCount(), 0);
    QCOMPARE(dialog.statusText(), QStringLiteral("Text not found!"));
    SessionOpenChoice choice;
    QVERIFY(!dialog.selectedChoice(choice));
    // An empty text starts nothing.
    dialog.startSearch(QString());
    QVERIFY(!dialog.isSearching());
}

void SearchAllSessionsDialogThreadTest::aDamagedRecordIsReportedAndTheOthersSearched() {
    QFile damaged(rootB_ + "/Databases/COURT9~20100315.xml");
    QVERIFY(damaged.open(QIODevice::WriteOnly));
    damaged.write("<database date=\"20100315\"><annotations><annotation>Objection");
    damaged.close();
    SearchAllSessionsDialog dialog(browse_, 0);
    QSignalSpy finished(&dialog, &SearchAllSessionsDialog::searchFinished);
    dialog.startSearch(QStringLiteral("Objection"));
    QVERIFY(finished.wait(20000));
    QCOMPARE(dialog.resultCount(), 3);
    QVERIFY2(dialog.statusText().contains(QStringLiteral("could not be searched")),
             qPrintable(dialog.statusText()));
    QVERIFY(dialog.statusText().contains(QStringLiteral("COURT9~20100315.xml")));
}

void SearchAllSessionsDialogThreadTest::closingDuringASearchIsSafe() {
    // Many records, so that the dialog goes while the worker still reads.
    for (int day = 1; day <= 28; ++day) {
        std::vector<JexAnnotation> notes;
        for (int i = 0; i < 200; ++i) {
            notes.push_back(annotation(kDay + static_cast<uint32_t>(i), "Counsel",
                                       "Objection number " + std::to_string(i)));
        }
        QVERIFY(AnnotationTestSupport::writeRecord(rootA_.toStdString(), "COURT5", 2011, 2, day,
                                                   notes));
    }
    auto dialog = std::make_unique<SearchAllSessionsDialog>(browse_, 0);
    dialog->startSearch(QStringLiteral("Objection"));
    dialog.reset();
    // The worker's result arrives for a dialog that is gone and is dropped.
    QTest::qWait(1500);
    SearchAllSessionsDialog next(browse_, 0);
    QSignalSpy finished(&next, &SearchAllSessionsDialog::searchFinished);
    next.startSearch(QStringLiteral("Objection number 199"));
    QVERIFY(finished.wait(20000));
    QCOMPARE(next.resultCount(), 28);

    // 28 x 200 hits: counted, the first 5000 listed.
    next.startSearch(QStringLiteral("Objection number"));
    QVERIFY(finished.wait(20000));
    QCOMPARE(next.resultCount(), 5000);
    QVERIFY2(next.statusText().startsWith(QStringLiteral(
                 "5600 annotation(s) found in 28 session(s). The first 5000 are listed")),
             qPrintable(next.statusText()));
    QCOMPARE(next.resultText(4999, 4), QStringLiteral("Objection number 199"));
}

QTEST_MAIN(SearchAllSessionsDialogThreadTest)
#include "SearchAllSessionsDialogThreadTest.moc"
