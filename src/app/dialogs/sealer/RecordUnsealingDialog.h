#pragma once

#include <QDialog>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "KorvalisUserSealingKey.h"
#include "UserKeyFields.h"
class QListWidget;
class QPushButton;
class SealerHost;

// "Record Unsealing": the user key and passphrase, the archive location (1015) and the sealed
// ranges of the session (1004 "Select range to unseal:", several may be chosen). "Validate"
// enables "Unseal" (1011), "Unseal" checks the archive location and enables "Confirm" (1014);
// "Confirm" checks it again, takes the chosen ranges and closes the dialog with OK.
// User-interface thread only.
class RecordUnsealingDialog final : public QDialog {
    Q_OBJECT

public:
    RecordUnsealingDialog(SealerHost& host, QWidget* parent = nullptr);
    ~RecordUnsealingDialog() override;
    RecordUnsealingDialog(const RecordUnsealingDialog&) = delete;
    RecordUnsealingDialog& operator=(const RecordUnsealingDialog&) = delete;

    // After OK: the chosen ranges (epoch seconds, in list order), the archive location, the key.
    const std::vector<std::pair<double, double>>& ranges() const { return ranges_; }
    std::string archiveLocation() const { return fields_.archiveLocation(); }
    std::unique_ptr<KorvalisUserSealingKey> takeKey() { return fields_.takeKey(); }

    UserKeyFields& fields() { return fields_; }
    QListWidget* rangeList() const { return rangeList_; }
    QPushButton* unsealButton() const { return unseal_; }
    QPushButton* confirmButton() const { return confirm_; }
    QPushButton* cancelButton() const { return cancel_; }

private:
    void confirmClicked();

    SealerHost& host_;
    UserKeyFields fields_;
    QListWidget* rangeList_;
    QPushButton* unseal_;
    QPushButton* confirm_;
    QPushButton* cancel_;
    std::vector<std::pair<double, double>> ranges_;
};
