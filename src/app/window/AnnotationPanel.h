#pragma once

#include <QWidget>

class JexSession;
class QAction;
class QMenu;
class Win32_ListViewControl;

// The annotation list of the open session with its pop-up menu 145 ("Edit Annotation", "Allow
// Annotation Edits", "Enable Follow Play"; each action carries its command id as data).
//
// The panel shows the record it is given and never owns it: the caller keeps the record alive
// until clear() or the next setSession(). While "Enable Follow Play" is on, followPosition()
// selects the annotation in force at the played time. "Edit Annotation" is enabled only while
// "Allow Annotation Edits" is checked and the selected annotation may be edited
// (AnnotationRecordEditor::isEditable).
//
// Used on the user-interface thread only; positions from the engine's threads are marshalled
// to it by the window.
class AnnotationPanel final : public QWidget {
    Q_OBJECT

public:
    static constexpr int kEditAnnotationCommand = 32812;
    static constexpr int kAllowAnnotationEditsCommand = 32823;
    static constexpr int kEnableFollowPlayCommand = 32822;
    static constexpr int kPopupMenuId = 145;

    explicit AnnotationPanel(QWidget* parent = nullptr);
    ~AnnotationPanel() override;
    AnnotationPanel(const AnnotationPanel&) = delete;
    AnnotationPanel& operator=(const AnnotationPanel&) = delete;

    // Shows the annotations of `record` (may be null: an empty list), time stamps in the clock
    // time of the location, `offsetHours` from UTC.
    void setSession(JexSession* record, int offsetHours);
    // Forgets the record and empties the list.
    void clear();
    // Reads the record's list again (after an edit, a reload or a refresh that changed it),
    // keeping the selected row where it still exists.
    void reload();

    JexSession* record() const { return record_; }
    int offsetHours() const { return offsetHours_; }

    // With follow-play on: selects the annotation in force at `epochSeconds` (the last one at
    // or before it; nothing before the first). Does nothing with follow-play off.
    void followPosition(double epochSeconds);

    bool followPlayEnabled() const;
    void setFollowPlayEnabled(bool on);
    bool annotationEditsAllowed() const;
    void setAnnotationEditsAllowed(bool on);

    // The selected annotation's index in the record, or -1; selectIndex(-1) clears it.
    int selectedIndex() const;
    bool selectIndex(int index);

    Win32_ListViewControl& listView() const { return *list_; }
    // Pop-up menu 145 and its actions.
    QMenu& popupMenu() const { return *menu_; }
    QAction& editAnnotationAction() const { return *editAction_; }
    QAction& allowAnnotationEditsAction() const { return *allowEditsAction_; }
    QAction& enableFollowPlayAction() const { return *followPlayAction_; }

signals:
    // A double-click on an annotation with a time stamp: the window seeks there.
    void seekRequested(double epochSeconds);
    // "Allow Annotation Edits" changed: the window enables or disables its two time edits.
    void annotationEditsAllowedChanged(bool allowed);
    void followPlayChanged(bool on);
    // "Edit Annotation" was chosen for the annotation at `index` of the record.
    void editAnnotationRequested(int index);

private:
    void showPopupMenu(const QPoint& position);
    void updateEditEnabled();
    void rowActivated(int row);

    JexSession* record_ = nullptr;
    int offsetHours_ = 0;
    Win32_ListViewControl* list_;
    QMenu* menu_;
    QAction* editAction_;
    QAction* allowEditsAction_;
    QAction* followPlayAction_;
};
