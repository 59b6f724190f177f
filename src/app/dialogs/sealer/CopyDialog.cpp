#include "CopyDialog.h"

#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimeEdit>
#include <QVBoxLayout>

#include "CopyNameDialog.h"
#include "SealerClock.h"
#include "SealerHost.h"
#include "SealerPrompts.h"
#include "SealerTimeEdit.h"

namespace {
constexpr int kStartRole = Qt::UserRole;
constexpr int kEndRole = Qt::UserRole + 1;
const QString kInvalidSegment = QStringLiteral("Invalid Time Segment");
}  // namespace

CopyDialog::CopyDialog(SealerHost& host, QWidget* parent)
    : QDialog(parent),
      host_(host),
      saveIn_(new QLineEdit(this)),
      browse_(new QPushButton(QStringLiteral("Browse"), this)),
      start_(SealerTimeEdit::create(this, 1019)),
      end_(SealerTimeEdit::create(this, 1020)),
      add_(new QPushButton(QStringLiteral("Add Segment        ->"), this)),
      remove_(new QPushButton(QStringLiteral("Remove Segment <-"), this)),
      segmentList_(new QListWidget(this)),
      autoLoad_(
          new QCheckBox(QStringLiteral("Auto-load copied session after copy is complete"), this)),
      excludeAnnotations_(new QCheckBox(QStringLiteral("Exclude user annotations"), this)),
      audioOnly_(new QCheckBox(QStringLiteral("Copy audio only"), this)),
      mixDown_(new QCheckBox(QStringLiteral("Mix all channels to one file"), this)),
      copy_(new QPushButton(QStringLiteral("Copy"), this)),
      cancel_(new QPushButton(QStringLiteral("Cancel"), this)) {
    setWindowTitle(QStringLiteral("Copy"));
    saveIn_->setObjectName(QStringLiteral("1027"));
    browse_->setObjectName(QStringLiteral("1028"));
    add_->setObjectName(QStringLiteral("1045"));
    remove_->setObjectName(QStringLiteral("1047"));
    segmentList_->setObjectName(QStringLiteral("1004"));
    segmentList_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    autoLoad_->setObjectName(QStringLiteral("1032"));
    excludeAnnotations_->setObjectName(QStringLiteral("1042"));
    audioOnly_->setObjectName(QStringLiteral("1033"));
    mixDown_->setObjectName(QStringLiteral("1034"));
    copy_->setObjectName(QStringLiteral("1025"));
    cancel_->setObjectName(QStringLiteral("2"));

    auto* layout = new QVBoxLayout(this);
    auto* saveIn = new QHBoxLayout;
    saveIn->addWidget(new QLabel(QStringLiteral("Save in:"), this));
    saveIn->addWidget(saveIn_, 1);
    saveIn->addWidget(browse_);
    layout->addLayout(saveIn);

    auto* segments = new QHBoxLayout;
    auto* times = new QGroupBox(QStringLiteral("Segment Times"), this);
    auto* timesLayout = new QGridLayout(times);
    timesLayout->addWidget(new QLabel(QStringLiteral("Start Time:"), times), 0, 0);
    timesLayout->addWidget(start_, 0, 1);
    timesLayout->addWidget(new QLabel(QStringLiteral("End Time:"), times), 1, 0);
    timesLayout->addWidget(end_, 1, 1);
    timesLayout->addWidget(add_, 2, 0, 1, 2);
    timesLayout->addWidget(remove_, 3, 0, 1, 2);
    segments->addWidget(times);
    auto* listColumn = new QVBoxLayout;
    listColumn->addWidget(new QLabel(QStringLiteral("Segments To Copy"), this));
    listColumn->addWidget(segmentList_, 1);
    segments->addLayout(listColumn, 1);
    layout->addLayout(segments, 1);

    auto* options = new QGroupBox(QStringLiteral("Options"), this);
    auto* optionsLayout = new QVBoxLayout(options);
    optionsLayout->addWidget(autoLoad_);
    optionsLayout->addWidget(excludeAnnotations_);
    optionsLayout->addWidget(audioOnly_);
    optionsLayout->addWidget(mixDown_);
    layout->addWidget(options);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(copy_);
    buttons->addWidget(cancel_);
    layout->addLayout(buttons);

    const QFileInfo tool(QFile::decodeName(mixDownToolPath(host_.programDirectory()).c_str()));
    mixDown_->setEnabled(tool.isFile() && tool.isExecutable());

    const SealerClock clock(host_);
    double selectionStart = 0.0;
    double selectionEnd = 0.0;
    if (host_.selectedRange(selectionStart, selectionEnd)) {
        SealerTimeEdit::setEpoch(start_, clock, selectionStart);
        SealerTimeEdit::setEpoch(end_, clock, selectionEnd);
    }

    connect(browse_, &QPushButton::clicked, this, [this] {
        const QString chosen = SealerPrompts::chooseFolder(this, saveIn_->text());
        if (!chosen.isEmpty()) {
            saveIn_->setText(chosen);
        }
    });
    connect(add_, &QPushButton::clicked, this, &CopyDialog::addSegment);
    connect(remove_, &QPushButton::clicked, this, &CopyDialog::removeSegments);
    connect(audioOnly_, &QCheckBox::toggled, this, [this](bool checked) {
        if (!checked) {
            mixDown_->setChecked(false);
        }
    });
    connect(mixDown_, &QCheckBox::toggled, this, [this](bool checked) {
        if (checked) {
            // The mixed copy holds audio alone, and is no session to load.
            autoLoad_->setChecked(false);
            audioOnly_->setChecked(true);
        }
    });
    connect(copy_, &QPushButton::clicked, this, &CopyDialog::copyClicked);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
}

