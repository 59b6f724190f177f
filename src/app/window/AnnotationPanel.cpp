#include "AnnotationPanel.h"

#include <QAction>
#include <QItemSelectionModel>
#include <QMenu>
#include <QVBoxLayout>

#include "AnnotationListModel.h"
#include "AnnotationRecordEditor.h"
#include "JexSession.h"
#include "Win32_ListViewControl.h"

namespace {

QAction* checkableAction(QMenu& menu, const QString& text, int commandId) {
    QAction* action = menu.addAction(text);
    action->setData(commandId);
    return action;
}

}  // namespace

AnnotationPanel::AnnotationPanel(QWidget* parent)
    : QWidget(parent),
      list_(new Win32_ListViewControl(this)),
      menu_(new QMenu(this)),
      editAction_(
          checkableAction(*menu_, QStringLiteral("Edit Annotation"), kEditAnnotationCommand)),
      allowEditsAction_(checkableAction(*menu_, QStringLiteral("Allow Annotation Edits"),
                                        kAllowAnnotationEditsCommand)),
      followPlayAction_(
          checkableAction(*menu_, QStringLiteral("Enable Follow Play"), kEnableFollowPlayCommand)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(list_);
    allowEditsAction_->setCheckable(true);
    followPlayAction_->setCheckable(true);
    editAction_->setEnabled(false);

    connect(list_, &QWidget::customContextMenuRequested, this, &AnnotationPanel::showPopupMenu);
    connect(list_, &Win32_ListViewControl::rowActivated, this, &AnnotationPanel::rowActivated);
    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { updateEditEnabled(); });
    connect(editAction_, &QAction::triggered, this, [this] {
        const int index = selectedIndex();
        if (index >= 0 && annotationEditsAllowed()) {
            emit editAnnotationRequested(index);
        }
    });
    connect(allowEditsAction_, &QAction::toggled, this, [this](bool on) {
        updateEditEnabled();
        emit annotationEditsAllowedChanged(on);
    });
    connect(followPlayAction_, &QAction::toggled, this,
            [this](bool on) { emit followPlayChanged(on); });
}

AnnotationPanel::~AnnotationPanel() = default;

void AnnotationPanel::setSession(JexSession* record, int offsetHours) {
    record_ = record;
    offsetHours_ = offsetHours;
    list_->setAnnotations(
        record_ != nullptr ? record_->annotations() : std::vector<JexAnnotation>{}, offsetHours_);
    updateEditEnabled();
}

void AnnotationPanel::clear() {
    setSession(nullptr, offsetHours_);
}

void AnnotationPanel::reload() {
    const int selected = selectedIndex();
    list_->setAnnotations(
        record_ != nullptr ? record_->annotations() : std::vector<JexAnnotation>{}, offsetHours_);
    if (selected >= 0 && selected < list_->rowCountIs()) {
        list_->selectRow(selected);
    }
    updateEditEnabled();
}

void AnnotationPanel::followPosition(double epochSeconds) {
    if (!followPlayEnabled()) {
        return;
    }
    const int row = list_->annotationModel().rowAtOrBefore(epochSeconds);
    if (row != list_->selectedRow()) {
        list_->selectRow(row);
    }
}

bool AnnotationPanel::followPlayEnabled() const {
    return followPlayAction_->isChecked();
}

void AnnotationPanel::setFollowPlayEnabled(bool on) {
    followPlayAction_->setChecked(on);
}

bool AnnotationPanel::annotationEditsAllowed() const {
    return allowEditsAction_->isChecked();
}

void AnnotationPanel::setAnnotationEditsAllowed(bool on) {
    allowEditsAction_->setChecked(on);
}

int AnnotationPanel::selectedIndex() const {
    return list_->selectedRow();
}

bool AnnotationPanel::selectIndex(int index) {
    return list_->selectRow(index);
}

void AnnotationPanel::showPopupMenu(const QPoint& position) {
    updateEditEnabled();
    menu_->popup(list_->viewport()->mapToGlobal(position));
}

void AnnotationPanel::updateEditEnabled() {
    const int row = selectedIndex();
    const auto& annotations = list_->annotationModel().annotations();
    editAction_->setEnabled(
        annotationEditsAllowed() && row >= 0 && static_cast<size_t>(row) < annotations.size() &&
        AnnotationRecordEditor::isEditable(annotations[static_cast<size_t>(row)]));
}

void AnnotationPanel::rowActivated(int row) {
    const auto& annotations = list_->annotationModel().annotations();
    if (row < 0 || static_cast<size_t>(row) >= annotations.size()) {
        return;
    }
    if (const WallClockTime* stamp = annotations[static_cast<size_t>(row)].timeStamp()) {
        emit seekRequested(stamp->asUtcSeconds());
    }
}
