#include "AnnotationCommands.h"

#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeySequence>
#include <QMessageBox>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QStandardPaths>
#include <QTextDocument>
#include <sstream>

#include "AboutDialog.h"
#include "AnnotationDetailsDialog.h"
#include "AnnotationListModel.h"
#include "AnnotationPanel.h"
#include "AnnotationRecordEditor.h"
#include "ExporterLauncher.h"
#include "FileIo.h"
#include "HelpWindow.h"
#include "JexSession.h"
#include "SearchSessionDialog.h"
#include "WallClockTime.h"
#include "Win32_ListViewControl.h"

namespace {

constexpr const char* kSaveCaption = "Save Annotations";
constexpr const char* kSearchCaption = "Search current session";
constexpr const char* kEditCaption = "Annotation Details";
constexpr const char* kExportCaption = "Export Session";

bool endsWith(const QString& name, const char* suffix) {
    return name.endsWith(QLatin1String(suffix), Qt::CaseSensitive);
}

}  // namespace

AnnotationCommands::AnnotationCommands(AnnotationPanel& panel, QWidget* window, QObject* parent)
    : QObject(parent), panel_(panel), window_(window) {
    connect(&panel_, &AnnotationPanel::editAnnotationRequested, this,
            &AnnotationCommands::editAnnotationAt);
}

AnnotationCommands::~AnnotationCommands() {
    // Windows opened without a window to own them.
    if (help_ != nullptr && help_->parent() == nullptr) {
        delete help_;
    }
    if (searchAllDialog_ != nullptr && searchAllDialog_->parent() == nullptr) {
        delete searchAllDialog_;
    }
}

void AnnotationCommands::setMessagePresenter(MessagePresenter presenter) {
    presenter_ = std::move(presenter);
}

void AnnotationCommands::setFileNameChooser(FileNameChooser chooser) {
    chooser_ = std::move(chooser);
}

JexSession* AnnotationCommands::record() const {
    return panel_.record();
}

void AnnotationCommands::tell(const QString& caption, const QString& text) const {
    if (presenter_) {
        presenter_(caption, text);
    } else {
        QMessageBox::warning(window_, caption, text);
    }
}

QString AnnotationCommands::chooseFileName(const QString& caption, const QString& filter,
                                           const QString& suggested) const {
    if (chooser_) {
        return chooser_(caption, filter, suggested);
    }
    return QFileDialog::getSaveFileName(window_, caption, suggested, filter);
}

bool AnnotationCommands::runCommand(int commandId) {
    switch (commandId) {
        case kSaveHtmlCommand:
            saveAnnotationsAsHtml();
            return true;
        case kSaveTextCommand:
            saveAnnotationsAsText();
            return true;
        case kPrintCommand:
            printAnnotations();
            return true;
        case kPrintToPdfCommand:
            printAnnotationsToPdfFile();
            return true;
        case kSearchOpenSessionCommand:
            searchOpenSession();
            return true;
        case kSearchAllSessionsCommand:
            searchAllSessions();
            return true;
        case kEditAnnotationCommand:
            editAnnotation();
            return true;
        case kExportSessionCommand:
            exportSession();
            return true;
        case kAboutCommand:
        case kAboutMenuCommand:
            showAbout();
            return true;
        case kUserGuideCommand:
            showUserGuide();
            return true;
        default:
            return false;
    }
}

QAction* AnnotationCommands::createAction(int commandId, QObject* parent) {
    QString text;
    QKeySequence shortcut;
    switch (commandId) {
        case kSaveHtmlCommand:
            text = QStringLiteral("Save Annotations in HTML");
            break;
        case kSaveTextCommand:
            text = QStringLiteral("Save Annotations as Text");
            break;
        case kPrintCommand:
            text = QStringLiteral("Print Annotations");
            shortcut = QKeySequence::Print;
            break;
        case kPrintToPdfCommand:
            text = QStringLiteral("Print Annotations to PDF ...");
            break;
        case kSearchOpenSessionCommand:
            text = QStringLiteral("Search open session");
            shortcut = QKeySequence::Find;
            break;
        case kSearchAllSessionsCommand:
            text = QStringLiteral("Search all sessions");
            break;
        case kEditAnnotationCommand:
            text = QStringLiteral("Edit Annotation");
            break;
        case kExportSessionCommand:
            text = QStringLiteral("Export Session");
            break;
        case kAboutCommand:
            text = QStringLiteral("About");
            break;
        case kAboutMenuCommand:
            text = QStringLiteral("&About ...");
            break;
        case kUserGuideCommand:
            text = QStringLiteral("User Guide");
            shortcut = QKeySequence(Qt::Key_F1);
            break;
        default:
            return nullptr;
    }
    auto* action = new QAction(text, parent);
    action->setData(commandId);
    if (!shortcut.isEmpty()) {
        action->setShortcut(shortcut);
    }
    connect(action, &QAction::triggered, this, [this, commandId] { runCommand(commandId); });
    return action;
}

