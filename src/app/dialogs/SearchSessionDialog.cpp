#include "SearchSessionDialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

SearchSessionDialog::SearchSessionDialog(const QString& lastText, QWidget* parent)
    : QDialog(parent), edit_(new QLineEdit(lastText, this)) {
    setWindowTitle(QStringLiteral("Search current session"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Text to search:"), this));
    layout->addWidget(edit_);
    layout->addWidget(new QLabel(QStringLiteral("Press F3 to find next"), this));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    ok->setEnabled(!lastText.isEmpty());
    connect(edit_, &QLineEdit::textChanged, ok,
            [ok](const QString& text) { ok->setEnabled(!text.isEmpty()); });
    edit_->selectAll();
    resize(340, sizeHint().height());
}

QString SearchSessionDialog::text() const {
    return edit_->text();
}
