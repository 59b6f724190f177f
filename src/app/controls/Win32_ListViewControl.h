#pragma once

#include <QTreeView>
#include <vector>

#include "JexAnnotation.h"

class AnnotationListModel;

// The annotation list of the main window: a flat list view with the columns "Time", "Speaker"
// and "Event" over an AnnotationListModel (rows in record order), one row selected at a time.
// Used on the user-interface thread only.
class Win32_ListViewControl final : public QTreeView {
    Q_OBJECT

public:
    explicit Win32_ListViewControl(QWidget* parent = nullptr);
    Win32_ListViewControl(const Win32_ListViewControl&) = delete;
    Win32_ListViewControl& operator=(const Win32_ListViewControl&) = delete;

    // Replaces the rows; the selection is cleared.
    void setAnnotations(std::vector<JexAnnotation> annotations, int offsetHours);
    void clear();

    AnnotationListModel& annotationModel() const { return *model_; }
    int rowCountIs() const;

    // Selects and shows row `row`; -1 clears the selection. False when out of range.
    bool selectRow(int row);
    // The selected row, or -1.
    int selectedRow() const;

signals:
    // A row was double-clicked (or Enter pressed on it).
    void rowActivated(int row);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    AnnotationListModel* model_;
};
