// The annotation commands: saving, printing, searching the open session, About, the guide.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTreeWidget>

#include "AboutDialog.h"
#include "AnnotationCommands.h"
#include "AnnotationPanel.h"
#include "AnnotationTestSupport.h"

using AnnotationTestSupport::annotation;

namespace {

// 2010-03-15 00:00:00 UTC.
constexpr uint32_t kDay = 1268611200;

struct Message {
    QString caption;
    QString text;
};

}  // namespace

class AnnotationCommandsTest final : public QObject {
    Q_OBJECT

private slots:
    void init();
    void savedFileNamesFollowTheExtensionRules();
    void annotationsAreSavedAsHtmlAndText();
    void aSaveThatCannotBeWrittenSaysSoAndLeavesNothing();
    void commandsNeedASession();
    void printingToPdfHoldsTheAnnotations();
    void aPrinterThatFailsShowsThePrintError();
    void searchFindsNextWrapsAndMisses();
    void aboutNamesTheProgramInItsModeAndVersion();
    void userGuideShowsOurPages();
    void actionsCarryTextsIdsAndShortcuts();
    void searchAllSessionsRelaysTheChosenHit();

private:
    std::unique_ptr<QTemporaryDir> directory_;
    std::unique_ptr<JexSession> record_;
    std::unique_ptr<AnnotationPanel> panel_;
    std::unique_ptr<AnnotationCommands> commands_;
    std::vector<Message> messages_;
    QString chosenName_;
    int chooserCalls_ = 0;
};

void AnnotationCommandsTest::init() {
    directory_ = std::make_unique<QTemporaryDir>();
    // "Annotations.html" goes to the temporary directory: this test's own.
    qputenv("TMPDIR", directory_->path().toLocal8Bit());
    messages_.clear();
    chooserCalls_ = 0;
    record_ = AnnotationTestSupport::writeRecord(
        directory_->filePath(QStringLiteral("root")).toStdString(), "COURT1", 2010, 3, 15,
        {annotation(kDay + 14 * 3600, "Judge Amberly", "Court in session", "Clerk", -5),
         annotation(kDay + 14 * 3600 + 600, "Counsel", "Objection: hearsay", "Clerk", -5),
         annotation(kDay + 14 * 3600 + 900, "Judge Amberly", "Sustained", "Clerk", -5),
         annotation(kDay + 14 * 3600 + 1200, "Counsel", "Objection: leading", "Clerk", -5),
         annotation(kDay + 15 * 3600, "Judge Amberly", "Recess <15 minutes> & tea", "Clerk", -5)});
    QVERIFY(record_);
    panel_ = std::make_unique<AnnotationPanel>();
    panel_->setSession(record_.get(), -5);
    commands_ = std::make_unique<AnnotationCommands>(*panel_, nullptr);
    commands_->setMessagePresenter([this](const QString& caption, const QString& text) {
        messages_.push_back({caption, text});
    });
    commands_->setFileNameChooser([this](const QString&, const QString&, const QString&) {
        ++chooserCalls_;
        return chosenName_;
    });
}

