#pragma once

#include <QDialog>

class QLineEdit;

// Dialog 142 "Search current session": the text to search the open session's annotations for,
// with the hint "Press F3 to find next". OK is enabled while the text is not empty.
class SearchSessionDialog final : public QDialog {
    Q_OBJECT

public:
    static constexpr int kDialogId = 142;

    explicit SearchSessionDialog(const QString& lastText, QWidget* parent = nullptr);
    SearchSessionDialog(const SearchSessionDialog&) = delete;
    SearchSessionDialog& operator=(const SearchSessionDialog&) = delete;

    QString text() const;
    QLineEdit& textEdit() const { return *edit_; }

private:
    QLineEdit* edit_;
};
