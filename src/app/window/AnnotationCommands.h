#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

#include "ExporterLauncher.h"
#include "HelpWindow.h"
#include "SearchAllSessionsDialog.h"

class AnnotationDetailsDialog;
class AnnotationPanel;
class JexSession;
class QAction;
class QPrinter;
class QWidget;

// The annotation commands of the player menu and pop-up menu 145: save as HTML and as text,
// print, search the open session (and F3, find next), search all sessions, edit an annotation,
// export the session, About and the user guide.
//
// The commands work on the record the panel shows. Commands that need a session do nothing
// without one. Before a command that the player menu runs with playback stopped, the commands
// emit stopPlaybackRequested() (connect it directly: it is emitted before the command goes
// on). Messages go through a presenter and file names through a chooser, a message box and a
// file dialog unless replaced (tests replace them).
//
// User-interface thread only.
class AnnotationCommands final : public QObject {
    Q_OBJECT

public:
    static constexpr int kSaveHtmlCommand = 32800;
    static constexpr int kSaveTextCommand = 32824;
    static constexpr int kPrintCommand = 32798;
    static constexpr int kSearchOpenSessionCommand = 32810;
    static constexpr int kSearchAllSessionsCommand = 32811;
    static constexpr int kEditAnnotationCommand = 32812;
    static constexpr int kExportSessionCommand = 32825;
    static constexpr int kAboutCommand = 32803;
    static constexpr int kAboutMenuCommand = 104;
    static constexpr int kUserGuideCommand = 32821;
    // Ours: prints to a PDF file chosen by name.
    static constexpr int kPrintToPdfCommand = 32900;

    static constexpr const char* kTextNotFound = "Text not found!";
    static constexpr const char* kPrintErrorCaption = "Printing Error";
    static constexpr const char* kPrintError =
        "Error!  Could not execute print job.  Check permsissions and default printer "
        "configuration.";
    static constexpr const char* kPrintFileName = "Annotations.html";

    // `window`: the parent of the dialogs.
    AnnotationCommands(AnnotationPanel& panel, QWidget* window, QObject* parent = nullptr);
    ~AnnotationCommands() override;
    AnnotationCommands(const AnnotationCommands&) = delete;
    AnnotationCommands& operator=(const AnnotationCommands&) = delete;

    // The archive root paths the window browses (search all sessions, export).
    void setBrowseLocation(const QString& browseLocation) { browseLocation_ = browseLocation; }
    const QString& browseLocation() const { return browseLocation_; }
    // Sealer mode: the About dialog names the program "Brindlemark".
    void setSealingMode(bool sealing) { sealingMode_ = sealing; }

    using MessagePresenter = std::function<void(const QString& caption, const QString& text)>;
    void setMessagePresenter(MessagePresenter presenter);
    // Returns the chosen file name, or "" when the user cancelled. `suggested`: the path
    // offered first ("" for none).
    using FileNameChooser = std::function<QString(const QString& caption, const QString& filter,
                                                  const QString& suggested)>;
    void setFileNameChooser(FileNameChooser chooser);

    // Runs the command of that id; false for an id that is not one of these commands.
    bool runCommand(int commandId);
    // A menu action for the command: the menu's text, the id as data, the standard shortcut
    // where there is one (Ctrl+P print, Ctrl+F search, F1 user guide), triggering runCommand.
    QAction* createAction(int commandId, QObject* parent);

    // "Save Annotations in HTML" / "Save Annotations as Text": asks for a file name, then
    // saves. The *To forms save to `fileName` with its extension rule applied and give the
    // path written; false (after telling the user) when the file could not be written.
    void saveAnnotationsAsHtml();
    void saveAnnotationsAsText();
    bool saveAnnotationsAsHtmlTo(const QString& fileName, QString* writtenPath = nullptr);
    bool saveAnnotationsAsTextTo(const QString& fileName, QString* writtenPath = nullptr);
    // ".html" appended unless the name ends in ".htm" or ".HTM" (searched from the end, so
    // ".html" counts too); ".txt" appended unless it ends in ".txt" or ".TXT"; ".pdf" unless
    // it ends in it (any case).
    static QString htmlFileName(const QString& chosen);
    static QString textFileName(const QString& chosen);
    static QString pdfFileName(const QString& chosen);
    // ".mp4" appended unless the name ends in ".mp4" or ".mkv" (any case).
    static QString videoFileName(const QString& chosen);

