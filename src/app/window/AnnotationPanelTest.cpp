// The annotation list, its model and the panel with pop-up menu 145.
#include <QAction>
#include <QMenu>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>

#include "AnnotationListModel.h"
#include "AnnotationPanel.h"
#include "AnnotationTestSupport.h"
#include "SampleArchiveWriter.h"
#include "Win32_ListViewControl.h"

using AnnotationTestSupport::annotation;

namespace {

// 2010-03-15 00:00:00 UTC.
constexpr uint32_t kDay = 1268611200;

}  // namespace

class AnnotationPanelTest final : public QObject {
    Q_OBJECT

private slots:
    void rowsShowTheRecordersTextsOfAGeneratedRecord();
    void timesAreClockTimesOfTheLocation();
    void largeRecordsFillAndShowTheirLastRow();
    void followPlayPicksTheAnnotationInForce();
    void panelFollowsOnlyWithFollowPlayOn();
    void popupMenuCarriesItsIdsAndChecks();
    void doubleClickAsksForASeekToTheAnnotation();
    void reloadKeepsTheSelectionAndClearEmpties();
};

void AnnotationPanelTest::rowsShowTheRecordersTextsOfAGeneratedRecord() {
    // The sample writer formats its display texts itself; the list must show the same clock
    // times from the time stamps, in the location's zone.
    QTemporaryDir directory;
    SampleArchiveWriter::Settings settings;
    settings.locations = {"COURT1"};
    settings.channels = 1;
    settings.hours = 0.5;
    settings.video = false;
    settings.utcOffsetHours = -5;
    settings.startSecondOfDay = 11.5 * 3600;  // the session crosses noon
    settings.annotationsPerHour = 240;
    SampleArchiveWriter writer(settings);
    const std::string root = directory.filePath(QStringLiteral("root")).toStdString();
    QVERIFY2(writer.write(root), writer.errorText().c_str());
    JexSession record("COURT1", 2010, 3, 15);
    QCOMPARE(record.load(root + "/Databases"), JexSession::RecordState::kLoaded);
    const std::vector<JexAnnotation> notes = record.annotations();
    QVERIFY(notes.size() > 100);

    Win32_ListViewControl list;
    list.setAnnotations(notes, -5);
    AnnotationListModel& model = list.annotationModel();
    QCOMPARE(model.rowCount(), static_cast<int>(notes.size()));
    QCOMPARE(model.columnCount(), 3);
    QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("Time"));
    QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Speaker"));
    QCOMPARE(model.headerData(2, Qt::Horizontal).toString(), QStringLiteral("Event"));
    bool sawMorning = false;
    bool sawAfternoon = false;
    for (int row = 0; row < model.rowCount(); ++row) {
        const JexAnnotation& note = notes[static_cast<size_t>(row)];
        const QModelIndex time = model.index(row, AnnotationListModel::kTimeColumn);
        QCOMPARE(model.data(time).toString(), QString::fromStdString(note.displayTime()));
        QCOMPARE(model.data(model.index(row, AnnotationListModel::kSpeakerColumn)).toString(),
                 QString::fromStdString(note.labelData()));
        QCOMPARE(model.data(model.index(row, AnnotationListModel::kEventColumn)).toString(),
                 QString::fromStdString(note.event()));
        sawMorning |= note.displayTime().ends_with("AM");
        sawAfternoon |= note.displayTime().ends_with("PM");
    }
    QVERIFY(sawMorning && sawAfternoon);
    QCOMPARE(model.cellText(0, AnnotationListModel::kTimeColumn), QStringLiteral("11:30:00 AM"));
}

void AnnotationPanelTest::timesAreClockTimesOfTheLocation() {
    AnnotationListModel model;
    JexAnnotation unstamped = annotation(0, "Clerk", "No stamp");
    unstamped.setDisplayTimeText("10:11:12 AM");
    model.setAnnotations(
        {
            annotation(kDay + 5 * 3600, "Judge", "Midnight in New York"),     // 00:00 at -5
            annotation(kDay + 17 * 3600, "Judge", "Noon in New York"),        // 12:00 at -5
            annotation(kDay + 18 * 3600 + 1805, "Counsel", "Half past one"),  // 13:30:05
            annotation(kDay + 4 * 3600 + 59 * 60 + 59, "Judge", "Day before"),
            unstamped,
        },
        -5);
    QCOMPARE(model.cellText(0, 0), QStringLiteral("12:00:00 AM"));
    QCOMPARE(model.cellText(1, 0), QStringLiteral("12:00:00 PM"));
    QCOMPARE(model.cellText(2, 0), QStringLiteral("01:30:05 PM"));
    QCOMPARE(model.cellText(3, 0), QStringLiteral("11:59:59 PM"));
    QCOMPARE(model.cellText(4, 0), QStringLiteral("10:11:12 AM"));
    QCOMPARE(model.cellText(2, 1), QStringLiteral("Counsel"));
    QCOMPARE(model.cellText(5, 0), QString());
    QCOMPARE(model.cellText(0, 3), QString());
}

