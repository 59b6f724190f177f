#include "AnnotationListModel.h"

#include <algorithm>
#include <cmath>

#include "ClockTimeText.h"

AnnotationListModel::AnnotationListModel(QObject* parent) : QAbstractTableModel(parent) {}

void AnnotationListModel::setAnnotations(std::vector<JexAnnotation> annotations, int offsetHours) {
    beginResetModel();
    annotations_ = std::move(annotations);
    offsetHours_ = offsetHours;
    rowsByTime_.clear();
    rowsByTime_.reserve(annotations_.size());
    for (size_t row = 0; row < annotations_.size(); ++row) {
        if (const WallClockTime* stamp = annotations_[row].timeStamp()) {
            rowsByTime_.emplace_back(stamp->asUtcSeconds(), static_cast<int>(row));
        }
    }
    // Records are usually in time order already; stable_sort keeps equal stamps in row order.
    std::stable_sort(rowsByTime_.begin(), rowsByTime_.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    endResetModel();
}

void AnnotationListModel::clear() {
    setAnnotations({}, offsetHours_);
}

int AnnotationListModel::rowAtOrBefore(double epochSeconds) const {
    if (std::isnan(epochSeconds)) {
        return -1;
    }
    // The first entry after the time; the one before it is the annotation in force.
    const auto after = std::upper_bound(
        rowsByTime_.begin(), rowsByTime_.end(), epochSeconds,
        [](double seconds, const std::pair<double, int>& entry) { return seconds < entry.first; });
    if (after == rowsByTime_.begin()) {
        return -1;
    }
    return std::prev(after)->second;
}

QString AnnotationListModel::cellText(int row, int column) const {
    if (row < 0 || static_cast<size_t>(row) >= annotations_.size()) {
        return {};
    }
    const JexAnnotation& annotation = annotations_[static_cast<size_t>(row)];
    switch (column) {
        case kTimeColumn:
            if (const WallClockTime* stamp = annotation.timeStamp()) {
                return QString::fromStdString(
                    ClockTimeText::twelveHour(stamp->asUtcSeconds(), offsetHours_));
            }
            return QString::fromStdString(annotation.displayTime());
        case kSpeakerColumn:
            return QString::fromStdString(annotation.labelData());
        case kEventColumn:
            return QString::fromStdString(annotation.event());
        default:
            return {};
    }
}

int AnnotationListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(annotations_.size());
}

int AnnotationListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant AnnotationListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        return cellText(index.row(), index.column());
    }
    if (role == Qt::ToolTipRole && index.column() == kEventColumn) {
        // Long events are cut by the column; the tool tip shows them whole.
        return cellText(index.row(), index.column());
    }
    return {};
}

QVariant AnnotationListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return {};
    }
    switch (section) {
        case kTimeColumn:
            return QStringLiteral("Time");
        case kSpeakerColumn:
            return QStringLiteral("Speaker");
        case kEventColumn:
            return QStringLiteral("Event");
        default:
            return {};
    }
}
