#pragma once

#include <QAbstractTableModel>
#include <utility>
#include <vector>

#include "JexAnnotation.h"

// The annotations of one session record as three columns, "Time", "Speaker" and "Event", in
// record order (row N is annotation N of the record). Texts are made when a view asks for them,
// so a record of tens of thousands of annotations fills at once.
//
// Time: the annotation's time stamp as a clock time of the session's location
// ("%.2d:%.2d:%.2d AM|PM"), or the display time the recorder wrote when there is no stamp.
// Speaker: the label data. Event: the event text.
//
// Used on the user-interface thread only.
class AnnotationListModel final : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { kTimeColumn = 0, kSpeakerColumn = 1, kEventColumn = 2, kColumnCount = 3 };

    explicit AnnotationListModel(QObject* parent = nullptr);
    AnnotationListModel(const AnnotationListModel&) = delete;
    AnnotationListModel& operator=(const AnnotationListModel&) = delete;

    // Replaces every row. `offsetHours` turns UTC time stamps into the location's clock time.
    void setAnnotations(std::vector<JexAnnotation> annotations, int offsetHours);
    void clear();

    const std::vector<JexAnnotation>& annotations() const { return annotations_; }
    int offsetHours() const { return offsetHours_; }

    // The row of the annotation in force at `epochSeconds`: of the annotations with a time stamp
    // at or before it, the one with the latest stamp (the later row among equal stamps).
    // -1 when every stamped annotation lies after it, or none has a stamp.
    int rowAtOrBefore(double epochSeconds) const;

    // The text a cell shows (the Qt::DisplayRole of data()).
    QString cellText(int row, int column) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    std::vector<JexAnnotation> annotations_;
    int offsetHours_ = 0;
    // (UTC seconds, row) of every stamped annotation, sorted: follow-play looks up by time.
    std::vector<std::pair<double, int>> rowsByTime_;
};
