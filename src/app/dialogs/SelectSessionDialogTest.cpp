#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTreeView>
#include <filesystem>

#include "SampleArchiveWriter.h"
#include "SelectSessionDialog.h"
#include "TemporaryDirectory.h"

namespace {

// Writes a short archive at `root`: two locations on two days, two channels, no video.
bool writeArchive(const std::string& root, std::vector<std::string> locations) {
    SampleArchiveWriter::Settings settings;
    settings.locations = std::move(locations);
    settings.dates = {SampleArchiveWriter::Date{2010, 3, 15},
                      SampleArchiveWriter::Date{2011, 12, 1}};
    settings.channels = 2;
    settings.hours = 0.02;
    settings.fileMinutes = 0.5;
    settings.video = false;
    settings.annotationsPerHour = 0;
    SampleArchiveWriter writer(settings);
    if (!writer.write(root)) {
        qWarning("%s", writer.errorText().c_str());
        return false;
    }
    return true;
}

QStringList texts(const QListWidget& list) {
    QStringList result;
    for (int row = 0; row < list.count(); ++row) {
        result << list.item(row)->text();
    }
    return result;
}

template <typename T>
T* child(QWidget& parent, const char* name) {
    T* found = parent.findChild<T*>(name);
    if (found == nullptr) {
        qFatal("no child %s", name);
    }
    return found;
}

QPushButton* okButton(QWidget& dialog) {
    return dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
}

}  // namespace

