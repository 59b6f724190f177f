#include "SelectSessionDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStorageInfo>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>

#include "ArchiveSessionSet.h"
#include "GalewickConfiguration.h"

namespace {

// Volumes that hold no user files: kernel and memory file systems, and the images of packaged
// programs.
bool isSystemVolume(const QStorageInfo& volume) {
    static const QList<QByteArray> kSystemTypes = {
        "tmpfs",    "devtmpfs", "squashfs",  "proc",    "sysfs",       "cgroup",   "cgroup2",
        "devpts",   "mqueue",   "debugfs",   "tracefs", "securityfs",  "pstore",   "bpf",
        "configfs", "fusectl",  "hugetlbfs", "autofs",  "binfmt_misc", "efivarfs", "ramfs"};
    if (kSystemTypes.contains(volume.fileSystemType())) {
        return true;
    }
    const QString root = volume.rootPath();
    if (root.startsWith("/run/media/") || root == "/run/media") {
        return false;
    }
    for (const char* prefix : {"/proc", "/sys", "/dev", "/run", "/snap", "/boot"}) {
        const QString text = QString::fromLatin1(prefix);
        if (root == text || root.startsWith(text + '/')) {
            return true;
        }
    }
    return false;
}

// The first of the ";"-separated root paths, without a trailing "/" (except for "/" itself).
QString firstRoot(const QString& browseLocation) {
    for (const QString& part : browseLocation.split(';', Qt::SkipEmptyParts)) {
        QString cleaned = QDir::cleanPath(part.trimmed());
        if (!cleaned.isEmpty()) {
            return cleaned;
        }
    }
    return {};
}

}  // namespace

std::vector<QString> SelectSessionDialog::places() {
    std::vector<QString> result;
    auto add = [&result](const QString& path) {
        const QString cleaned = QDir::cleanPath(path);
        if (!cleaned.isEmpty() &&
            std::find(result.begin(), result.end(), cleaned) == result.end()) {
            result.push_back(cleaned);
        }
    };
    add(QString::fromStdString(GalewickConfiguration::homeDirectory()));
    add(QDir::rootPath());
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (volume.isValid() && volume.isReady() && !isSystemVolume(volume)) {
            add(volume.rootPath());
        }
    }
    return result;
}

SelectSessionDialog::SelectSessionDialog(const std::string& browseLocation, QWidget* parent)
    : QDialog(parent), folderChooser_([](QWidget* owner, const QString& start) {
          return QFileDialog::getExistingDirectory(owner, QObject::tr("Browse"), start);
      }) {
    setWindowTitle("Select Session");

    placesCombo_ = new QComboBox;
    placesCombo_->setObjectName("placesCombo");
    for (const QString& place : places()) {
        placesCombo_->addItem(place, place);
    }

    folderModel_ = new QFileSystemModel(this);
    folderModel_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    folderModel_->setReadOnly(true);
    folderTree_ = new QTreeView;
    folderTree_->setObjectName("folderTree");
    folderTree_->setModel(folderModel_);
    folderTree_->setHeaderHidden(true);
    for (int column = 1; column < folderModel_->columnCount(); ++column) {
        folderTree_->hideColumn(column);
    }
    folderTree_->setMinimumSize(260, 300);

    browseLocationEdit_ = new QLineEdit;
    browseLocationEdit_->setObjectName("browseLocationEdit");
    auto* browseButton = new QPushButton("Browse...");
    browseButton->setObjectName("browseButton");
    browseButton->setAutoDefault(false);
    connect(browseButton, &QPushButton::clicked, this, &SelectSessionDialog::browse);
    locationList_ = new QListWidget;
    locationList_->setObjectName("locationList");
    dateList_ = new QListWidget;
    dateList_->setObjectName("dateList");
    auto* statusLabel = new QLabel;
    statusLabel->setObjectName("statusLabel");
    statusLabel->setWordWrap(true);

    buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons_, &QDialogButtonBox::accepted, this, &SelectSessionDialog::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &SelectSessionDialog::reject);

    auto* left = new QVBoxLayout;
    left->addWidget(placesCombo_);
    left->addWidget(folderTree_, 1);
    auto* right = new QVBoxLayout;
    right->addWidget(new QLabel("Browse Location"));
    auto* browseRow = new QHBoxLayout;
    browseRow->addWidget(browseLocationEdit_, 1);
    browseRow->addWidget(browseButton);
    right->addLayout(browseRow);
    right->addWidget(new QLabel("Select Recorder"));
    right->addWidget(locationList_, 1);
    right->addWidget(new QLabel("Select Date"));
    right->addWidget(dateList_, 1);
    right->addWidget(statusLabel);
    auto* columns = new QHBoxLayout;
    columns->addLayout(left, 1);
    columns->addLayout(right, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns, 1);
    layout->addWidget(buttons_);

    // Show the tree from the place that holds the browse location (the home directory when
    // none does) with the browse location's folder current.
    const QString location = QString::fromStdString(browseLocation);
    const QString first = firstRoot(location);
    int placeIndex = 0;
    qsizetype longest = -1;
    for (int i = 0; i < placesCombo_->count(); ++i) {
        const QString place = placesCombo_->itemData(i).toString();
        const bool holds =
            first == place || first.startsWith(place.endsWith('/') ? place : place + '/');
        if (!first.isEmpty() && holds && place.size() > longest) {
            longest = place.size();
            placeIndex = i;
        }
    }
    placesCombo_->setCurrentIndex(placeIndex);
    const QString place = placesCombo_->itemData(placeIndex).toString();
    folderModel_->setRootPath(place);
    folderTree_->setRootIndex(folderModel_->index(place));
    if (!first.isEmpty() && first != place && longest >= 0) {
        const QModelIndex current = folderModel_->index(first);
        settingLocation_ = true;
        folderTree_->setCurrentIndex(current);
        folderTree_->scrollTo(current);
        settingLocation_ = false;
    }

    connect(placesCombo_, &QComboBox::activated, this, &SelectSessionDialog::placeChosen);
    connect(folderTree_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { folderActivated(current); });
    connect(browseLocationEdit_, &QLineEdit::editingFinished, this, [this] {
        if (browseLocationEdit_->text().toStdString() != choice_.browseLocation) {
            setBrowseLocation(browseLocationEdit_->text());
        }
    });
    connect(browseLocationEdit_, &QLineEdit::textEdited, this, [this] { updateOkButton(); });
    connect(locationList_, &QListWidget::currentRowChanged, this, [this] { fillDates(); });
    connect(dateList_, &QListWidget::currentRowChanged, this, [this] { updateOkButton(); });
    connect(dateList_, &QListWidget::itemDoubleClicked, this, [this] { accept(); });

    setBrowseLocation(location);
}

