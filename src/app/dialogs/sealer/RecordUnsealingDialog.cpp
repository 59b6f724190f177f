#include "RecordUnsealingDialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "KorvalisUserSealingKey.h"
#include "SealerClock.h"
#include "SealerHost.h"
#include "SealerPrompts.h"

namespace {
constexpr int kStartRole = Qt::UserRole;
constexpr int kEndRole = Qt::UserRole + 1;
}  // namespace

RecordUnsealingDialog::RecordUnsealingDialog(SealerHost& host, QWidget* parent)
    : QDialog(parent),
      host_(host),
      fields_(this, UserKeyFields::Labels{QStringLiteral("User sealing key file:"),
                                          QStringLiteral("User passphrase:"), 1015}),
      rangeList_(new QListWidget(this)),
      unseal_(new QPushButton(QStringLiteral("Unseal"), this)),
      confirm_(new QPushButton(QStringLiteral("Confirm"), this)),
      cancel_(new QPushButton(QStringLiteral("Cancel"), this)) {
    setWindowTitle(QStringLiteral("Record Unsealing"));
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields_.layout());
    layout->addWidget(new QLabel(QStringLiteral("Select range to unseal:"), this));
    rangeList_->setObjectName(QStringLiteral("1004"));
    rangeList_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    layout->addWidget(rangeList_, 1);

    unseal_->setObjectName(QStringLiteral("1011"));
    confirm_->setObjectName(QStringLiteral("1014"));
    cancel_->setObjectName(QStringLiteral("2"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(unseal_);
    buttons->addWidget(confirm_);
    buttons->addWidget(cancel_);
    layout->addLayout(buttons);

    const SealerClock clock(host_);
    for (const TimeRange& range : host_.sealedRanges()) {
        auto* item = new QListWidgetItem(
            QString::fromStdString(clock.unsealRangeText(range.start, range.end)), rangeList_);
        item->setData(kStartRole, range.start);
        item->setData(kEndRole, range.end);
    }

    fields_.connectSteps(this, unseal_, confirm_, [this] { return host_.sessionArchiveRoot(); });
    connect(confirm_, &QPushButton::clicked, this, &RecordUnsealingDialog::confirmClicked);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
}

RecordUnsealingDialog::~RecordUnsealingDialog() = default;

void RecordUnsealingDialog::confirmClicked() {
    if (!fields_.confirmChecks()) {
        return;
    }
    std::vector<std::pair<double, double>> ranges;
    for (int row = 0; row < rangeList_->count(); ++row) {
        const QListWidgetItem* item = rangeList_->item(row);
        if (item->isSelected()) {
            ranges.emplace_back(item->data(kStartRole).toDouble(), item->data(kEndRole).toDouble());
        }
    }
    if (ranges.empty()) {
        SealerPrompts::message(
            this, QStringLiteral("Select Range"),
            QStringLiteral("A range must be selected before it can be unsealed"));
        return;
    }
    ranges_ = std::move(ranges);
    accept();
}
