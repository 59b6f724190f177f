#include "SealerPrompts.h"

#include <QFileDialog>
#include <QMessageBox>

void SealerPrompts::message(QWidget* parent, const QString& caption, const QString& text) {
    if (messageHandler()) {
        messageHandler()(caption, text);
        return;
    }
    QMessageBox::warning(parent, caption, text);
}

QString SealerPrompts::chooseFolder(QWidget* parent, const QString& startDirectory) {
    const QString title = QStringLiteral("Please, select a folder");
    if (folderHandler()) {
        return folderHandler()(title);
    }
    return QFileDialog::getExistingDirectory(parent, title, startDirectory);
}

QString SealerPrompts::chooseKeyFile(QWidget* parent, const QString& startDirectory) {
    const QString title = QStringLiteral("Please, select a user sealing key file");
    if (folderHandler()) {
        return folderHandler()(title);
    }
    return QFileDialog::getOpenFileName(parent, title, startDirectory,
                                        QStringLiteral("Key files (*.xml);;All files (*)"));
}

void SealerPrompts::setMessageHandler(MessageHandler handler) {
    messageHandler() = std::move(handler);
}

void SealerPrompts::setFolderHandler(FolderHandler handler) {
    folderHandler() = std::move(handler);
}

SealerPrompts::MessageHandler& SealerPrompts::messageHandler() {
    static MessageHandler handler;
    return handler;
}

SealerPrompts::FolderHandler& SealerPrompts::folderHandler() {
    static FolderHandler handler;
    return handler;
}
