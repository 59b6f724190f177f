#pragma once

#include <QString>
#include <functional>

class QWidget;

// The message boxes and the folder chooser of the sealer dialogs, in one place so that a test
// can answer them without a modal loop. Without a handler the real widgets are shown.
// User-interface thread only.
class SealerPrompts {
public:
    using MessageHandler = std::function<void(const QString& caption, const QString& text)>;
    // The chosen folder, or empty when the chooser was cancelled.
    using FolderHandler = std::function<QString(const QString& title)>;

    // A warning box with `caption` and `text` and an OK button; returns when it is closed.
    static void message(QWidget* parent, const QString& caption, const QString& text);
    // The folder chooser titled "Please, select a folder"; empty when cancelled.
    static QString chooseFolder(QWidget* parent, const QString& startDirectory);

    // The file chooser for a user key file; empty when cancelled.
    static QString chooseKeyFile(QWidget* parent, const QString& startDirectory);

    // Replace the widgets (an empty function restores them).
    static void setMessageHandler(MessageHandler handler);
    static void setFolderHandler(FolderHandler handler);
    // Also answers chooseKeyFile (with its title).

private:
    static MessageHandler& messageHandler();
    static FolderHandler& folderHandler();
};
