#include "RecordSealingDialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimeEdit>

#include "KorvalisUserSealingKey.h"
#include "SealerClock.h"
#include "SealerHost.h"
#include "SealerPrompts.h"
#include "SealerTimeEdit.h"

RecordSealingDialog::RecordSealingDialog(SealerHost& host, QWidget* parent)
    : QDialog(parent),
      host_(host),
      fields_(this, UserKeyFields::Labels{QStringLiteral("Security key:"),
                                          QStringLiteral("Password:"), 1014}),
      sealedRanges_(new QListWidget(this)),
      start_(SealerTimeEdit::create(this, 1019)),
      end_(SealerTimeEdit::create(this, 1020)),
      seal_(new QPushButton(QStringLiteral("Seal"), this)),
      confirm_(new QPushButton(QStringLiteral("Confirm"), this)),
      cancel_(new QPushButton(QStringLiteral("Cancel"), this)) {
    setWindowTitle(QStringLiteral("Record Sealing"));
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields_.layout());
    layout->addWidget(new QLabel(QStringLiteral("Ranges already sealed"), this));
    sealedRanges_->setObjectName(QStringLiteral("1004"));
    sealedRanges_->setSelectionMode(QAbstractItemView::NoSelection);
    layout->addWidget(sealedRanges_, 1);

    auto* times = new QGridLayout;
    times->addWidget(new QLabel(QStringLiteral("New Start Time"), this), 0, 0);
    times->addWidget(start_, 1, 0);
    times->addWidget(new QLabel(QStringLiteral("New End Time"), this), 0, 1);
    times->addWidget(end_, 1, 1);
    layout->addLayout(times);

    seal_->setObjectName(QStringLiteral("1010"));
    confirm_->setObjectName(QStringLiteral("3"));
    cancel_->setObjectName(QStringLiteral("2"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(seal_);
    buttons->addWidget(confirm_);
    buttons->addWidget(cancel_);
    layout->addLayout(buttons);

    const SealerClock clock(host_);
    for (const TimeRange& range : host_.sealedRanges()) {
        sealedRanges_->addItem(
            QString::fromStdString(clock.sealedRangeText(range.start, range.end)));
    }
    double selectionStart = 0.0;
    double selectionEnd = 0.0;
    if (host_.selectedRange(selectionStart, selectionEnd)) {
        SealerTimeEdit::setEpoch(start_, clock, selectionStart);
        SealerTimeEdit::setEpoch(end_, clock, selectionEnd);
    }

    fields_.connectSteps(this, seal_, confirm_, [this] { return host_.sessionArchiveRoot(); });
    connect(confirm_, &QPushButton::clicked, this, &RecordSealingDialog::confirmClicked);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
}

RecordSealingDialog::~RecordSealingDialog() = default;

void RecordSealingDialog::confirmClicked() {
    if (!fields_.confirmChecks()) {
        return;
    }
    const SealerClock clock(host_);
    const double start = SealerTimeEdit::epoch(start_, clock);
    const double end = SealerTimeEdit::epoch(end_, clock);
    if (start >= end) {
        SealerPrompts::message(this, QStringLiteral("Invalid Time Segment"),
                               start == end
                                   ? QStringLiteral("Start time cannot match end time!")
                                   : QStringLiteral("Start time cannot be after end time!"));
        return;
    }
    rangeStart_ = start;
    rangeEnd_ = end;
    host_.setSelectedRange(start, end);
    accept();
}
