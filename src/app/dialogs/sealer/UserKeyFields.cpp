#include "UserKeyFields.h"

#include <QDialog>
#include <QEventLoop>
#include <QFile>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <filesystem>
#include <thread>
#include <vector>

#include "ArchiveSessionSet.h"
#include "KorvalisMasterSealingKey.h"
#include "KorvalisUserSealingKey.h"
#include "SealerPrompts.h"

namespace {

std::string localPath(const QString& text) {
    return QFile::encodeName(text.left(UserKeyFields::kMaximumTextLength)).toStdString();
}

std::string withoutTrailingSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

}  // namespace

UserKeyFields::UserKeyFields(QWidget* dialog, const Labels& labels)
    : dialog_(dialog),
      layout_(new QGridLayout),
      keyFile_(new QLineEdit(dialog)),
      keyBrowse_(new QPushButton(QStringLiteral("Browse"), dialog)),
      passphrase_(new QLineEdit(dialog)),
      validate_(new QPushButton(QStringLiteral("Validate"), dialog)),
      status_(new QLabel(dialog)),
      archiveLocation_(new QLineEdit(dialog)),
      archiveBrowse_(new QPushButton(QStringLiteral("Browse"), dialog)) {
    keyFile_->setObjectName(QStringLiteral("1013"));
    keyFile_->setMaxLength(kMaximumTextLength);
    keyBrowse_->setObjectName(QStringLiteral("1007"));
    passphrase_->setObjectName(QStringLiteral("1012"));
    passphrase_->setEchoMode(QLineEdit::Password);
    passphrase_->setMaxLength(kMaximumTextLength);
    passphrase_->setAttribute(Qt::WA_InputMethodEnabled, false);
    validate_->setObjectName(QStringLiteral("1008"));
    status_->setObjectName(QStringLiteral("1016"));
    archiveLocation_->setObjectName(QString::number(labels.archiveLocationId));
    archiveBrowse_->setObjectName(QStringLiteral("1009"));

    QGridLayout* layout = layout_;
    const int row = 0;
    layout->addWidget(new QLabel(labels.keyFile, dialog), row, 0);
    layout->addWidget(keyFile_, row, 1);
    layout->addWidget(keyBrowse_, row, 2);
    layout->addWidget(new QLabel(labels.passphrase, dialog), row + 1, 0);
    layout->addWidget(passphrase_, row + 1, 1);
    layout->addWidget(validate_, row + 1, 2);
    layout->addWidget(status_, row + 2, 1, 1, 2);
    layout->addWidget(new QLabel(QStringLiteral("Archiver Location:"), dialog), row + 3, 0);
    layout->addWidget(archiveLocation_, row + 3, 1);
    layout->addWidget(archiveBrowse_, row + 3, 2);

    QObject::connect(keyBrowse_, &QPushButton::clicked, dialog, [this] { browseForKeyFile(); });
    QObject::connect(archiveBrowse_, &QPushButton::clicked, dialog,
                     [this] { browseForArchiveLocation(); });
}

UserKeyFields::~UserKeyFields() = default;

bool UserKeyFields::validate() {
    status_->setText(QStringLiteral("Validating passphrase ..."));
    status_->repaint();
    key_.reset();

    // Take the passphrase out of the field first: the field drops its copy, and ours is then
    // the only one, overwritten in place below.
    QString passphrase = passphrase_->text().left(kMaximumTextLength);
    passphrase_->setText(QString(passphrase.size(), QLatin1Char(' ')));
    passphrase_->clear();
    QByteArray bytes = passphrase.toUtf8();
    passphrase.fill(QChar(0));
    passphrase.clear();

    // The key derivation takes about a second at the usual iteration counts: it runs on a thread
    // of its own while this one goes on painting (user input is held back until it ends).
    auto key = std::make_unique<KorvalisUserSealingKey>();
    const std::string keyPath = localPath(keyFile_->text());
    bool ok = false;
    validate_->setEnabled(false);
    QEventLoop waiting;
    std::thread deriving([&] {
        ok = key->loadFromFile(keyPath) &&
             key->uncoverMasterKey(reinterpret_cast<const uint8_t*>(bytes.constData()),
                                   static_cast<size_t>(bytes.size())) &&
             key->getMasterKey() != nullptr && key->getMasterKey()->isValid();
        QMetaObject::invokeMethod(&waiting, &QEventLoop::quit, Qt::QueuedConnection);
    });
    waiting.exec(QEventLoop::ExcludeUserInputEvents);
    deriving.join();
    validate_->setEnabled(true);
    bytes.fill('\0');
    bytes.clear();
    if (ok) {
        key_ = std::move(key);
        status_->setText(QStringLiteral("Passphrase Ok!"));
    } else {
        status_->setText(QStringLiteral("Bad passphrase!"));
    }
    return ok;
}

