#pragma once

#include <QDialog>
#include <QMetaType>
#include <QString>
#include <memory>
#include <vector>

#include "SessionSearchHit.h"

class QLabel;
class QTimer;
class QLineEdit;
class QPushButton;
class QTreeWidget;

// The session a search hit asks the window to open, and where: the archive root holding the
// location's record, the location and day, and the annotation's time (UTC epoch seconds) when
// it has one.
struct SessionOpenChoice {
    QString root;
    QString location;
    int year = 0;
    int month = 0;
    int day = 0;
    bool hasTime = false;
    double epochSeconds = 0.0;
};
Q_DECLARE_METATYPE(SessionOpenChoice)

// Dialog 143 "Search All Sessions": searches the records of every session under the browse
// location's archive roots for a text (ArchiveSessionSet::searchAllSessions) on a worker thread,
// lists every matching annotation (location, date, time, speaker, event), and "Open Session"
// hands the selected one to the window through openSessionRequested().
//
// Used on the user-interface thread. The worker only reads the archive into a result of its own,
// guarded by a mutex, which the dialog polls on a timer: no Qt object crosses threads. Closing
// the dialog during a search lets the search finish in the background and drops its result.
class SearchAllSessionsDialog final : public QDialog {
    Q_OBJECT

public:
    static constexpr int kDialogId = 143;
    // More hits than this are counted but not listed: a list of hundreds of thousands of rows
    // would hold the window up while it fills.
    static constexpr size_t kMaximumListedResults = 5000;

    // `browseLocation`: the root paths (";"-separated) to search. `offsetHours` shows the
    // annotations' times in the locations' clock time.
    SearchAllSessionsDialog(QString browseLocation, int offsetHours, QWidget* parent = nullptr);
    ~SearchAllSessionsDialog() override;
    SearchAllSessionsDialog(const SearchAllSessionsDialog&) = delete;
    SearchAllSessionsDialog& operator=(const SearchAllSessionsDialog&) = delete;

    // Starts a search for `text` (ignored while one runs or when `text` is empty).
    void startSearch(const QString& text);
    bool isSearching() const { return searching_; }

    // One row per matching annotation, sessions in the archive's order, at most
    // kMaximumListedResults.
    int resultCount() const;
    QString resultText(int row, int column) const;
    bool selectResult(int row);
    // The choice of the selected row; false when none is selected.
    bool selectedChoice(SessionOpenChoice& choice) const;
    // The status line ("3 annotations found in 2 sessions.", problems met, "Text not found!").
    QString statusText() const;

    QLineEdit& searchEdit() const { return *searchEdit_; }

signals:
    void searchFinished(int resultCount);
    void openSessionRequested(const SessionOpenChoice& choice);

private:
    struct Row {
        size_t hit;
        size_t annotation;
    };
    struct Outcome;
    void searchClicked();
    void pollSearch();
    void openClicked();
    void showResults(std::vector<SessionSearchHit> hits, std::vector<std::string> problems,
                     bool complete, std::vector<QString> roots);
    void updateButtons();

    QString browseLocation_;
    int offsetHours_;
    bool searching_ = false;
    std::vector<SessionSearchHit> hits_;
    std::vector<QString> roots_;
    std::vector<Row> rows_;
    // The running search's result, shared with its worker.
    std::shared_ptr<Outcome> outcome_;
    QLineEdit* searchEdit_;
    QPushButton* searchButton_;
    QPushButton* openButton_;
    QTreeWidget* results_;
    QLabel* status_;
    QTimer* poll_;
};
