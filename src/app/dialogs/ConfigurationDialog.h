#pragma once

#include <QDialog>
#include <QString>
#include <functional>

#include "GalewickConfiguration.h"

class QCheckBox;
class QLineEdit;

// The "Configuration" dialog: edits a copy of the settings (root path, level-meter refresh
// interval, stay on top, auto refresh). The "Pedal Control Configuration" group is shown but
// nothing reads or writes it.
//
// After exec() returns QDialog::Accepted, configuration() holds the edited settings (the root
// path is both the configured root path and the browse location) and the caller saves them,
// applies stay on top at once, and starts the live refresh when autoRefreshOn() is true or
// stops it when false (the dialog always says one or the other on OK, even when the setting did
// not change). Rejected: nothing changes.
//
// Object names of the controls (for tests and style sheets): "browseLocationEdit",
// "browseButton", "refreshRateEdit", "stayOnTopCheck", "autoRefreshCheck", "rewindOnPlayEdit",
// "pedalPosition1".."pedalPosition3", and the standard OK and Cancel buttons.
class ConfigurationDialog final : public QDialog {
    Q_OBJECT

public:
    // Chooses a folder, starting at the given path; an empty result means none was chosen.
    using FolderChooser = std::function<QString(QWidget* parent, const QString& start)>;

    // The longest root path the edit takes.
    static constexpr int kMaximumRootPathLength = 256;

    explicit ConfigurationDialog(const GalewickConfiguration& configuration,
                                 QWidget* parent = nullptr);
    ~ConfigurationDialog() override;

    ConfigurationDialog(const ConfigurationDialog&) = delete;
    ConfigurationDialog& operator=(const ConfigurationDialog&) = delete;

    // The settings as edited (after OK) or as given (otherwise).
    const GalewickConfiguration& configuration() const { return configuration_; }
    // After OK: true when live refresh is to run, false when it is to stop.
    bool autoRefreshOn() const { return configuration_.autoRefresh; }
    // After OK: whether the setting differs from the one the dialog was opened with.
    bool autoRefreshChanged() const { return configuration_.autoRefresh != initialAutoRefresh_; }

    // Replaces the folder browser "Browse..." opens (by default a directory chooser).
    void setFolderChooser(FolderChooser chooser);

    // The refresh interval the text stands for: its leading decimal number as atol reads it
    // (blanks, a sign, digits; anything else ends it), at least 1 ms, at most 2^32 - 1.
    static uint32_t refreshIntervalFromText(const QString& text);

public slots:
    void accept() override;

private:
    void browse();

    GalewickConfiguration configuration_;
    bool initialAutoRefresh_ = false;
    FolderChooser folderChooser_;
    QLineEdit* browseLocationEdit_ = nullptr;
    QLineEdit* refreshRateEdit_ = nullptr;
    QCheckBox* stayOnTopCheck_ = nullptr;
    QCheckBox* autoRefreshCheck_ = nullptr;
};