void AnnotationCommandsTest::savedFileNamesFollowTheExtensionRules() {
    const auto html = &AnnotationCommands::htmlFileName;
    QCOMPARE(html(QStringLiteral("/a/notes")), QStringLiteral("/a/notes.html"));
    QCOMPARE(html(QStringLiteral("/a/notes.htm")), QStringLiteral("/a/notes.htm"));
    QCOMPARE(html(QStringLiteral("/a/notes.HTM")), QStringLiteral("/a/notes.HTM"));
    QCOMPARE(html(QStringLiteral("/a/notes.html")), QStringLiteral("/a/notes.html"));
    QCOMPARE(html(QStringLiteral("/a/notes.HTML")), QStringLiteral("/a/notes.HTML"));
    QCOMPARE(html(QStringLiteral("/a/notes.Htm")), QStringLiteral("/a/notes.Htm.html"));
    QCOMPARE(html(QStringLiteral("/a/notes.htm.txt")), QStringLiteral("/a/notes.htm.txt.html"));
    QCOMPARE(html(QStringLiteral("/a/notes.txt")), QStringLiteral("/a/notes.txt.html"));
    QCOMPARE(html(QStringLiteral("/a/final")), QStringLiteral("/a/final.html"));
    const auto text = &AnnotationCommands::textFileName;
    QCOMPARE(text(QStringLiteral("/a/notes")), QStringLiteral("/a/notes.txt"));
    QCOMPARE(text(QStringLiteral("/a/notes.txt")), QStringLiteral("/a/notes.txt"));
    QCOMPARE(text(QStringLiteral("/a/notes.TXT")), QStringLiteral("/a/notes.TXT"));
    QCOMPARE(text(QStringLiteral("/a/notes.Txt")), QStringLiteral("/a/notes.Txt.txt"));
    QCOMPARE(text(QStringLiteral("/a/notes.html")), QStringLiteral("/a/notes.html.txt"));
    QCOMPARE(AnnotationCommands::pdfFileName(QStringLiteral("/a/p")), QStringLiteral("/a/p.pdf"));
    QCOMPARE(AnnotationCommands::pdfFileName(QStringLiteral("/a/p.PDF")),
             QStringLiteral("/a/p.PDF"));
    const auto video = &AnnotationCommands::videoFileName;
    QCOMPARE(video(QStringLiteral("/a/v")), QStringLiteral("/a/v.mp4"));
    QCOMPARE(video(QStringLiteral("/a/v.MKV")), QStringLiteral("/a/v.MKV"));
    QCOMPARE(video(QStringLiteral("/a/v.mp4")), QStringLiteral("/a/v.mp4"));
    QCOMPARE(video(QStringLiteral("/a/v.avi")), QStringLiteral("/a/v.avi.mp4"));
}

void AnnotationCommandsTest::annotationsAreSavedAsHtmlAndText() {
    QSignalSpy stops(commands_.get(), &AnnotationCommands::stopPlaybackRequested);
    chosenName_ = directory_->filePath(QStringLiteral("notes"));
    QVERIFY(commands_->runCommand(AnnotationCommands::kSaveHtmlCommand));
    QCOMPARE(chooserCalls_, 1);
    QCOMPARE(stops.count(), 1);
    const std::string html = AnnotationTestSupport::fileText(chosenName_ + ".html");
    QVERIFY(
        html.starts_with("<html><table border=\"1\"><th>Location</th><th>Date</th>"
                         "<tr><td>COURT1</td><td>3/15/2010</td></tr></table><br>"));
    QVERIFY(html.find("<tr><td>03/15/2010  09:10:00 AM&nbsp;</td><td>&nbsp;Counsel </td><td>"
                      "&nbsp;Objection: hearsay </td></tr>\n") != std::string::npos);
    QVERIFY(html.find("Recess &lt;15 minutes&gt; &amp; tea") != std::string::npos);
    QVERIFY(html.ends_with("</table></body></html>"));

    chosenName_ = directory_->filePath(QStringLiteral("notes.htm"));
    QVERIFY(commands_->runCommand(AnnotationCommands::kSaveHtmlCommand));
    QVERIFY(QFile::exists(chosenName_));
    QVERIFY(!QFile::exists(chosenName_ + ".html"));

    chosenName_ = directory_->filePath(QStringLiteral("notes"));
    QVERIFY(commands_->runCommand(AnnotationCommands::kSaveTextCommand));
    const std::string text = AnnotationTestSupport::fileText(chosenName_ + ".txt");
    QVERIFY(
        text.starts_with("Session : COURT1, 3/15/2010\n\n03/15/2010  09:00:00 AM\t\t"
                         "Judge Amberly\t\tCourt in session\n\n"));
    QVERIFY(text.ends_with("Recess <15 minutes> & tea\n\n"));

    // Cancelled: nothing written.
    chosenName_.clear();
    const int filesBefore = int(QDir(directory_->path()).entryList(QDir::Files).size());
    commands_->saveAnnotationsAsText();
    QCOMPARE(int(QDir(directory_->path()).entryList(QDir::Files).size()), filesBefore);
    QVERIFY(messages_.empty());
}

