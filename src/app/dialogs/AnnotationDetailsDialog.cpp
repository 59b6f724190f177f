#include "AnnotationDetailsDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTimeEdit>
#include <QVBoxLayout>
#include <cmath>

#include "ClockTimeText.h"
#include "JexSession.h"

namespace {

constexpr int kSecondsPerDay = 86400;
constexpr const char* kCaption = "Annotation Details";

}  // namespace

AnnotationDetailsDialog::AnnotationDetailsDialog(JexSession& record, size_t index,
                                                 const JexAnnotation& annotation, int offsetHours,
                                                 QWidget* parent)
    : QDialog(parent),
      record_(record),
      index_(index),
      offsetHours_(offsetHours),
      original_(annotation),
      user_(new QLabel(this)),
      date_(new QLabel(this)),
      time_(new QTimeEdit(this)),
      speaker_(new QLineEdit(this)),
      labelTitle_(new QLineEdit(this)),
      event_(new QPlainTextEdit(this)) {
    setWindowTitle(QString::fromLatin1(kCaption));
    presenter_ = [this](const QString& caption, const QString& text) {
        QMessageBox::warning(this, caption, text);
    };

    time_->setDisplayFormat(QStringLiteral("hh:mm:ss AP"));
    event_->setTabChangesFocus(true);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Made by:"), user_);
    form->addRow(QStringLiteral("Date:"), date_);
    form->addRow(QStringLiteral("Time:"), time_);
    form->addRow(QStringLiteral("Speaker:"), speaker_);
    form->addRow(QStringLiteral("Label title:"), labelTitle_);
    form->addRow(QStringLiteral("Event:"), event_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    resize(460, 320);
    fill();
}

void AnnotationDetailsDialog::setMessagePresenter(MessagePresenter presenter) {
    presenter_ = std::move(presenter);
}

void AnnotationDetailsDialog::fill() {
    user_->setText(QString::fromStdString(original_.user()));
    speaker_->setText(QString::fromStdString(original_.labelData()));
    labelTitle_->setText(QString::fromStdString(original_.labelTitle()));
    event_->setPlainText(QString::fromStdString(original_.event()));
    if (const WallClockTime* stamp = original_.timeStamp()) {
        const double seconds = stamp->asUtcSeconds();
        date_->setText(QString::fromStdString(ClockTimeText::date(seconds, offsetHours_)));
        const int64_t local =
            static_cast<int64_t>(stamp->epochTimeSecondsInUtc()) + int64_t{offsetHours_} * 3600;
        const int64_t ofDay = ((local % kSecondsPerDay) + kSecondsPerDay) % kSecondsPerDay;
        time_->setTime(QTime(0, 0).addSecs(static_cast<int>(ofDay)));
    } else {
        // Without a time stamp there is no instant to move: the recorder's texts are shown.
        date_->setText(QString::fromStdString(original_.displayDate()));
        time_->setEnabled(false);
        time_->setToolTip(QString::fromStdString(original_.displayTime()));
    }
}

JexAnnotation AnnotationDetailsDialog::editedAnnotation() const {
    JexAnnotation edited = original_;
    edited.setLabelData(speaker_->text().toStdString());
    edited.setLabelTitle(labelTitle_->text().toStdString());
    edited.setEvent(event_->toPlainText().toStdString());
    if (const WallClockTime* stamp = original_.timeStamp()) {
        const int64_t offsetSeconds = int64_t{offsetHours_} * 3600;
        const int64_t local = static_cast<int64_t>(stamp->epochTimeSecondsInUtc()) + offsetSeconds;
        const int64_t ofDay = ((local % kSecondsPerDay) + kSecondsPerDay) % kSecondsPerDay;
        const int64_t chosen = time_->time().msecsSinceStartOfDay() / 1000;
        if (chosen != ofDay) {
            // The same day of the location, at the chosen clock time; the display texts follow.
            const int64_t utc = local - ofDay + chosen - offsetSeconds;
            if (utc >= 0 && utc <= int64_t{UINT32_MAX}) {
                WallClockTime moved(static_cast<uint32_t>(utc), 0u, 0);
                moved.setTzOffsetHours(offsetHours_);
                edited.setDisplayTime(moved);
            }
        }
    }
    return edited;
}

AnnotationRecordEditor::Result AnnotationDetailsDialog::save() {
    if (rereadBeforeSave_) {
        // The last save was refused: read what the other program wrote, then apply the edit
        // to it.
        bool changed = false;
        record_.reload(changed);
    }
    std::string error;
    size_t savedAt = index_;
    const auto result = AnnotationRecordEditor::apply(record_, index_, original_,
                                                      editedAnnotation(), error, &savedAt);
    if (result == AnnotationRecordEditor::Result::kSaved) {
        index_ = savedAt;
        rereadBeforeSave_ = false;
        return result;
    }
    rereadBeforeSave_ = true;
    QString text = QString::fromStdString(error);
    text += result == AnnotationRecordEditor::Result::kSaveRefused
                ? QStringLiteral(
                      "\n\nYour changes are still in this dialog. Press OK to read the record "
                      "again and save them, or Cancel to drop them.")
                : QStringLiteral(
                      "\n\nYour changes are still in this dialog; copy what you need "
                      "before closing it.");
    if (presenter_) {
        presenter_(QString::fromLatin1(kCaption), text);
    }
    return result;
}

void AnnotationDetailsDialog::accept() {
    if (save() == AnnotationRecordEditor::Result::kSaved) {
        QDialog::accept();
    }
}
