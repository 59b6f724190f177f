#pragma once

#include <QObject>
#include <map>

class QAction;
class QMenu;
class QWidget;

// The main menu of the window: menu 109 in the player mode, 110 in the sealer mode (which adds
// "Seal Selected Range", "Unseal" and "Recover Sealing Session"). The window shows it as the
// context menu of its background. Every action carries its command id as data; choosing one
// emits commandTriggered(id). The menu keeps the check marks of "Hide video window" and of
// the two duration menus.
class GalewickMenus final : public QObject {
    Q_OBJECT
public:
    GalewickMenus(bool sealingMode, QWidget* parent);
    ~GalewickMenus() override;
    GalewickMenus(const GalewickMenus&) = delete;
    GalewickMenus& operator=(const GalewickMenus&) = delete;

    QMenu* mainMenu() const { return mainMenu_; }
    // The action of a command id, or null when this mode's menu has none.
    QAction* action(int commandId) const;
    // Every action, for adding them to the window so their shortcuts work without the menu.
    QList<QAction*> actions() const;

    // Checks the entry of each duration menu whose step equals the seconds given (none when no
    // entry does).
    void refreshDurationChecks(int advanceSeconds, int rewindSeconds);
    void setHideVideoChecked(bool hidden);
    // Enables the commands that need an open session.
    void setSessionLoaded(bool loaded);

    // The step length of a duration command id; 0 when the id is not a duration command.
    // `isAdvance` tells which menu it belongs to.
    static int durationSecondsFor(int commandId, bool& isAdvance);

signals:
    void commandTriggered(int commandId);

private:
    QAction* add(QMenu* menu, const QString& text, int commandId);
    QMenu* addDurationMenu(const QString& title, const int (&ids)[6]);

    QMenu* mainMenu_ = nullptr;
    std::map<int, QAction*> actions_;
};
