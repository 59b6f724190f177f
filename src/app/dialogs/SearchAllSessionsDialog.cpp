#include "SearchAllSessionsDialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QThread>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <mutex>

#include "ArchiveSessionSet.h"
#include "ClockTimeText.h"

namespace {

enum Column { kLocation, kDate, kTime, kSpeaker, kEvent, kColumns };

// What one search found, handed from the worker to the dialog. The mutex makes the hand-over
// visible to the thread checker, which cannot see through Qt's own event queue.
struct SearchOutcome {
    std::mutex mutex;
    std::vector<SessionSearchHit> hits;
    std::vector<std::string> problems;
    bool complete = true;
    // The archive root of each hit's location.
    std::vector<QString> roots;
};

}  // namespace

SearchAllSessionsDialog::SearchAllSessionsDialog(QString browseLocation, int offsetHours,
                                                 QWidget* parent)
    : QDialog(parent),
      browseLocation_(std::move(browseLocation)),
      offsetHours_(offsetHours),
      searchEdit_(new QLineEdit(this)),
      searchButton_(new QPushButton(QStringLiteral("Search"), this)),
      openButton_(new QPushButton(QStringLiteral("Open Session"), this)),
      results_(new QTreeWidget(this)),
      status_(new QLabel(this)) {
    setWindowTitle(QStringLiteral("Search All Sessions"));
    auto* searchRow = new QHBoxLayout;
    searchRow->addWidget(new QLabel(QStringLiteral("Text to search:"), this));
    searchRow->addWidget(searchEdit_, 1);
    searchRow->addWidget(searchButton_);
    results_->setColumnCount(kColumns);
    results_->setHeaderLabels({QStringLiteral("Location"), QStringLiteral("Date"),
                               QStringLiteral("Time"), QStringLiteral("Speaker"),
                               QStringLiteral("Event")});
    results_->setRootIsDecorated(false);
    results_->setUniformRowHeights(true);
    results_->setAllColumnsShowFocus(true);
    results_->setSelectionMode(QAbstractItemView::SingleSelection);
    results_->header()->setStretchLastSection(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->addButton(openButton_, QDialogButtonBox::ActionRole);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(searchRow);
    layout->addWidget(results_, 1);
    layout->addWidget(status_);
    layout->addWidget(buttons);
    resize(720, 420);

    searchButton_->setDefault(true);
    connect(searchButton_, &QPushButton::clicked, this, &SearchAllSessionsDialog::searchClicked);
    connect(searchEdit_, &QLineEdit::returnPressed, this, &SearchAllSessionsDialog::searchClicked);
    connect(searchEdit_, &QLineEdit::textChanged, this, [this] { updateButtons(); });
    connect(openButton_, &QPushButton::clicked, this, &SearchAllSessionsDialog::openClicked);
    connect(results_, &QTreeWidget::itemSelectionChanged, this, [this] { updateButtons(); });
    connect(results_, &QTreeWidget::itemDoubleClicked, this, [this] { openClicked(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    updateButtons();
}

SearchAllSessionsDialog::~SearchAllSessionsDialog() = default;

void SearchAllSessionsDialog::searchClicked() {
    startSearch(searchEdit_->text());
}

void SearchAllSessionsDialog::startSearch(const QString& text) {
    if (searching_ || text.isEmpty()) {
        return;
    }
    searching_ = true;
    if (searchEdit_->text() != text) {
        searchEdit_->setText(text);
    }
    results_->clear();
    rows_.clear();
    hits_.clear();
    roots_.clear();
    status_->setText(QStringLiteral("Searching ..."));
    updateButtons();

    // The worker owns nothing of the dialog: it reads the archive into `outcome`, which the
    // dialog takes when the thread has finished (a queued call on this thread, dropped with
    // the dialog when it was closed meanwhile).
    auto outcome = std::make_shared<SearchOutcome>();
    const std::string roots = browseLocation_.toStdString();
    const std::string wanted = text.toStdString();
    QThread* worker = QThread::create([outcome, roots, wanted] {
        std::lock_guard lock(outcome->mutex);
        ArchiveSessionSet archive(roots);
        outcome->complete = archive.searchAllSessions(wanted, outcome->hits, &outcome->problems);
        for (const SessionSearchHit& hit : outcome->hits) {
            std::string root;
            archive.findRootForLocation(hit.locationName, root);
            outcome->roots.push_back(QString::fromStdString(root));
        }
    });
    connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    connect(worker, &QThread::finished, this, [this, outcome] {
        std::unique_lock lock(outcome->mutex);
        auto hits = std::move(outcome->hits);
        auto problems = std::move(outcome->problems);
        auto foundRoots = std::move(outcome->roots);
        const bool complete = outcome->complete;
        lock.unlock();
        showResults(std::move(hits), std::move(problems), complete, std::move(foundRoots));
    });
    worker->start();
}

void SearchAllSessionsDialog::showResults(std::vector<SessionSearchHit> hits,
                                          std::vector<std::string> problems, bool complete,
                                          std::vector<QString> roots) {
    searching_ = false;
    hits_ = std::move(hits);
    roots_ = std::move(roots);
    QList<QTreeWidgetItem*> items;
    for (size_t hit = 0; hit < hits_.size(); ++hit) {
        const SessionSearchHit& session = hits_[hit];
        for (size_t index = 0; index < session.annotations.size(); ++index) {
            const JexAnnotation& annotation = session.annotations[index];
            const WallClockTime* stamp = annotation.timeStamp();
            const std::string time =
                stamp != nullptr ? ClockTimeText::twelveHour(stamp->asUtcSeconds(), offsetHours_)
                                 : annotation.displayTime();
            items.append(new QTreeWidgetItem(
                QStringList{QString::fromStdString(session.locationName),
                            QString::fromStdString(session.date.text), QString::fromStdString(time),
                            QString::fromStdString(annotation.labelData()),
                            QString::fromStdString(annotation.event())}));
            rows_.push_back(Row{hit, index});
        }
    }
    results_->addTopLevelItems(items);
    QString status = rows_.empty() ? QStringLiteral("Text not found!")
                                   : QStringLiteral("%1 annotation(s) found in %2 session(s).")
                                         .arg(rows_.size())
                                         .arg(hits_.size());
    if (!complete || !problems.empty()) {
        status += QStringLiteral(" Some records could not be searched (%1): %2")
                      .arg(problems.size())
                      .arg(problems.empty() ? QString() : QString::fromStdString(problems.front()));
    }
    status_->setText(status);
    if (!rows_.empty()) {
        selectResult(0);
    }
    updateButtons();
    emit searchFinished(static_cast<int>(rows_.size()));
}

int SearchAllSessionsDialog::resultCount() const {
    return static_cast<int>(rows_.size());
}

QString SearchAllSessionsDialog::resultText(int row, int column) const {
    const QTreeWidgetItem* item = results_->topLevelItem(row);
    return item != nullptr ? item->text(column) : QString();
}

bool SearchAllSessionsDialog::selectResult(int row) {
    QTreeWidgetItem* item = results_->topLevelItem(row);
    if (item == nullptr) {
        return false;
    }
    results_->setCurrentItem(item);
    return true;
}

bool SearchAllSessionsDialog::selectedChoice(SessionOpenChoice& choice) const {
    const QTreeWidgetItem* item = results_->currentItem();
    if (item == nullptr || !item->isSelected()) {
        return false;
    }
    const int row = results_->indexOfTopLevelItem(const_cast<QTreeWidgetItem*>(item));
    if (row < 0 || static_cast<size_t>(row) >= rows_.size()) {
        return false;
    }
    const SessionSearchHit& hit = hits_[rows_[static_cast<size_t>(row)].hit];
    const JexAnnotation& annotation = hit.annotations[rows_[static_cast<size_t>(row)].annotation];
    choice = SessionOpenChoice{};
    choice.root = roots_[rows_[static_cast<size_t>(row)].hit];
    choice.location = QString::fromStdString(hit.locationName);
    choice.year = hit.date.year;
    choice.month = hit.date.month;
    choice.day = hit.date.day;
    if (const WallClockTime* stamp = annotation.timeStamp()) {
        choice.hasTime = true;
        choice.epochSeconds = stamp->asUtcSeconds();
    }
    return true;
}

QString SearchAllSessionsDialog::statusText() const {
    return status_->text();
}

void SearchAllSessionsDialog::openClicked() {
    SessionOpenChoice choice;
    if (!searching_ && selectedChoice(choice)) {
        emit openSessionRequested(choice);
    }
}

void SearchAllSessionsDialog::updateButtons() {
    searchButton_->setEnabled(!searching_ && !searchEdit_->text().isEmpty());
    const QTreeWidgetItem* item = results_->currentItem();
    openButton_->setEnabled(!searching_ && item != nullptr && item->isSelected());
}
