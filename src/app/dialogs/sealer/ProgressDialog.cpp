#include "ProgressDialog.h"

#include <QCloseEvent>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

ProgressDialog::ProgressDialog(QWidget* parent)
    : QDialog(parent),
      bar_(new QProgressBar(this)),
      status_(new QLabel(this)),
      log_(new QListWidget(this)),
      button_(new QPushButton(tr("Cancel"), this)) {
    setWindowTitle(QStringLiteral("Progress"));
    bar_->setObjectName(QStringLiteral("1021"));
    bar_->setRange(0, 1);
    bar_->setValue(0);
    status_->setObjectName(QStringLiteral("1022"));
    log_->setObjectName(QStringLiteral("1004"));
    log_->setSelectionMode(QAbstractItemView::NoSelection);
    button_->setObjectName(QStringLiteral("1023"));
    button_->setEnabled(false);
    connect(button_, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(bar_);
    layout->addWidget(status_);
    layout->addWidget(log_, 1);
    layout->addWidget(button_, 0, Qt::AlignRight);
    resize(520, 360);
}

ProgressDialog::~ProgressDialog() = default;

void ProgressDialog::appendLine(const QString& text) {
    log_->addItem(text);
    log_->scrollToBottom();
}

void ProgressDialog::setStatus(const QString& text) {
    status_->setText(text);
}

void ProgressDialog::setProgress(int current, int total) {
    if (current < 0 || total <= 0) {
        return;
    }
    bar_->setRange(0, total);
    bar_->setValue(current > total ? total : current);
}

void ProgressDialog::finish() {
    finished_ = true;
    button_->setText(tr("OK"));
    button_->setEnabled(true);
    button_->setDefault(true);
}

QStringList ProgressDialog::logLines() const {
    QStringList lines;
    for (int row = 0; row < log_->count(); ++row) {
        lines << log_->item(row)->text();
    }
    return lines;
}

void ProgressDialog::reject() {
    if (finished_) {
        QDialog::reject();
    }
}

void ProgressDialog::closeEvent(QCloseEvent* event) {
    if (finished_) {
        QDialog::closeEvent(event);
    } else {
        event->ignore();
    }
}
