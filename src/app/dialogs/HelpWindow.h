#pragma once

#include <QWidget>

class QTextBrowser;

// The user guide: our own HTML pages, compiled into the program, in a browser window with
// back, forward and contents. A top-level window even with a parent, which deletes it.
class HelpWindow final : public QWidget {
    Q_OBJECT

public:
    // The guide's first page.
    static constexpr const char* kHomePage = "qrc:/help/index.html";

    explicit HelpWindow(QWidget* parent = nullptr);
    HelpWindow(const HelpWindow&) = delete;
    HelpWindow& operator=(const HelpWindow&) = delete;

    // Shows the window on the home page (or on `anchor` of it) and raises it.
    void showGuide(const QString& anchor = QString());

    QTextBrowser& browser() const { return *browser_; }

private:
    QTextBrowser* browser_;
};