QString AnnotationCommands::htmlFileName(const QString& chosen) {
    // ".htm" or ".HTM" at the end, or followed only by the "l" of ".html".
    QString stem = chosen;
    if (stem.endsWith(QLatin1Char('l')) || stem.endsWith(QLatin1Char('L'))) {
        stem.chop(1);
    }
    if (endsWith(chosen, ".htm") || endsWith(chosen, ".HTM") || endsWith(stem, ".htm") ||
        endsWith(stem, ".HTM")) {
        return chosen;
    }
    return chosen + QStringLiteral(".html");
}

QString AnnotationCommands::textFileName(const QString& chosen) {
    if (endsWith(chosen, ".txt") || endsWith(chosen, ".TXT")) {
        return chosen;
    }
    return chosen + QStringLiteral(".txt");
}

QString AnnotationCommands::videoFileName(const QString& chosen) {
    if (chosen.endsWith(QStringLiteral(".mp4"), Qt::CaseInsensitive) ||
        chosen.endsWith(QStringLiteral(".mkv"), Qt::CaseInsensitive)) {
        return chosen;
    }
    return chosen + QStringLiteral(".mp4");
}

QString AnnotationCommands::pdfFileName(const QString& chosen) {
    if (chosen.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive)) {
        return chosen;
    }
    return chosen + QStringLiteral(".pdf");
}

void AnnotationCommands::saveAnnotationsAsHtml() {
    if (record() == nullptr) {
        return;
    }
    emit stopPlaybackRequested();
    const QString chosen = chooseFileName(QStringLiteral("Save Annotations in HTML"),
                                          QStringLiteral("HTML (*.html *.htm)"));
    if (!chosen.isEmpty()) {
        saveAnnotationsAsHtmlTo(chosen);
    }
}

void AnnotationCommands::saveAnnotationsAsText() {
    if (record() == nullptr) {
        return;
    }
    emit stopPlaybackRequested();
    const QString chosen =
        chooseFileName(QStringLiteral("Save Annotations as Text"), QStringLiteral("TEXT (*.txt)"));
    if (!chosen.isEmpty()) {
        saveAnnotationsAsTextTo(chosen);
    }
}

bool AnnotationCommands::writeExport(const QString& path, bool html) {
    JexSession* session = record();
    if (session == nullptr) {
        return false;
    }
    std::ostringstream text;
    const bool exported = html ? session->exportAsHtml(text) : session->exportAsText(text);
    std::string error = "the annotations could not be formatted";
    // Written whole or not at all: a failed save never leaves half a file in place of the old.
    if (!exported ||
        !FileIo::writeFileAtomically(QFile::encodeName(path).toStdString(), text.str(), &error)) {
        tell(QString::fromLatin1(kSaveCaption),
             QStringLiteral("The annotations could not be saved to %1: %2.")
                 .arg(path, QString::fromStdString(error)));
        return false;
    }
    return true;
}

bool AnnotationCommands::saveAnnotationsAsHtmlTo(const QString& fileName, QString* writtenPath) {
    const QString path = htmlFileName(fileName);
    if (!writeExport(path, true)) {
        return false;
    }
    if (writtenPath != nullptr) {
        *writtenPath = path;
    }
    return true;
}

bool AnnotationCommands::saveAnnotationsAsTextTo(const QString& fileName, QString* writtenPath) {
    const QString path = textFileName(fileName);
    if (!writeExport(path, false)) {
        return false;
    }
    if (writtenPath != nullptr) {
        *writtenPath = path;
    }
    return true;
}

QString AnnotationCommands::printFilePath() {
    return QDir(QDir::tempPath()).filePath(QString::fromLatin1(kPrintFileName));
}

