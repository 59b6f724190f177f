#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "SessionDateEntry.h"

class ArchiveSessionSet;
class QComboBox;
class QDialogButtonBox;
class QFileSystemModel;
class QLineEdit;
class QListWidget;
class QModelIndex;
class QTreeView;

// The "Select Session" dialog: the user picks an archive folder (the browse location), a
// location ("Select Recorder") and a day ("Select Date", MM/DD/YYYY) of that location.
//
// A folder tree of the file system (directories only) sits under a list of places: the home
// directory first, then every mounted volume. Choosing a place or a folder makes its path the
// browse location, shows it in the edit, and refills the locations from the archives under it;
// choosing a location fills its dates. OK is enabled with a non-empty browse location and a
// location and a date chosen.
//
// "Browse..." opens a folder chooser for the same purpose.
//
// Object names of the controls (for tests): "placesCombo", "folderTree", "browseLocationEdit",
// "browseButton", "locationList", "dateList", "statusLabel", and the standard OK and Cancel
// buttons.
class SelectSessionDialog final : public QDialog {
    Q_OBJECT

public:
    struct Choice {
        std::string browseLocation;
        std::string location;
        int year = 0;
        int month = 0;
        int day = 0;
    };

    // Chooses a folder, starting at the given path; an empty result means none was chosen.
    using FolderChooser = std::function<QString(QWidget* parent, const QString& start)>;

    explicit SelectSessionDialog(const std::string& browseLocation, QWidget* parent = nullptr);
    ~SelectSessionDialog() override;

    SelectSessionDialog(const SelectSessionDialog&) = delete;
    SelectSessionDialog& operator=(const SelectSessionDialog&) = delete;

    // After OK: the browse location, the location and the day chosen.
    const Choice& choice() const { return choice_; }
    // The browse location shown now.
    std::string browseLocation() const;

    // Makes `path` the browse location (as choosing that folder in the tree does) and refills
    // the location list.
    void setBrowseLocation(const QString& path);

    // Replaces the folder chooser "Browse..." opens (by default a directory chooser).
    void setFolderChooser(FolderChooser chooser);

    // The places offered above the tree: the home directory, then each mounted volume's root,
    // each once.
    static std::vector<QString> places();

public slots:
    void accept() override;

private:
    void browse();
    void fillLocations();
    void fillDates();
    void folderActivated(const QModelIndex& index);
    void placeChosen(int index);
    void updateOkButton();

    Choice choice_;
    std::unique_ptr<ArchiveSessionSet> archive_;
    std::vector<SessionDateEntry> dates_;
    FolderChooser folderChooser_;
    QComboBox* placesCombo_ = nullptr;
    QFileSystemModel* folderModel_ = nullptr;
    QTreeView* folderTree_ = nullptr;
    QLineEdit* browseLocationEdit_ = nullptr;
    QListWidget* locationList_ = nullptr;
    QListWidget* dateList_ = nullptr;
    QDialogButtonBox* buttons_ = nullptr;
    bool settingLocation_ = false;
};