SelectSessionDialog::~SelectSessionDialog() = default;

std::string SelectSessionDialog::browseLocation() const {
    return browseLocationEdit_->text().toStdString();
}

void SelectSessionDialog::setFolderChooser(FolderChooser chooser) {
    folderChooser_ = std::move(chooser);
}

void SelectSessionDialog::browse() {
    if (!folderChooser_) {
        return;
    }
    const QString chosen = folderChooser_(this, firstRoot(browseLocationEdit_->text()));
    if (!chosen.isEmpty()) {
        setBrowseLocation(chosen);
    }
}

void SelectSessionDialog::placeChosen(int index) {
    const QString place = placesCombo_->itemData(index).toString();
    folderModel_->setRootPath(place);
    folderTree_->setRootIndex(folderModel_->index(place));
    setBrowseLocation(place);
}

void SelectSessionDialog::folderActivated(const QModelIndex& index) {
    if (settingLocation_ || !index.isValid()) {
        return;
    }
    setBrowseLocation(folderModel_->filePath(index));
}

void SelectSessionDialog::setBrowseLocation(const QString& path) {
    choice_.browseLocation = path.toStdString();
    if (browseLocationEdit_->text() != path) {
        browseLocationEdit_->setText(path);
    }
    fillLocations();
}

void SelectSessionDialog::fillLocations() {
    // Each list of records is one listing of a Databases directory, quick even for archives of
    // many years; the dates of a location are read when it is chosen.
    locationList_->blockSignals(true);
    locationList_->clear();
    locationList_->blockSignals(false);
    dateList_->clear();
    dates_.clear();
    auto* statusLabel = findChild<QLabel*>("statusLabel");
    if (choice_.browseLocation.empty()) {
        statusLabel->clear();
        updateOkButton();
        return;
    }
    archive_ = std::make_unique<ArchiveSessionSet>(choice_.browseLocation);
    std::vector<std::string> names;
    archive_->getAllLocationNames(names);
    for (const std::string& name : names) {
        locationList_->addItem(QString::fromStdString(name));
    }
    if (archive_->archiveRoots().empty()) {
        statusLabel->setText(
            "No archive here: an archive folder holds \"Databases\" and "
            "\"Recordings\".");
    } else if (names.empty()) {
        statusLabel->setText("No sessions in this archive.");
    } else {
        statusLabel->clear();
    }
    updateOkButton();
}

void SelectSessionDialog::fillDates() {
    dateList_->clear();
    dates_.clear();
    QListWidgetItem* item = locationList_->currentItem();
    if (item != nullptr && archive_) {
        archive_->getAllDatesForLocationName(dates_, item->text().toStdString());
        for (const SessionDateEntry& date : dates_) {
            dateList_->addItem(QString::fromStdString(date.text));
        }
    }
    updateOkButton();
}

void SelectSessionDialog::updateOkButton() {
    const int dateRow = dateList_->currentRow();
    const bool chosen = !browseLocationEdit_->text().trimmed().isEmpty() &&
                        locationList_->currentItem() != nullptr && dateRow >= 0 &&
                        dateRow < static_cast<int>(dates_.size());
    buttons_->button(QDialogButtonBox::Ok)->setEnabled(chosen);
}

void SelectSessionDialog::accept() {
    const int dateRow = dateList_->currentRow();
    QListWidgetItem* location = locationList_->currentItem();
    if (browseLocationEdit_->text().trimmed().isEmpty() || location == nullptr || dateRow < 0 ||
        dateRow >= static_cast<int>(dates_.size())) {
        return;
    }
    choice_.browseLocation = browseLocationEdit_->text().toStdString();
    choice_.location = location->text().toStdString();
    choice_.year = dates_[static_cast<size_t>(dateRow)].year;
    choice_.month = dates_[static_cast<size_t>(dateRow)].month;
    choice_.day = dates_[static_cast<size_t>(dateRow)].day;
    QDialog::accept();
}