void AnnotationCommands::printAnnotations() {
    if (record() == nullptr) {
        return;
    }
    emit stopPlaybackRequested();
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, window_);
    dialog.setWindowTitle(QStringLiteral("Print Annotations"));
    if (dialog.exec() == QDialog::Accepted) {
        printAnnotationsTo(printer);
    }
}

void AnnotationCommands::printAnnotationsToPdfFile() {
    if (record() == nullptr) {
        return;
    }
    emit stopPlaybackRequested();
    const QString chosen =
        chooseFileName(QStringLiteral("Print Annotations to PDF"), QStringLiteral("PDF (*.pdf)"));
    if (!chosen.isEmpty()) {
        printAnnotationsToPdf(pdfFileName(chosen));
    }
}

bool AnnotationCommands::printAnnotationsToPdf(const QString& pdfPath) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdfPath);
    return printAnnotationsTo(printer);
}

bool AnnotationCommands::printAnnotationsTo(QPrinter& printer) {
    if (record() == nullptr) {
        return false;
    }
    // The HTML export goes to "Annotations.html" first: what is printed is that file.
    const QString htmlPath = printFilePath();
    if (!writeExport(htmlPath, true)) {
        return false;
    }
    std::string html;
    if (!FileIo::readWholeFile(QFile::encodeName(htmlPath).toStdString(), html,
                               JexSession::kMaximumRecordBytes * 2)) {
        tell(QString::fromLatin1(kPrintErrorCaption), QString::fromLatin1(kPrintError));
        return false;
    }
    if (!printHtml(QString::fromStdString(html), printer)) {
        tell(QString::fromLatin1(kPrintErrorCaption), QString::fromLatin1(kPrintError));
        return false;
    }
    return true;
}

bool AnnotationCommands::printHtml(const QString& html, QPrinter& printer) {
    QTextDocument document;
    // Laid out for the printer's resolution, page by page in its printable area.
    document.documentLayout()->setPaintDevice(&printer);
    document.setHtml(html);
    const QRect body = printer.pageLayout().paintRectPixels(printer.resolution());
    if (body.isEmpty()) {
        return false;
    }
    document.setPageSize(QSizeF(body.size()));
    QPainter painter;
    if (!painter.begin(&printer)) {
        return false;
    }
    const int pages = document.pageCount();
    for (int page = 0; page < pages; ++page) {
        if (page > 0 && !printer.newPage()) {
            painter.end();
            return false;
        }
        const QRectF clip(0, page * body.height(), body.width(), body.height());
        painter.save();
        painter.translate(0, -clip.top());
        document.drawContents(&painter, clip);
        painter.restore();
    }
    return painter.end() && printer.printerState() != QPrinter::Error &&
           printer.printerState() != QPrinter::Aborted;
}

void AnnotationCommands::searchOpenSession() {
    if (record() == nullptr) {
        return;
    }
    emit stopPlaybackRequested();
    SearchSessionDialog dialog(lastSearchText_, window_);
    if (dialog.exec() == QDialog::Accepted && !dialog.text().isEmpty()) {
        findText(dialog.text());
    }
}

bool AnnotationCommands::findText(const QString& text) {
    if (record() == nullptr || text.isEmpty()) {
        return false;
    }
    lastSearchText_ = text;
    lastHitIndex_ = -1;
    return findNext();
}

bool AnnotationCommands::findNext() {
    if (record() == nullptr) {
        return false;
    }
    if (lastSearchText_.isEmpty()) {
        searchOpenSession();
        return panel_.selectedIndex() >= 0 && lastHitIndex_ >= 0;
    }
    // The rows the list shows: a record read again meanwhile is searched once the list shows it.
    const std::vector<JexAnnotation>& annotations =
        panel_.listView().annotationModel().annotations();
    const std::string wanted = lastSearchText_.toStdString();
    const size_t count = annotations.size();
    const size_t start = lastHitIndex_ < 0 ? 0 : static_cast<size_t>(lastHitIndex_) + 1;
    // From after the last hit to the end, then from the first annotation up to the last hit.
    for (size_t step = 0; step < count; ++step) {
        const size_t index = (start + step) % count;
        if (annotations[index].eventContains(wanted)) {
            lastHitIndex_ = static_cast<int>(index);
            panel_.selectIndex(lastHitIndex_);
            return true;
        }
    }
    tell(QString::fromLatin1(kSearchCaption), QString::fromLatin1(kTextNotFound));
    return false;
}