void UserKeyFields::connectSteps(QDialog* dialog, QPushButton* step, QPushButton* confirm,
                                 std::function<std::string()> sessionRoot) {
    stepsDialog_ = dialog;
    step_ = step;
    confirm_ = confirm;
    sessionRoot_ = std::move(sessionRoot);
    step_->setEnabled(false);
    confirm_->setEnabled(false);
    QObject::connect(validate_, &QPushButton::clicked, dialog, [this] {
        confirm_->setEnabled(false);
        step_->setEnabled(validate());
    });
    QObject::connect(keyFile_, &QLineEdit::textEdited, dialog, [this] { keyEdited(); });
    QObject::connect(passphrase_, &QLineEdit::textEdited, dialog, [this] { keyEdited(); });
    QObject::connect(step_, &QPushButton::clicked, dialog, [this] {
        if (archiveLocationChecked()) {
            confirm_->setEnabled(true);
        }
    });
}

bool UserKeyFields::confirmChecks() {
    if (!isValidated()) {
        keyEdited();
        return false;
    }
    return archiveLocationChecked();
}

void UserKeyFields::keyEdited() {
    forgetKey();
    step_->setEnabled(false);
    confirm_->setEnabled(false);
}

bool UserKeyFields::archiveLocationChecked() {
    if (!checkArchiveLocation(sessionRoot_())) {
        stepsDialog_->reject();
        return false;
    }
    return true;
}

void UserKeyFields::forgetKey() {
    if (key_ != nullptr) {
        key_.reset();
        status_->clear();
    }
}

std::unique_ptr<KorvalisUserSealingKey> UserKeyFields::takeKey() {
    return std::move(key_);
}

std::string UserKeyFields::archiveLocation() const {
    std::error_code code;
    const std::string text = localPath(archiveLocation_->text());
    std::string path = std::filesystem::absolute(text, code).lexically_normal().string();
    return withoutTrailingSlash(code ? text : path);
}

bool UserKeyFields::checkArchiveLocation(const std::string& sessionRoot) const {
    const std::string location = archiveLocation();
    bool ok = false;
    if (!archiveLocation_->text().trimmed().isEmpty()) {
        std::vector<std::string> roots;
        ArchiveSessionSet(std::string()).findAllArchiveRoots(roots, location);
        ok = !roots.empty() && roots.front() == location;
    }
    if (!ok) {
        SealerPrompts::message(
            dialog_, QStringLiteral("Archive Location Error"),
            QStringLiteral("Error!  Archive location does not contain a Korvalis archive."));
        return false;
    }
    if (!sessionRoot.empty()) {
        std::error_code first;
        std::error_code second;
        const auto own = std::filesystem::weakly_canonical(sessionRoot, first);
        const auto other = std::filesystem::weakly_canonical(location, second);
        if (first || second || own == other) {
            SealerPrompts::message(
                dialog_, QStringLiteral("Archive Location Error"),
                QStringLiteral("Error!  Archive location is the archive of the open session."));
            return false;
        }
    }
    return true;
}

void UserKeyFields::browseForKeyFile() {
    const QString chosen = SealerPrompts::chooseKeyFile(dialog_, keyFile_->text());
    if (!chosen.isEmpty()) {
        keyFile_->setText(chosen.left(kMaximumTextLength));
        forgetKey();
    }
}

void UserKeyFields::browseForArchiveLocation() {
    const QString chosen = SealerPrompts::chooseFolder(dialog_, archiveLocation_->text());
    if (!chosen.isEmpty()) {
        archiveLocation_->setText(chosen);
    }
}