void AnnotationCommandsTest::aSaveThatCannotBeWrittenSaysSoAndLeavesNothing() {
    const QString missing = directory_->filePath(QStringLiteral("no/such/folder/notes"));
    QVERIFY(!commands_->saveAnnotationsAsHtmlTo(missing));
    QCOMPARE(messages_.size(), size_t{1});
    QCOMPARE(messages_[0].caption, QStringLiteral("Save Annotations"));
    QVERIFY2(messages_[0].text.contains(missing + ".html"), qPrintable(messages_[0].text));
    QVERIFY(!QFile::exists(missing + ".html"));

    // An older file stays whole when the new one cannot replace it: here a directory
    // stands where the file would go.
    const QString blocked = directory_->filePath(QStringLiteral("blocked.txt"));
    QVERIFY(QDir().mkpath(blocked));
    QVERIFY(!commands_->saveAnnotationsAsTextTo(blocked));
    QCOMPARE(messages_.size(), size_t{2});
    QVERIFY(QFileInfo(blocked).isDir());
}

void AnnotationCommandsTest::commandsNeedASession() {
    panel_->clear();
    QSignalSpy stops(commands_.get(), &AnnotationCommands::stopPlaybackRequested);
    chosenName_ = directory_->filePath(QStringLiteral("nothing"));
    commands_->runCommand(AnnotationCommands::kSaveHtmlCommand);
    commands_->runCommand(AnnotationCommands::kSaveTextCommand);
    commands_->runCommand(AnnotationCommands::kPrintToPdfCommand);
    QVERIFY(!commands_->findText(QStringLiteral("Objection")));
    QVERIFY(!commands_->findNext());
    QVERIFY(!commands_->printAnnotationsToPdf(directory_->filePath(QStringLiteral("x.pdf"))));
    commands_->runCommand(AnnotationCommands::kExportSessionCommand);
    QCOMPARE(chooserCalls_, 0);
    QCOMPARE(stops.count(), 0);
    QVERIFY(messages_.empty());
    QVERIFY(!QFile::exists(directory_->filePath(QStringLiteral("x.pdf"))));
    QVERIFY(!commands_->runCommand(12345));
}

