#include "CopyNameDialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

CopyNameDialog::CopyNameDialog(QWidget* parent) : QDialog(parent), name_(new QLineEdit(this)) {
    setWindowTitle(QStringLiteral("Enter copy name"));
    name_->setObjectName(QStringLiteral("1005"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    ok_->setEnabled(false);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(
        new QLabel(QStringLiteral("Please enter the name for the copied session data:"), this));
    layout->addWidget(name_);
    layout->addWidget(buttons);
    connect(name_, &QLineEdit::textChanged, this,
            [this] { ok_->setEnabled(isUsableName(name())); });
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (isUsableName(name())) {
            accept();
        }
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

CopyNameDialog::~CopyNameDialog() = default;

QString CopyNameDialog::name() const {
    return name_->text().trimmed();
}

bool CopyNameDialog::isUsableName(const QString& name) {
    return !name.isEmpty() && name != QStringLiteral(".") && name != QStringLiteral("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
}
