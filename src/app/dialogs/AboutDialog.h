#pragma once

#include <QDialog>

class QLabel;

// Dialog 103 "About": the program's name in its mode ("Galewick", or "Brindlemark" in sealer
// mode), the version of the build and what the program is for.
class AboutDialog final : public QDialog {
    Q_OBJECT

public:
    static constexpr int kDialogId = 103;

    explicit AboutDialog(bool sealingMode, QWidget* parent = nullptr);
    AboutDialog(const AboutDialog&) = delete;
    AboutDialog& operator=(const AboutDialog&) = delete;

    // The version of this build ("0.1.0").
    static QString versionText();
    // "Galewick" or "Brindlemark".
    static QString programName(bool sealingMode);
    // Everything the dialog says, as plain text.
    QString bodyText() const;

private:
    QLabel* body_;
};