void AnnotationCommandsTest::printingToPdfHoldsTheAnnotations() {
    const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (pdftotext.isEmpty()) {
        QFAIL("pdftotext (poppler-utils, see scripts/install-deps) is needed to read the PDF");
    }
    // Enough annotations for several pages: every page is printed.
    for (int i = 0; i < 120; ++i) {
        record_->addAnnotation(annotation(kDay + 16 * 3600 + 60 * i, "Witness",
                                          "Answer number " + std::to_string(i), "Clerk", -5));
    }
    panel_->reload();
    chosenName_ = directory_->filePath(QStringLiteral("printed"));
    QVERIFY(commands_->runCommand(AnnotationCommands::kPrintToPdfCommand));
    QVERIFY2(messages_.empty(), messages_.empty() ? "" : qPrintable(messages_[0].text));
    const QString pdf = chosenName_ + ".pdf";
    QVERIFY(AnnotationTestSupport::fileText(pdf).starts_with("%PDF"));
    // What was printed is the HTML export, left in the temporary directory.
    const std::string printed =
        AnnotationTestSupport::fileText(directory_->filePath(QStringLiteral("Annotations.html")));
    QVERIFY(printed.starts_with("<html>"));
    QVERIFY(printed.find("Answer number 119") != std::string::npos);

    QProcess reader;
    reader.start(pdftotext, {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    QVERIFY(reader.waitForFinished(30000));
    QCOMPARE(reader.exitCode(), 0);
    const QString text = QString::fromUtf8(reader.readAllStandardOutput());
    // (Texts without "ff", "fi" and the like: the printed font joins them into one glyph.)
    for (const char* expected :
         {"Location", "COURT1", "3/15/2010", "Speaker", "Event", "Judge Amberly",
          "Objection: hearsay", "09:10:00 AM", "Recess <15 minutes> & tea", "Answer number 0",
          "Answer number 119"}) {
        QVERIFY2(text.contains(QLatin1String(expected)), expected);
    }
    QVERIFY(text.count(QLatin1Char('\f')) >= 2);  // more than one page
}

void AnnotationCommandsTest::aPrinterThatFailsShowsThePrintError() {
    const QString unwritable = directory_->filePath(QStringLiteral("no/such/folder/out.pdf"));
    QVERIFY(!commands_->printAnnotationsToPdf(unwritable));
    QCOMPARE(messages_.size(), size_t{1});
    QCOMPARE(messages_[0].caption, QStringLiteral("Printing Error"));
    QCOMPARE(messages_[0].text,
             QStringLiteral("Error!  Could not execute print job.  Check permsissions and default "
                            "printer configuration."));
}

void AnnotationCommandsTest::searchFindsNextWrapsAndMisses() {
    QVERIFY(commands_->findText(QStringLiteral("Objection")));
    QCOMPARE(panel_->selectedIndex(), 1);
    QCOMPARE(commands_->lastSearchText(), QStringLiteral("Objection"));
    QVERIFY(commands_->findNext());
    QCOMPARE(panel_->selectedIndex(), 3);
    QVERIFY(commands_->findNext());  // wraps to the first hit
    QCOMPARE(panel_->selectedIndex(), 1);
    QVERIFY(messages_.empty());

    // Case counts, as in every search of the records.
    QVERIFY(!commands_->findText(QStringLiteral("objection")));
    QCOMPARE(messages_.size(), size_t{1});
    QCOMPARE(messages_[0].text, QStringLiteral("Text not found!"));
    QCOMPARE(panel_->selectedIndex(), 1);  // the selection stays

    // One hit only: F3 finds it again.
    QVERIFY(commands_->findText(QStringLiteral("tea")));
    QCOMPARE(panel_->selectedIndex(), 4);
    QVERIFY(commands_->findNext());
    QCOMPARE(panel_->selectedIndex(), 4);

    // A hit that the list gains later is found from the last one on.
    record_->addAnnotation(annotation(kDay + 16 * 3600, "Counsel", "More tea", "Clerk", -5));
    panel_->reload();
    QVERIFY(commands_->findNext());
    QCOMPARE(panel_->selectedIndex(), 5);
    QCOMPARE(messages_.size(), size_t{1});
}

void AnnotationCommandsTest::aboutNamesTheProgramInItsModeAndVersion() {
    const QRegularExpression version(QStringLiteral("^\\d+\\.\\d+\\.\\d+$"));
    QVERIFY(version.match(AboutDialog::versionText()).hasMatch());
    AboutDialog player(false);
    QVERIFY(player.bodyText().startsWith(QStringLiteral("Galewick version ") +
                                         AboutDialog::versionText()));
    QVERIFY(player.bodyText().contains(QStringLiteral("Player mode")));
    AboutDialog sealer(true);
    QVERIFY(sealer.bodyText().startsWith(QStringLiteral("Brindlemark version ")));
    QVERIFY(sealer.bodyText().contains(QStringLiteral("Sealer mode")));
}

void AnnotationCommandsTest::userGuideShowsOurPages() {
    QVERIFY(commands_->helpWindow() == nullptr);
    QVERIFY(commands_->runCommand(AnnotationCommands::kUserGuideCommand));
    HelpWindow* help = commands_->helpWindow();
    QVERIFY(help != nullptr);
    QVERIFY(help->isVisible());
    const QString text = help->browser().toPlainText();
    for (const char* section :
         {"Modes", "Opening a session", "Playing", "Keys and shortcuts", "Foot pedal",
          "Annotations", "Searching", "Printing and saving", "Exporting a session", "Sealer mode",
          "Configuration", "galewickConfiguration.xml"}) {
        QVERIFY2(text.contains(QLatin1String(section)), section);
    }
    commands_->showUserGuide();
    QCOMPARE(commands_->helpWindow(), help);  // one window
}

void AnnotationCommandsTest::actionsCarryTextsIdsAndShortcuts() {
    QObject owner;
    const struct {
        int id;
        const char* text;
        QKeySequence shortcut;
    } expected[] = {
        {32800, "Save Annotations in HTML", {}},
        {32824, "Save Annotations as Text", {}},
        {32798, "Print Annotations", QKeySequence(QKeySequence::Print)},
        {32810, "Search open session", QKeySequence(QKeySequence::Find)},
        {32811, "Search all sessions", {}},
        {32812, "Edit Annotation", {}},
        {32825, "Export Session", {}},
        {32803, "About", {}},
        {104, "&About ...", {}},
        {32821, "User Guide", QKeySequence(Qt::Key_F1)},
    };
    for (const auto& entry : expected) {
        QAction* action = commands_->createAction(entry.id, &owner);
        QVERIFY(action != nullptr);
        QCOMPARE(action->text(), QString::fromLatin1(entry.text));
        QCOMPARE(action->data().toInt(), entry.id);
        QCOMPARE(action->shortcut(), entry.shortcut);
    }
    QVERIFY(commands_->createAction(1, &owner) == nullptr);
    // Triggering runs the command.
    chosenName_ = directory_->filePath(QStringLiteral("from-menu"));
    commands_->createAction(32824, &owner)->trigger();
    QVERIFY(QFile::exists(chosenName_ + ".txt"));
}

void AnnotationCommandsTest::searchAllSessionsRelaysTheChosenHit() {
    // A shown dialog wakes Qt's own thread pool, which the thread checker cannot follow (Qt is
    // not built for it): the worker's hand-over is checked in SearchAllSessionsDialogThreadTest.
    const QString rootB = directory_->filePath(QStringLiteral("rootB"));
    QVERIFY(AnnotationTestSupport::writeRecord(
        rootB.toStdString(), "COURT2", 2010, 3, 15,
        {annotation(kDay + 15 * 3600, "Counsel", "Objection: relevance")}));
    AnnotationPanel panel;
    QWidget window;
    AnnotationCommands commands(panel, &window);
    commands.setBrowseLocation(directory_->path());
    QSignalSpy stops(&commands, &AnnotationCommands::stopPlaybackRequested);
    QSignalSpy open(&commands, &AnnotationCommands::openSessionRequested);
    QVERIFY(commands.runCommand(AnnotationCommands::kSearchAllSessionsCommand));
    QCOMPARE(stops.count(), 1);
    SearchAllSessionsDialog* dialog = commands.searchAllSessionsDialog();
    QVERIFY(dialog != nullptr);
    QVERIFY(dialog->isVisible());
    QSignalSpy finished(dialog, &SearchAllSessionsDialog::searchFinished);
    dialog->startSearch(QStringLiteral("relevance"));
    QVERIFY(finished.wait(20000));
    QCOMPARE(dialog->resultCount(), 1);
    auto* results = dialog->findChild<QTreeWidget*>();
    QVERIFY(results != nullptr);
    const QRect row = results->visualItemRect(results->topLevelItem(0));
    QTest::mouseClick(results->viewport(), Qt::LeftButton, {}, row.center());
    QTest::mouseDClick(results->viewport(), Qt::LeftButton, {}, row.center());
    QCOMPARE(open.count(), 1);
    const auto choice = open.takeFirst().at(0).value<SessionOpenChoice>();
    QCOMPARE(choice.location, QStringLiteral("COURT2"));
    QCOMPARE(choice.root, rootB);
    // The command again shows the same dialog.
    QVERIFY(commands.runCommand(AnnotationCommands::kSearchAllSessionsCommand));
    QCOMPARE(commands.searchAllSessionsDialog(), dialog);
    dialog->close();
    QTRY_VERIFY(commands.searchAllSessionsDialog() == nullptr);
}

QTEST_MAIN(AnnotationCommandsTest)
#include "AnnotationCommandsTest.moc"