void AnnotationPanelTest::largeRecordsFillAndShowTheirLastRow() {
    std::vector<JexAnnotation> notes;
    constexpr int kCount = 50000;
    notes.reserve(kCount);
    for (int i = 0; i < kCount; ++i) {
        notes.push_back(annotation(kDay + 9 * 3600 + static_cast<uint32_t>(i), "Speaker",
                                   "Event number " + std::to_string(i)));
    }
    Win32_ListViewControl list;
    list.resize(400, 300);
    list.show();
    list.setAnnotations(std::move(notes), 0);
    QCOMPARE(list.rowCountIs(), kCount);
    QVERIFY(list.selectRow(kCount - 1));
    QCOMPARE(list.selectedRow(), kCount - 1);
    QCOMPARE(list.annotationModel().cellText(kCount - 1, 2), QStringLiteral("Event number 49999"));
    QCOMPARE(list.annotationModel().cellText(kCount - 1, 0), QStringLiteral("10:53:19 PM"));
    // The last row was scrolled into view.
    QVERIFY(list.viewport()->rect().intersects(
        list.visualRect(list.annotationModel().index(kCount - 1, 0))));
    QVERIFY(!list.selectRow(kCount));
    QVERIFY(list.selectRow(-1));
    QCOMPARE(list.selectedRow(), -1);
}

void AnnotationPanelTest::followPlayPicksTheAnnotationInForce() {
    // Record order is not time order; two annotations share a stamp; one has none.
    AnnotationListModel model;
    model.setAnnotations(
        {annotation(kDay + 300, "A", "third"), annotation(kDay + 100, "B", "first"),
         annotation(kDay + 200, "C", "second"), annotation(kDay + 200, "D", "second again"),
         annotation(0, "E", "no stamp")},
        0);
    QCOMPARE(model.rowAtOrBefore(kDay + 50.0), -1);  // before the first
    QCOMPARE(model.rowAtOrBefore(kDay + 100.0), 1);  // exact hit
    QCOMPARE(model.rowAtOrBefore(kDay + 99.999), -1);
    QCOMPARE(model.rowAtOrBefore(kDay + 150.5), 1);  // between
    QCOMPARE(model.rowAtOrBefore(kDay + 200.0), 3);  // equal stamps: the later row
    QCOMPARE(model.rowAtOrBefore(kDay + 299.0), 3);
    QCOMPARE(model.rowAtOrBefore(kDay + 300.0), 0);
    QCOMPARE(model.rowAtOrBefore(kDay + 86400.0), 0);  // after the last
    QCOMPARE(model.rowAtOrBefore(std::nan("")), -1);

    AnnotationListModel unstamped;
    unstamped.setAnnotations({annotation(0, "A", "none")}, 0);
    QCOMPARE(unstamped.rowAtOrBefore(kDay + 1e6), -1);
}

void AnnotationPanelTest::panelFollowsOnlyWithFollowPlayOn() {
    QTemporaryDir directory;
    auto record = AnnotationTestSupport::writeRecord(
        directory.path().toStdString(), "COURT1", 2010, 3, 15,
        {annotation(kDay + 100, "A", "one"), annotation(kDay + 200, "B", "two"),
         annotation(kDay + 300, "C", "three")});
    QVERIFY(record);
    AnnotationPanel panel;
    panel.setSession(record.get(), 0);
    QCOMPARE(panel.listView().rowCountIs(), 3);

    QSignalSpy followChanged(&panel, &AnnotationPanel::followPlayChanged);
    panel.followPosition(kDay + 250.0);
    QCOMPARE(panel.selectedIndex(), -1);  // follow-play is off
    panel.enableFollowPlayAction().trigger();
    QVERIFY(panel.followPlayEnabled());
    QCOMPARE(followChanged.count(), 1);
    panel.followPosition(kDay + 250.0);
    QCOMPARE(panel.selectedIndex(), 1);
    panel.followPosition(kDay + 300.0);
    QCOMPARE(panel.selectedIndex(), 2);
    panel.followPosition(kDay + 10.0);
    QCOMPARE(panel.selectedIndex(), -1);
    panel.followPosition(kDay + 100.0);
    QCOMPARE(panel.selectedIndex(), 0);
    panel.setFollowPlayEnabled(false);
    panel.followPosition(kDay + 300.0);
    QCOMPARE(panel.selectedIndex(), 0);
}