class SelectSessionDialogTest final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(directory_.isValid());
        // The home directory heads the places and roots the tree.
        qputenv("HOME", QByteArray::fromStdString(directory_.path()));
        std::filesystem::create_directories(directory_.file("archives"));
        std::filesystem::create_directories(directory_.file("plain/folder"));
        QVERIFY(writeArchive(directory_.file("archives/first"), {"COURT1", "COURT2"}));
        QVERIFY(writeArchive(directory_.file("archives/second"), {"HEARING"}));
    }

    // Locations of the browse location, then the dates of the chosen one; OK returns them.
    void choosesALocationAndADate() {
        const std::string root = directory_.file("archives/first");
        SelectSessionDialog dialog(root);
        dialog.show();
        QCOMPARE(dialog.windowTitle(), QString("Select Session"));
        QCOMPARE(child<QLineEdit>(dialog, "browseLocationEdit")->text(),
                 QString::fromStdString(root));
        auto* locations = child<QListWidget>(dialog, "locationList");
        auto* dates = child<QListWidget>(dialog, "dateList");
        QCOMPARE(texts(*locations), (QStringList{"COURT1", "COURT2"}));
        QCOMPARE(dates->count(), 0);
        QVERIFY(!okButton(dialog)->isEnabled());

        locations->setCurrentRow(1);
        QCOMPARE(texts(*dates), (QStringList{"03/15/2010", "12/01/2011"}));
        QVERIFY(!okButton(dialog)->isEnabled());
        dates->setCurrentRow(1);
        QVERIFY(okButton(dialog)->isEnabled());
        QTest::mouseClick(okButton(dialog), Qt::LeftButton);

        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.choice().browseLocation, root);
        QCOMPARE(dialog.choice().location, std::string("COURT2"));
        QCOMPARE(dialog.choice().year, 2011);
        QCOMPARE(dialog.choice().month, 12);
        QCOMPARE(dialog.choice().day, 1);
    }

    // Several roots, and a folder holding archives, list the locations of all of them.
    void severalArchives() {
        SelectSessionDialog parent(directory_.file("archives"));
        QCOMPARE(texts(*child<QListWidget>(parent, "locationList")),
                 (QStringList{"COURT1", "COURT2", "HEARING"}));

        // "Browse..." chooses the folder to list.
        QString startedAt;
        parent.setFolderChooser([&](QWidget*, const QString& start) {
            startedAt = start;
            return QString::fromStdString(directory_.file("archives/second"));
        });
        QTest::mouseClick(child<QPushButton>(parent, "browseButton"), Qt::LeftButton);
        QCOMPARE(startedAt, QString::fromStdString(directory_.file("archives")));
        QCOMPARE(parent.browseLocation(), directory_.file("archives/second"));
        QCOMPARE(texts(*child<QListWidget>(parent, "locationList")), QStringList{"HEARING"});

        SelectSessionDialog both(directory_.file("archives/second") + ";" +
                                 directory_.file("archives/first"));
        auto* locations = child<QListWidget>(both, "locationList");
        QCOMPARE(texts(*locations), (QStringList{"HEARING", "COURT1", "COURT2"}));
        locations->setCurrentRow(0);
        QCOMPARE(texts(*child<QListWidget>(both, "dateList")),
                 (QStringList{"03/15/2010", "12/01/2011"}));
    }

    // Choosing a folder in the tree makes it the browse location and refills the lists.
    void folderTreeRefills() {
        SelectSessionDialog dialog(directory_.file("plain"));
        dialog.show();
        QVERIFY(child<QListWidget>(dialog, "locationList")->count() == 0);
        QVERIFY(!child<QLabel>(dialog, "statusLabel")->text().isEmpty());
        QCOMPARE(child<QComboBox>(dialog, "placesCombo")->currentText(),
                 QString::fromStdString(directory_.path()));

        auto* tree = child<QTreeView>(dialog, "folderTree");
        auto* model = qobject_cast<QFileSystemModel*>(tree->model());
        QVERIFY(model != nullptr);
        QCOMPARE(model->filePath(tree->rootIndex()), QString::fromStdString(directory_.path()));
        const QModelIndex first =
            model->index(QString::fromStdString(directory_.file("archives/first")));
        QVERIFY(first.isValid());
        tree->setCurrentIndex(first);
        QCOMPARE(dialog.browseLocation(), directory_.file("archives/first"));
        QCOMPARE(texts(*child<QListWidget>(dialog, "locationList")),
                 (QStringList{"COURT1", "COURT2"}));
        QVERIFY(child<QLabel>(dialog, "statusLabel")->text().isEmpty());

        // The files of a folder are not shown, only its folders.
        tree->expand(first);
        QTRY_VERIFY(model->rowCount(first) > 0);
        for (int row = 0; row < model->rowCount(first); ++row) {
            QVERIFY(model->isDir(model->index(row, 0, first)));
        }
    }

    // An empty path disables OK, even with a location and a date chosen before.
    void emptyPathDisablesOk() {
        SelectSessionDialog dialog(directory_.file("archives/first"));
        dialog.show();
        child<QListWidget>(dialog, "locationList")->setCurrentRow(0);
        child<QListWidget>(dialog, "dateList")->setCurrentRow(0);
        QVERIFY(okButton(dialog)->isEnabled());

        auto* edit = child<QLineEdit>(dialog, "browseLocationEdit");
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        QVERIFY(!okButton(dialog)->isEnabled());
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(child<QListWidget>(dialog, "locationList")->count(), 0);
        QVERIFY(!okButton(dialog)->isEnabled());
        dialog.accept();  // refused without a choice
        QCOMPARE(dialog.result(), 0);
        QVERIFY(dialog.isVisible());

        // Typing a path and pressing Return lists its archive.
        QTest::keyClicks(edit, QString::fromStdString(directory_.file("archives/second")));
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(texts(*child<QListWidget>(dialog, "locationList")), QStringList{"HEARING"});

        SelectSessionDialog empty("");
        QCOMPARE(child<QListWidget>(empty, "locationList")->count(), 0);
        QVERIFY(!okButton(empty)->isEnabled());
    }

    void placesStartAtHome() {
        const std::vector<QString> places = SelectSessionDialog::places();
        QVERIFY(places.size() >= 2);
        QCOMPARE(places.front(), QString::fromStdString(directory_.path()));
        QVERIFY(std::find(places.begin(), places.end(), QString("/")) != places.end());
        for (size_t i = 0; i < places.size(); ++i) {
            QVERIFY(!places[i].startsWith("/proc") && !places[i].startsWith("/sys"));
            QCOMPARE(std::count(places.begin(), places.end(), places[i]), 1);
        }
    }

private:
    TemporaryDirectory directory_{"galewick-select-"};
};

QTEST_MAIN(SelectSessionDialogTest)
#include "SelectSessionDialogTest.moc"
