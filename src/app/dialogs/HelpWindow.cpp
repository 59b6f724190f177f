#include "HelpWindow.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

// The guide's pages live in a static library: their resource must be registered by a call.
static void registerGuidePages() {
    Q_INIT_RESOURCE(help);
}

HelpWindow::HelpWindow(QWidget* parent)
    : QWidget(parent, Qt::Window), browser_(new QTextBrowser(this)) {
    registerGuidePages();
    setWindowTitle(QStringLiteral("User Guide"));
    browser_->setOpenExternalLinks(true);
    browser_->setSource(QUrl(QString::fromLatin1(kHomePage)));
    auto* back = new QPushButton(QStringLiteral("Back"), this);
    auto* forward = new QPushButton(QStringLiteral("Forward"), this);
    auto* home = new QPushButton(QStringLiteral("Contents"), this);
    back->setEnabled(false);
    forward->setEnabled(false);
    connect(back, &QPushButton::clicked, browser_, &QTextBrowser::backward);
    connect(forward, &QPushButton::clicked, browser_, &QTextBrowser::forward);
    connect(home, &QPushButton::clicked, browser_, &QTextBrowser::home);
    connect(browser_, &QTextBrowser::backwardAvailable, back, &QWidget::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forward, &QWidget::setEnabled);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(back);
    buttons->addWidget(forward);
    buttons->addWidget(home);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(browser_);
    resize(720, 640);
}

void HelpWindow::showGuide(const QString& anchor) {
    if (anchor.isEmpty()) {
        browser_->setSource(QUrl(QString::fromLatin1(kHomePage)));
    } else {
        QUrl url(QString::fromLatin1(kHomePage));
        url.setFragment(anchor);
        browser_->setSource(url);
    }
    show();
    raise();
    activateWindow();
}
