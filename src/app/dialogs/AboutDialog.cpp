#include "AboutDialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

#ifndef GALEWICK_VERSION
#error "GALEWICK_VERSION is defined by the build (src/app/dialogs/CMakeLists.txt)"
#endif

AboutDialog::AboutDialog(bool sealingMode, QWidget* parent)
    : QDialog(parent), body_(new QLabel(this)) {
    setWindowTitle(QStringLiteral("About ") + programName(sealingMode));
    body_->setTextFormat(Qt::PlainText);
    body_->setText(programName(sealingMode) + QStringLiteral(" version ") + versionText() +
                   QStringLiteral("\n") +
                   (sealingMode ? QStringLiteral("Sealer mode: seals, unseals, recovers and "
                                                 "copies time ranges of recorded sessions.")
                                : QStringLiteral("Player mode: plays, searches, prints and "
                                                 "exports recorded sessions.")) +
                   QStringLiteral("\nFor archives of recorded proceedings: timed multi-channel "
                                  "audio, video and session records of annotations."));
    body_->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(body_);
    layout->addWidget(buttons);
    resize(380, sizeHint().height());
}

QString AboutDialog::versionText() {
    return QStringLiteral(GALEWICK_VERSION);
}

QString AboutDialog::programName(bool sealingMode) {
    return sealingMode ? QStringLiteral("Brindlemark") : QStringLiteral("Galewick");
}

QString AboutDialog::bodyText() const {
    return body_->text();
}
