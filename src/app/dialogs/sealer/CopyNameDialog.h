#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

// "Enter copy name": the name of the copied session data (1005), joined to the "Save in"
// directory. OK is enabled only for a name that is a single path component. User-interface
// thread only.
class CopyNameDialog final : public QDialog {
    Q_OBJECT

public:
    explicit CopyNameDialog(QWidget* parent = nullptr);
    ~CopyNameDialog() override;
    CopyNameDialog(const CopyNameDialog&) = delete;
    CopyNameDialog& operator=(const CopyNameDialog&) = delete;

    // The name as typed, without surrounding blanks.
    QString name() const;
    // True for a name that makes one directory: not empty, not "." or "..", without "/".
    static bool isUsableName(const QString& name);

    QLineEdit* nameEdit() const { return name_; }
    QPushButton* okButton() const { return ok_; }

private:
    QLineEdit* name_;
    QPushButton* ok_;
};
