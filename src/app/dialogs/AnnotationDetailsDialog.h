#pragma once

#include <QDialog>
#include <functional>

#include "AnnotationRecordEditor.h"
#include "JexAnnotation.h"

class JexSession;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QTimeEdit;

// Dialog 144 "Annotation Details": shows one annotation of the open session's record and edits
// its time (the location's clock time on the annotation's day), speaker, label title and
// event. OK saves the record (AnnotationRecordEditor) and closes the dialog; when the record
// refuses the save (another program changed the file since it was read, or it cannot be
// written) the reason is shown, the dialog stays open with the user's edit, and the next OK
// reads the record again before saving, so the edit can be retried without losing either the
// user's edit or the other program's changes.
//
// The record is not owned and must outlive the dialog. User-interface thread only.
class AnnotationDetailsDialog final : public QDialog {
    Q_OBJECT

public:
    static constexpr int kDialogId = 144;

    // Shows `annotation`, annotation `index` of `record` as the list showed it (the edit is
    // applied to the record's annotation equal to it, wherever it is by then); `offsetHours`
    // gives the location's clock time.
    AnnotationDetailsDialog(JexSession& record, size_t index, const JexAnnotation& annotation,
                            int offsetHours, QWidget* parent = nullptr);
    AnnotationDetailsDialog(const AnnotationDetailsDialog&) = delete;
    AnnotationDetailsDialog& operator=(const AnnotationDetailsDialog&) = delete;

    // Shows (caption, text) to the user; a warning box unless replaced (tests).
    using MessagePresenter = std::function<void(const QString& caption, const QString& text)>;
    void setMessagePresenter(MessagePresenter presenter);

    // The annotation with the dialog's fields applied.
    JexAnnotation editedAnnotation() const;
    const JexAnnotation& originalAnnotation() const { return original_; }
    // Saves as OK does, without closing: the result of the last attempt.
    AnnotationRecordEditor::Result save();
    // The record's index of the annotation after the last successful save.
    size_t savedIndex() const { return index_; }

    QLineEdit& speakerEdit() const { return *speaker_; }
    QLineEdit& labelTitleEdit() const { return *labelTitle_; }
    QPlainTextEdit& eventEdit() const { return *event_; }
    QTimeEdit& timeEdit() const { return *time_; }

    void accept() override;

private:
    void fill();

    JexSession& record_;
    size_t index_;
    int offsetHours_;
    JexAnnotation original_;
    bool rereadBeforeSave_ = false;
    MessagePresenter presenter_;
    QLabel* user_;
    QLabel* date_;
    QTimeEdit* time_;
    QLineEdit* speaker_;
    QLineEdit* labelTitle_;
    QPlainTextEdit* event_;
};