CopyDialog::~CopyDialog() = default;

std::string CopyDialog::mixDownToolPath(const std::string& programDirectory) {
    return programDirectory + "/" + SessionCopyJob::kMixDownToolName;
}

SessionCopyJob::Options CopyDialog::options() const {
    SessionCopyJob::Options options;
    options.excludeAnnotations = excludeAnnotations_->isChecked();
    options.audioOnly = audioOnly_->isChecked();
    options.mixDown = mixDown_->isEnabled() && mixDown_->isChecked();
    return options;
}

bool CopyDialog::autoLoad() const {
    return autoLoad_->isChecked();
}

std::vector<SessionCopyJob::Segment> CopyDialog::listedSegments() const {
    std::vector<SessionCopyJob::Segment> segments;
    for (int row = 0; row < segmentList_->count(); ++row) {
        const QListWidgetItem* item = segmentList_->item(row);
        segments.push_back(SessionCopyJob::Segment{item->data(kStartRole).toDouble(),
                                                   item->data(kEndRole).toDouble()});
    }
    return segments;
}

void CopyDialog::addSegment() {
    const SealerClock clock(host_);
    const double start = SealerTimeEdit::epoch(start_, clock);
    const double end = SealerTimeEdit::epoch(end_, clock);
    if (start == end) {
        SealerPrompts::message(this, kInvalidSegment,
                               QStringLiteral("Start time cannot match end time!"));
        return;
    }
    if (start > end) {
        SealerPrompts::message(this, kInvalidSegment,
                               QStringLiteral("Start time cannot be after end time!"));
        return;
    }
    for (const SessionCopyJob::Segment& listed : listedSegments()) {
        if (start < listed.end && listed.start < end) {
            SealerPrompts::message(
                this, kInvalidSegment,
                QStringLiteral("Invalid time segment selected. Time segments cannot overlap!"));
            return;
        }
    }
    auto* item =
        new QListWidgetItem(QString::fromStdString(clock.segmentText(start, end)), segmentList_);
    item->setData(kStartRole, start);
    item->setData(kEndRole, end);
}

void CopyDialog::removeSegments() {
    for (QListWidgetItem* item : segmentList_->selectedItems()) {
        delete item;
    }
}

void CopyDialog::copyClicked() {
    const std::vector<SessionCopyJob::Segment> segments = listedSegments();
    if (segments.empty()) {
        SealerPrompts::message(
            this, QStringLiteral("Add Time Segments"),
            QStringLiteral("A time segment must be added before media content can be copied"));
        return;
    }
    const QString saveIn = saveIn_->text().trimmed();
    if (saveIn.isEmpty() || !QFileInfo(saveIn).isDir()) {
        SealerPrompts::message(this, QStringLiteral("Copy"),
                               QStringLiteral("Error!  The folder to save in does not exist."));
        return;
    }
    CopyNameDialog nameDialog(this);
    if (nameDialog.exec() != QDialog::Accepted) {
        return;
    }
    const QString target = saveIn + QLatin1Char('/') + nameDialog.name();
    if (QFileInfo::exists(target)) {
        SealerPrompts::message(
            this, QStringLiteral("Copy"),
            QStringLiteral("Error!  The copy's folder already exists: ") + target);
        return;
    }
    segments_ = segments;
    targetDirectory_ = QFile::encodeName(target).toStdString();
    accept();
}