void AnnotationCommands::searchAllSessions() {
    emit stopPlaybackRequested();
    if (searchAllDialog_ != nullptr) {
        searchAllDialog_->show();
        searchAllDialog_->raise();
        searchAllDialog_->activateWindow();
        return;
    }
    const int offsetHours = record() != nullptr ? panel_.offsetHours()
                                                : WallClockTime::localOffsetFromUtcSeconds() / 3600;
    searchAllDialog_ = new SearchAllSessionsDialog(browseLocation_, offsetHours, window_);
    searchAllDialog_->setAttribute(Qt::WA_DeleteOnClose);
    connect(searchAllDialog_, &SearchAllSessionsDialog::openSessionRequested, this,
            &AnnotationCommands::openSessionRequested);
    searchAllDialog_->show();
}

void AnnotationCommands::editAnnotation() {
    editAnnotationAt(panel_.selectedIndex());
}

void AnnotationCommands::editAnnotationAt(int index) {
    JexSession* session = record();
    const std::vector<JexAnnotation>& shown = panel_.listView().annotationModel().annotations();
    if (session == nullptr || !panel_.annotationEditsAllowed() || index < 0 ||
        static_cast<size_t>(index) >= shown.size()) {
        return;
    }
    const JexAnnotation annotation = shown[static_cast<size_t>(index)];
    if (!AnnotationRecordEditor::isEditable(annotation)) {
        tell(QString::fromLatin1(kEditCaption),
             QStringLiteral("This annotation was made by the %1 and cannot be edited.")
                 .arg(annotation.user() == AnnotationRecordEditor::kRecorderUser
                          ? QStringLiteral("recorder")
                          : QStringLiteral("session copy")));
        return;
    }
    AnnotationDetailsDialog dialog(*session, static_cast<size_t>(index), annotation,
                                   panel_.offsetHours(), window_);
    if (presenter_) {
        dialog.setMessagePresenter(presenter_);
    }
    if (detailsDialogHook_) {
        detailsDialogHook_(dialog);
    }
    const bool saved = dialog.exec() == QDialog::Accepted;
    // Also after a refused save: the dialog may have read the record again.
    panel_.reload();
    if (saved) {
        panel_.selectIndex(static_cast<int>(dialog.savedIndex()));
        emit annotationSaved(static_cast<int>(dialog.savedIndex()));
    }
}

void AnnotationCommands::exportSession() {
    JexSession* session = record();
    if (session == nullptr) {
        return;
    }
    const JexSessionLabel& label = session->label();
    ExporterLauncher::Settings settings =
        ExporterLauncher::settingsFor(browseLocation_.toStdString(), label.locationName(),
                                      label.year(), label.month(), label.day());
    const std::string program =
        exporterProgramSet_ ? exporterProgram_.toStdString() : ExporterLauncher::defaultProgram();
    ExporterLauncher launcher(program, exporterRunDirectory_.toStdString());
    std::string message;
    if (!program.empty()) {
        // The exporter would write beside its settings, in a directory of the program's own:
        // the user chooses the file instead.
        QString folder = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
        if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
            folder = QDir::homePath();
        }
        const QString suggested =
            QDir(folder).filePath(QStringLiteral("%1_%2-%3-%4.mp4")
                                      .arg(QString::fromStdString(label.locationName()))
                                      .arg(label.year(), 4, 10, QLatin1Char('0'))
                                      .arg(label.month(), 2, 10, QLatin1Char('0'))
                                      .arg(label.day(), 2, 10, QLatin1Char('0')));
        const QString chosen = chooseFileName(QStringLiteral("Export Session"),
                                              QStringLiteral("Video (*.mp4 *.mkv)"), suggested);
        if (chosen.isEmpty()) {
            return;
        }
        settings.outputPath = QFile::encodeName(videoFileName(chosen)).toStdString();
    }
    lastExportResult_ = launcher.launch(settings, message);
    // Also on success: the message says where the exported file will appear.
    tell(QString::fromLatin1(kExportCaption), QString::fromStdString(message));
}

void AnnotationCommands::showAbout() {
    AboutDialog dialog(sealingMode_, window_);
    dialog.exec();
}

void AnnotationCommands::showUserGuide() {
    if (help_ == nullptr) {
        help_ = new HelpWindow(window_);
    }
    help_->showGuide();
}
