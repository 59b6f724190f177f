#include "GalewickMenus.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QWidget>

#include "GalewickCommandIds.h"

namespace ids = GalewickCommandIds;

namespace {

const char* const kDurationTexts[6] = {"1 Second",   "5 Seconds", "15 Seconds",
                                       "30 Seconds", "1 Minute",  "5 Minutes"};

}  // namespace

GalewickMenus::GalewickMenus(bool sealingMode, QWidget* parent) : QObject(parent) {
    mainMenu_ = new QMenu(parent);
    mainMenu_->setObjectName(sealingMode ? QStringLiteral("menu110") : QStringLiteral("menu109"));

    add(mainMenu_, QStringLiteral("&Open Session"), ids::kOpenSession)
        ->setShortcut(QKeySequence::Open);
    add(mainMenu_, QStringLiteral("Advanced"), ids::kAdvanced);
    QAction* hide = add(mainMenu_, QStringLiteral("Hide video window"), ids::kHideVideoWindow);
    hide->setCheckable(true);
    addDurationMenu(QStringLiteral("Advance Duration"), ids::kAdvanceDurationIds);
    addDurationMenu(QStringLiteral("Rewind Duration"), ids::kRewindDurationIds);
    mainMenu_->addSeparator();

    add(mainMenu_,
        sealingMode ? QStringLiteral("Save Annotations As HTML")
                    : QStringLiteral("Save Annotations in HTML"),
        ids::kSaveAnnotationsHtml);
    add(mainMenu_,
        sealingMode ? QStringLiteral("Save Annotations As ASCII")
                    : QStringLiteral("Save Annotations as Text"),
        ids::kSaveAnnotationsText);
    add(mainMenu_, QStringLiteral("Print Annotations"), ids::kPrintAnnotations)
        ->setShortcut(QKeySequence::Print);
    add(mainMenu_, QStringLiteral("Search open session"), ids::kSearchOpenSession)
        ->setShortcut(QKeySequence::Find);
    add(mainMenu_, QStringLiteral("Search all sessions"), ids::kSearchAllSessions);
    mainMenu_->addSeparator();

    if (sealingMode) {
        add(mainMenu_, QStringLiteral("Seal Selected Range"), ids::kSealSelectedRange);
        add(mainMenu_, QStringLiteral("Unseal"), ids::kUnseal);
        add(mainMenu_, QStringLiteral("Recover Sealing Session"), ids::kRecoverSealingSession);
        add(mainMenu_, QStringLiteral("Copy Selected Range"), ids::kCopy);
    } else {
        add(mainMenu_, QStringLiteral("Copy"), ids::kCopy);
    }
    add(mainMenu_, QStringLiteral("Export Session"), ids::kExportSession);
    mainMenu_->addSeparator();

    add(mainMenu_, QStringLiteral("User Guide"), ids::kUserGuide)
        ->setShortcut(QKeySequence(Qt::Key_F1));
    add(mainMenu_, QStringLiteral("About"), ids::kAbout);
    mainMenu_->addSeparator();
    add(mainMenu_, QStringLiteral("E&xit"), ids::kExit)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

    // The accelerator table: Alt+? and Alt+/ both send "&About ...".
    QAction* aboutKeys = new QAction(QStringLiteral("&About ..."), this);
    aboutKeys->setData(ids::kAboutAccelerator);
    aboutKeys->setShortcuts(
        {QKeySequence(Qt::ALT | Qt::Key_Question), QKeySequence(Qt::ALT | Qt::Key_Slash)});
    connect(aboutKeys, &QAction::triggered, this,
            [this] { emit commandTriggered(ids::kAboutAccelerator); });
    actions_[ids::kAboutAccelerator] = aboutKeys;

    for (auto& [id, action] : actions_) {
        action->setShortcutContext(Qt::WindowShortcut);
    }
}

GalewickMenus::~GalewickMenus() = default;

QAction* GalewickMenus::add(QMenu* menu, const QString& text, int commandId) {
    QAction* action = menu->addAction(text);
    action->setData(commandId);
    connect(action, &QAction::triggered, this,
            [this, commandId] { emit commandTriggered(commandId); });
    actions_[commandId] = action;
    return action;
}

QMenu* GalewickMenus::addDurationMenu(const QString& title, const int (&commandIds)[6]) {
    QMenu* menu = mainMenu_->addMenu(title);
    for (int i = 0; i < 6; ++i) {
        add(menu, QString::fromLatin1(kDurationTexts[i]), commandIds[i])->setCheckable(true);
    }
    return menu;
}

QAction* GalewickMenus::action(int commandId) const {
    const auto found = actions_.find(commandId);
    return found == actions_.end() ? nullptr : found->second;
}

QList<QAction*> GalewickMenus::actions() const {
    QList<QAction*> all;
    for (const auto& [id, action] : actions_) {
        all.append(action);
    }
    return all;
}

void GalewickMenus::refreshDurationChecks(int advanceSeconds, int rewindSeconds) {
    for (int i = 0; i < 6; ++i) {
        action(ids::kAdvanceDurationIds[i])->setChecked(ids::kStepSeconds[i] == advanceSeconds);
        action(ids::kRewindDurationIds[i])->setChecked(ids::kStepSeconds[i] == rewindSeconds);
    }
}

void GalewickMenus::setHideVideoChecked(bool hidden) {
    action(ids::kHideVideoWindow)->setChecked(hidden);
}

void GalewickMenus::setSessionLoaded(bool loaded) {
    for (int id : {ids::kSaveAnnotationsHtml, ids::kSaveAnnotationsText, ids::kPrintAnnotations,
                   ids::kSearchOpenSession, ids::kCopy, ids::kExportSession,
                   ids::kSealSelectedRange, ids::kUnseal}) {
        if (QAction* found = action(id)) {
            found->setEnabled(loaded);
        }
    }
}

int GalewickMenus::durationSecondsFor(int commandId, bool& isAdvance) {
    for (int i = 0; i < 6; ++i) {
        if (ids::kAdvanceDurationIds[i] == commandId) {
            isAdvance = true;
            return ids::kStepSeconds[i];
        }
        if (ids::kRewindDurationIds[i] == commandId) {
            isAdvance = false;
            return ids::kStepSeconds[i];
        }
    }
    return 0;
}
