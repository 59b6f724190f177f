#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "KorvalisUserSealingKey.h"
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QDialog;
class QWidget;

// What the "Record Sealing" and "Record Unsealing" dialogs share: the user key file (1013 with
// "Browse" 1007), the passphrase (1012, never echoed, with "Validate" 1008), the status text
// (1016) and the archive location (with "Browse" 1009), the passphrase validation and the
// archive location check. The widgets belong to the dialog; this object holds the user key
// whose master key a validation uncovered, until the run takes it or the dialog closes.
// User-interface thread only.
class UserKeyFields {
public:
    // At most this many characters of the key path and passphrase are taken.
    static constexpr int kMaximumTextLength = 255;

    struct Labels {
        QString keyFile;
        QString passphrase;
        int archiveLocationId = 0;  // 1014 or 1015
    };

    // Makes the widgets as children of `dialog`, in four rows of layout(), which the dialog
    // adds to its own layout.
    UserKeyFields(QWidget* dialog, const Labels& labels);
    ~UserKeyFields();
    UserKeyFields(const UserKeyFields&) = delete;
    UserKeyFields& operator=(const UserKeyFields&) = delete;

    // "Validate": shows "Validating passphrase ...", loads the key file and uncovers its master
    // key with the passphrase, then shows "Passphrase Ok!" (true) or "Bad passphrase!" (false).
    // The passphrase field is overwritten and cleared either way, and the passphrase's copies
    // are wiped.
    bool validate();
    // True after a successful validation, until the key file or passphrase is edited.
    bool isValidated() const { return key_ != nullptr; }
    // Drops the uncovered key (after an edit of the key file or passphrase).
    void forgetKey();
    // The validated key, for the run (null when none).
    std::unique_ptr<KorvalisUserSealingKey> takeKey();

    // The archive location check: true when the location edit names an archive root; otherwise
    // the message box "Error!  Archive location does not contain a Korvalis archive." with the
    // caption "Archive Location Error" is shown and false returned. The open session's own
    // archive (`sessionRoot`) is refused too, with its own message: the archived copies of
    // processed files would then be the session's own files.
    bool checkArchiveLocation(const std::string& sessionRoot) const;
    // The archive location as the transaction takes it (absolute, clean).
    std::string archiveLocation() const;

    QGridLayout* layout() const { return layout_; }
    // The order both dialogs follow, Validate -> `step` ("Seal" or "Unseal") -> `confirm`:
    // Validate enables `step` when the passphrase uncovers the key; an edit of the key file or
    // passphrase drops the key and disables both again; `step` checks the archive location
    // against the open session's archive (`sessionRoot`, asked at each check), rejecting
    // `dialog` when it fails, and enables `confirm`. Both buttons start disabled.
    void connectSteps(QDialog* dialog, QPushButton* step, QPushButton* confirm,
                      std::function<std::string()> sessionRoot);
    // What "Confirm" checks before the dialog takes its range: false when the key was dropped
    // since (both buttons disabled again) or when the archive location fails the check (the
    // dialog is rejected). Only after connectSteps.
    bool confirmChecks();

    QLineEdit* keyFileEdit() const { return keyFile_; }
    QLineEdit* passphraseEdit() const { return passphrase_; }
    QPushButton* validateButton() const { return validate_; }
    QLabel* statusText() const { return status_; }
    QLineEdit* archiveLocationEdit() const { return archiveLocation_; }
    QPushButton* keyBrowseButton() const { return keyBrowse_; }
    QPushButton* archiveBrowseButton() const { return archiveBrowse_; }

private:
    void browseForKeyFile();
    void browseForArchiveLocation();
    void keyEdited();
    bool archiveLocationChecked();

    QWidget* dialog_;
    QGridLayout* layout_;
    QLineEdit* keyFile_;
    QPushButton* keyBrowse_;
    QLineEdit* passphrase_;
    QPushButton* validate_;
    QLabel* status_;
    QLineEdit* archiveLocation_;
    QPushButton* archiveBrowse_;
    std::unique_ptr<KorvalisUserSealingKey> key_;
    QDialog* stepsDialog_ = nullptr;
    QPushButton* step_ = nullptr;
    QPushButton* confirm_ = nullptr;
    std::function<std::string()> sessionRoot_;
};
