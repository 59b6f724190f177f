#pragma once

#include <QDialog>
#include <memory>
#include <string>

#include "KorvalisUserSealingKey.h"
#include "UserKeyFields.h"
class QListWidget;
class QPushButton;
class QTimeEdit;
class SealerHost;

// "Record Sealing": the user key and passphrase, the archive location, the ranges already
// sealed in the session (1004) and the range to seal ("New Start Time" 1019, "New End Time"
// 1020, set from the main window's selection). "Validate" enables "Seal" (1010), "Seal" checks
// the archive location and enables "Confirm" (3); "Confirm" checks it again, stores the chosen
// range as the window's selection and closes the dialog with OK. A failed location check
// closes it without action. User-interface thread only.
class RecordSealingDialog final : public QDialog {
    Q_OBJECT

public:
    // `host` must have an open session and outlive the dialog.
    RecordSealingDialog(SealerHost& host, QWidget* parent = nullptr);
    ~RecordSealingDialog() override;
    RecordSealingDialog(const RecordSealingDialog&) = delete;
    RecordSealingDialog& operator=(const RecordSealingDialog&) = delete;

    // After OK: the range to seal (epoch seconds), the archive location and the user key.
    double rangeStart() const { return rangeStart_; }
    double rangeEnd() const { return rangeEnd_; }
    std::string archiveLocation() const { return fields_.archiveLocation(); }
    std::unique_ptr<KorvalisUserSealingKey> takeKey() { return fields_.takeKey(); }

    UserKeyFields& fields() { return fields_; }
    QListWidget* sealedRangesList() const { return sealedRanges_; }
    QTimeEdit* startTimeEdit() const { return start_; }
    QTimeEdit* endTimeEdit() const { return end_; }
    QPushButton* sealButton() const { return seal_; }
    QPushButton* confirmButton() const { return confirm_; }
    QPushButton* cancelButton() const { return cancel_; }

private:
    void confirmClicked();

    SealerHost& host_;
    UserKeyFields fields_;
    QListWidget* sealedRanges_;
    QTimeEdit* start_;
    QTimeEdit* end_;
    QPushButton* seal_;
    QPushButton* confirm_;
    QPushButton* cancel_;
    double rangeStart_ = 0.0;
    double rangeEnd_ = 0.0;
};