void AnnotationPanelTest::popupMenuCarriesItsIdsAndChecks() {
    QTemporaryDir directory;
    auto record = AnnotationTestSupport::writeRecord(
        directory.path().toStdString(), "COURT1", 2010, 3, 15,
        {annotation(kDay + 100, "A", "operator's note"),
         annotation(kDay + 200, "B", "recorder's note", "Recorder"),
         annotation(kDay + 300, "Session Copy", "Copy Started", "Session Copy")});
    QVERIFY(record);
    AnnotationPanel panel;
    panel.setSession(record.get(), 0);

    const QList<QAction*> actions = panel.popupMenu().actions();
    QCOMPARE(actions.size(), 3);
    QCOMPARE(actions[0]->text(), QStringLiteral("Edit Annotation"));
    QCOMPARE(actions[0]->data().toInt(), 32812);
    QCOMPARE(actions[1]->text(), QStringLiteral("Allow Annotation Edits"));
    QCOMPARE(actions[1]->data().toInt(), 32823);
    QCOMPARE(actions[2]->text(), QStringLiteral("Enable Follow Play"));
    QCOMPARE(actions[2]->data().toInt(), 32822);
    QVERIFY(!actions[0]->isCheckable());
    QVERIFY(actions[1]->isCheckable() && !actions[1]->isChecked());
    QVERIFY(actions[2]->isCheckable() && !actions[2]->isChecked());

    QSignalSpy allowed(&panel, &AnnotationPanel::annotationEditsAllowedChanged);
    QSignalSpy edit(&panel, &AnnotationPanel::editAnnotationRequested);
    panel.selectIndex(0);
    QVERIFY(!panel.editAnnotationAction().isEnabled());  // edits not allowed yet
    panel.editAnnotationAction().trigger();
    QCOMPARE(edit.count(), 0);

    panel.allowAnnotationEditsAction().trigger();
    QCOMPARE(allowed.count(), 1);
    QCOMPARE(allowed.takeFirst().at(0).toBool(), true);
    QVERIFY(panel.annotationEditsAllowed());
    QVERIFY(panel.editAnnotationAction().isEnabled());
    panel.editAnnotationAction().trigger();
    QCOMPARE(edit.count(), 1);
    QCOMPARE(edit.takeFirst().at(0).toInt(), 0);

    // The recorder's own entries and the copy markers are not edited.
    panel.selectIndex(1);
    QVERIFY(!panel.editAnnotationAction().isEnabled());
    panel.selectIndex(2);
    QVERIFY(!panel.editAnnotationAction().isEnabled());
    panel.selectIndex(-1);
    QVERIFY(!panel.editAnnotationAction().isEnabled());

    panel.allowAnnotationEditsAction().trigger();
    QCOMPARE(allowed.count(), 1);
    QCOMPARE(allowed.takeFirst().at(0).toBool(), false);
    panel.selectIndex(0);
    QVERIFY(!panel.editAnnotationAction().isEnabled());
}

void AnnotationPanelTest::doubleClickAsksForASeekToTheAnnotation() {
    QTemporaryDir directory;
    auto record = AnnotationTestSupport::writeRecord(
        directory.path().toStdString(), "COURT1", 2010, 3, 15,
        {annotation(kDay + 100, "A", "stamped"), annotation(0, "B", "without a stamp")});
    QVERIFY(record);
    AnnotationPanel panel;
    panel.resize(500, 300);
    panel.setSession(record.get(), 0);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    QSignalSpy seek(&panel, &AnnotationPanel::seekRequested);
    Win32_ListViewControl& list = panel.listView();
    const QRect first = list.visualRect(list.annotationModel().index(0, 2));
    // A double-click is a press and release followed by a second press that comes as a
    // double-click event.
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, first.center());
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, first.center());
    QCOMPARE(seek.count(), 1);
    QCOMPARE(seek.takeFirst().at(0).toDouble(), double(kDay + 100));
    // Enter on the selected row does the same.
    list.setFocus();
    QTest::keyClick(&list, Qt::Key_Return);
    QCOMPARE(seek.count(), 1);
    QCOMPARE(seek.takeFirst().at(0).toDouble(), double(kDay + 100));
    // A single click only selects; a row without a stamp has nowhere to go.
    const QRect second = list.visualRect(list.annotationModel().index(1, 2));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, second.center());
    QCOMPARE(panel.selectedIndex(), 1);
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, second.center());
    QTest::keyClick(&list, Qt::Key_Return);
    QCOMPARE(seek.count(), 0);
}

void AnnotationPanelTest::reloadKeepsTheSelectionAndClearEmpties() {
    QTemporaryDir directory;
    auto record = AnnotationTestSupport::writeRecord(
        directory.path().toStdString(), "COURT1", 2010, 3, 15,
        {annotation(kDay + 100, "A", "one"), annotation(kDay + 200, "B", "two")});
    QVERIFY(record);
    AnnotationPanel panel;
    panel.setSession(record.get(), 0);
    panel.selectIndex(1);
    record->addAnnotation(annotation(kDay + 300, "C", "three"));
    panel.reload();
    QCOMPARE(panel.listView().rowCountIs(), 3);
    QCOMPARE(panel.selectedIndex(), 1);
    QCOMPARE(panel.listView().annotationModel().cellText(2, 2), QStringLiteral("three"));
    panel.clear();
    QCOMPARE(panel.record(), nullptr);
    QCOMPARE(panel.listView().rowCountIs(), 0);
    QCOMPARE(panel.selectedIndex(), -1);
    panel.setSession(nullptr, 0);
    QCOMPARE(panel.listView().rowCountIs(), 0);
}

QTEST_MAIN(AnnotationPanelTest)
#include "AnnotationPanelTest.moc"
