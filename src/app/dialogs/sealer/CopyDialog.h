#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "SessionCopyJob.h"

class QCheckBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTimeEdit;
class SealerHost;

// "Copy": the directory to save in (1027, "Browse" 1028), the time segments to copy (pickers
// 1019 and 1020, "Add Segment" 1045, "Remove Segment" 1047, list 1004), the options (1032
// auto-load, 1042 exclude annotations, 1033 audio only, 1034 mix down) and "Copy" (1025), which
// asks for the copy's name ("Enter copy name") and closes the dialog with OK.
// "Mix all channels to one file" is enabled only when the mix-down tool lies in the program's
// directory; it implies "Copy audio only" and excludes the auto-load option.
// User-interface thread only.
class CopyDialog final : public QDialog {
    Q_OBJECT

public:
    // `host` must have an open session and outlive the dialog.
    CopyDialog(SealerHost& host, QWidget* parent = nullptr);
    ~CopyDialog() override;
    CopyDialog(const CopyDialog&) = delete;
    CopyDialog& operator=(const CopyDialog&) = delete;

    // The mix-down tool's path in the program's directory (whether it exists or not).
    static std::string mixDownToolPath(const std::string& programDirectory);

    // After OK: the segments in list order, the copy's directory ("Save in" joined with the
    // name) and the options.
    const std::vector<SessionCopyJob::Segment>& segments() const { return segments_; }
    const std::string& targetDirectory() const { return targetDirectory_; }
    SessionCopyJob::Options options() const;
    bool autoLoad() const;

    QLineEdit* saveInEdit() const { return saveIn_; }
    QPushButton* browseButton() const { return browse_; }
    QTimeEdit* startTimeEdit() const { return start_; }
    QTimeEdit* endTimeEdit() const { return end_; }
    QPushButton* addButton() const { return add_; }
    QPushButton* removeButton() const { return remove_; }
    QListWidget* segmentList() const { return segmentList_; }
    QCheckBox* autoLoadBox() const { return autoLoad_; }
    QCheckBox* excludeAnnotationsBox() const { return excludeAnnotations_; }
    QCheckBox* audioOnlyBox() const { return audioOnly_; }
    QCheckBox* mixDownBox() const { return mixDown_; }
    QPushButton* copyButton() const { return copy_; }
    QPushButton* cancelButton() const { return cancel_; }

private:
    void addSegment();
    void removeSegments();
    void copyClicked();
    std::vector<SessionCopyJob::Segment> listedSegments() const;

    SealerHost& host_;
    QLineEdit* saveIn_;
    QPushButton* browse_;
    QTimeEdit* start_;
    QTimeEdit* end_;
    QPushButton* add_;
    QPushButton* remove_;
    QListWidget* segmentList_;
    QCheckBox* autoLoad_;
    QCheckBox* excludeAnnotations_;
    QCheckBox* audioOnly_;
    QCheckBox* mixDown_;
    QPushButton* copy_;
    QPushButton* cancel_;
    std::vector<SessionCopyJob::Segment> segments_;
    std::string targetDirectory_;
};