    // "Print Annotations": writes "Annotations.html" into the temporary directory, then the
    // print dialog prints it. printAnnotationsTo prints the annotations' HTML on `printer`,
    // showing the print error when the printer fails; printAnnotationsToPdf prints to a PDF
    // file.
    void printAnnotations();
    bool printAnnotationsTo(QPrinter& printer);
    bool printAnnotationsToPdf(const QString& pdfPath);
    // "Print Annotations to PDF ...": asks for a file name, then printAnnotationsToPdf.
    void printAnnotationsToPdfFile();
    // The path "Annotations.html" is written to.
    static QString printFilePath();

    // "Search open session": dialog 142, then findText. findText searches from the first
    // annotation and selects the hit; findNext (F3) searches on from the last hit with the last
    // text, wrapping to the first annotation. A miss says "Text not found!".
    void searchOpenSession();
    bool findText(const QString& text);
    bool findNext();
    const QString& lastSearchText() const { return lastSearchText_; }

    // "Search all sessions": dialog 143 (modeless, one at a time); its "Open Session" emits
    // openSessionRequested.
    void searchAllSessions();
    SearchAllSessionsDialog* searchAllSessionsDialog() const { return searchAllDialog_; }

    // "Edit Annotation": dialog 144 for the selected annotation, when edits are allowed and the
    // annotation may be edited; the list is refreshed after a save.
    void editAnnotation();
    void editAnnotationAt(int index);
    // Called with the dialog before it runs (tests fill and close it).
    void setDetailsDialogHook(std::function<void(AnnotationDetailsDialog&)> hook) {
        detailsDialogHook_ = std::move(hook);
    }

    // "Export Session": asks where the video goes (LOCATION_YYYY-MM-DD.mp4 in the user's Videos
    // folder, or home, offered first; Cancel exports nothing), then ExporterLauncher with the
    // open session and that path as "outputPath"; says where the file will appear, or plainly
    // that the exporter is not installed (before asking anything). `program` overrides where the
    // exporter is looked for (tests).
    void exportSession();
    void setExporterProgram(const QString& program) {
        exporterProgram_ = program;
        exporterProgramSet_ = true;
    }
    // Where the settings go (tests); empty: a new directory below the state directory.
    void setExporterRunDirectory(const QString& directory) { exporterRunDirectory_ = directory; }
    ExporterLauncher::Result lastExportResult() const { return lastExportResult_; }

    void showAbout();
    // The user guide window (made on first use, owned by the window).
    void showUserGuide();
    HelpWindow* helpWindow() const { return help_; }

signals:
    void stopPlaybackRequested();
    // A hit of "Search all sessions" asks the window to open its session at its time.
    void openSessionRequested(const SessionOpenChoice& choice);
    // The record was saved after an edit.
    void annotationSaved(int index);

private:
    JexSession* record() const;
    void tell(const QString& caption, const QString& text) const;
    QString chooseFileName(const QString& caption, const QString& filter,
                           const QString& suggested = QString()) const;
    // Writes the HTML or text export to `path` whole, or tells why not.
    bool writeExport(const QString& path, bool html);
    static bool printHtml(const QString& html, QPrinter& printer);

    AnnotationPanel& panel_;
    QWidget* window_;
    QString browseLocation_;
    bool sealingMode_ = false;
    MessagePresenter presenter_;
    FileNameChooser chooser_;
    QString lastSearchText_;
    int lastHitIndex_ = -1;
    QPointer<SearchAllSessionsDialog> searchAllDialog_;
    QPointer<HelpWindow> help_;
    std::function<void(AnnotationDetailsDialog&)> detailsDialogHook_;
    QString exporterProgram_;
    bool exporterProgramSet_ = false;
    QString exporterRunDirectory_;
    ExporterLauncher::Result lastExportResult_ = ExporterLauncher::Result::kStarted;
};
