#include "SearchAllSessionsDialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <mutex>
#include <thread>

#include "ArchiveSessionSet.h"
#include "ClockTimeText.h"

namespace {

enum Column { kLocation, kDate, kTime, kSpeaker, kEvent, kColumns };

}  // namespace

// What one search found, handed from the worker to the dialog under the mutex.
struct SearchAllSessionsDialog::Outcome {
    std::mutex mutex;
    bool done = false;
    std::vector<SessionSearchHit> hits;
    std::vector<std::string> problems;
    bool complete = true;
    // The archive root of each hit's location.
    std::vector<QString> roots;
};

SearchAllSessionsDialog::SearchAllSessionsDialog(QString browseLocation, int offsetHours,
                                                 QWidget* parent)
    : QDialog(parent),
      browseLocation_(std::move(browseLocation)),
      offsetHours_(offsetHours),
      searchEdit_(new QLineEdit(this)),
      searchButton_(new QPushButton(QStringLiteral("Search"), this)),
      openButton_(new QPushButton(QStringLiteral("Open Session"), this)),
      results_(new QTreeWidget(this)),
      status_(new QLabel(this)),
      poll_(new QTimer(this)) {
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

    poll_->setInterval(20);
    connect(poll_, &QTimer::timeout, this, &SearchAllSessionsDialog::pollSearch);
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

    // The worker owns nothing of the dialog: it fills a result that it shares with the dialog
    // and goes on alone when the dialog is closed first.
    outcome_ = std::make_shared<Outcome>();
    std::thread([outcome = outcome_, roots = browseLocation_.toStdString(),
                 wanted = text.toStdString()] {
        ArchiveSessionSet archive(roots);
        std::vector<SessionSearchHit> hits;
        std::vector<std::string> problems;
        const bool complete = archive.searchAllSessions(wanted, hits, &problems);
        std::vector<QString> hitRoots;
        for (const SessionSearchHit& hit : hits) {
            std::string root;
            archive.findRootForLocation(hit.locationName, root);
            hitRoots.push_back(QString::fromStdString(root));
        }
        std::lock_guard lock(outcome->mutex);
        outcome->hits = std::move(hits);
        outcome->problems = std::move(problems);
        outcome->complete = complete;
        outcome->roots = std::move(hitRoots);
        outcome->done = true;
    }).detach();
    poll_->start();
}

void SearchAllSessionsDialog::pollSearch() {
    if (!outcome_) {
        poll_->stop();
        return;
    }
    std::unique_lock lock(outcome_->mutex);
    if (!outcome_->done) {
        return;
    }
    auto hits = std::move(outcome_->hits);
    auto problems = std::move(outcome_->problems);
    auto roots = std::move(outcome_->roots);
    const bool complete = outcome_->complete;
    lock.unlock();
    outcome_.reset();
    poll_->stop();
    showResults(std::move(hits), std::move(problems), complete, std::move(roots));
}

void SearchAllSessionsDialog::showResults(std::vector<SessionSearchHit> hits,
                                          std::vector<std::string> problems, bool complete,
                                          std::vector<QString> roots) {
    searching_ = false;
    hits_ = std::move(hits);
    roots_ = std::move(roots);
    QList<QTreeWidgetItem*> items;
    size_t found = 0;
    for (const SessionSearchHit& session : hits_) {
        found += session.annotations.size();
    }
    for (size_t hit = 0; hit < hits_.size(); ++hit) {
        const SessionSearchHit& session = hits_[hit];
        for (size_t index = 0;
             index < session.annotations.size() && rows_.size() < kMaximumListedResults; ++index) {
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
                                         .arg(found)
                                         .arg(hits_.size());
    if (rows_.size() < found) {
        status += QStringLiteral(
                      " The first %1 are listed; search for a longer text to see the "
                      "others.")
                      .arg(rows_.size());
    }
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
