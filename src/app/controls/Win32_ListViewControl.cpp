#include "Win32_ListViewControl.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>

#include "AnnotationListModel.h"

Win32_ListViewControl::Win32_ListViewControl(QWidget* parent)
    : QTreeView(parent), model_(new AnnotationListModel(this)) {
    setModel(model_);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    // Every row is one line high: the view never measures the rows of a large record.
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTextElideMode(Qt::ElideRight);
    setContextMenuPolicy(Qt::CustomContextMenu);
    header()->setStretchLastSection(true);
    header()->setSectionsMovable(false);
    setColumnWidth(AnnotationListModel::kTimeColumn, 100);
    setColumnWidth(AnnotationListModel::kSpeakerColumn, 130);
    // Not activated(): some desktops activate on a single click, which would seek on every
    // selection.
    connect(this, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex& index) { emit rowActivated(index.row()); });
}

void Win32_ListViewControl::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && selectedRow() >= 0) {
        emit rowActivated(selectedRow());
        return;
    }
    QTreeView::keyPressEvent(event);
}

void Win32_ListViewControl::setAnnotations(std::vector<JexAnnotation> annotations,
                                           int offsetHours) {
    model_->setAnnotations(std::move(annotations), offsetHours);
}

void Win32_ListViewControl::clear() {
    model_->clear();
}

int Win32_ListViewControl::rowCountIs() const {
    return model_->rowCount();
}

bool Win32_ListViewControl::selectRow(int row) {
    if (row < 0) {
        selectionModel()->clearSelection();
        return row == -1;
    }
    if (row >= model_->rowCount()) {
        return false;
    }
    const QModelIndex index = model_->index(row, 0);
    selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(index);
    return true;
}

int Win32_ListViewControl::selectedRow() const {
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.front().row();
}
