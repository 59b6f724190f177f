#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "ConfigurationDialog.h"

namespace {

GalewickConfiguration sampleConfiguration() {
    GalewickConfiguration configuration;
    configuration.configuredRootPath = "/srv/archive";
    configuration.browseLocation = "/srv/archive;/mnt/other";
    configuration.meterRefreshIntervalMilliseconds = 40;
    configuration.stayOnTop = false;
    configuration.autoRefresh = true;
    configuration.rewindSeconds = 15;
    configuration.rewindSecondsSet = true;
    configuration.windowX = 12;
    return configuration;
}

template <typename T>
T* child(QWidget& parent, const char* name) {
    T* found = parent.findChild<T*>(name);
    if (found == nullptr) {
        qFatal("no child %s", name);
    }
    return found;
}

void click(ConfigurationDialog& dialog, QDialogButtonBox::StandardButton which) {
    QPushButton* button = dialog.findChild<QDialogButtonBox*>()->button(which);
    QVERIFY(button != nullptr);
    QTest::mouseClick(button, Qt::LeftButton);
}

}  // namespace

class ConfigurationDialogTest final : public QObject {
    Q_OBJECT

private slots:
    // The controls show the settings with the dialog's own texts.
    void opensWithTheSettings() {
        ConfigurationDialog dialog(sampleConfiguration());
        QCOMPARE(dialog.windowTitle(), QString("Configuration"));
        QCOMPARE(child<QLineEdit>(dialog, "browseLocationEdit")->text(), QString("/srv/archive"));
        QCOMPARE(child<QLineEdit>(dialog, "refreshRateEdit")->text(), QString("40"));
        QVERIFY(!child<QCheckBox>(dialog, "stayOnTopCheck")->isChecked());
        QVERIFY(child<QCheckBox>(dialog, "autoRefreshCheck")->isChecked());
        QCOMPARE(child<QCheckBox>(dialog, "stayOnTopCheck")->text(), QString("Always on top"));
        QCOMPARE(child<QCheckBox>(dialog, "autoRefreshCheck")->text(),
                 QString("Refresh content from a live recording"));
        QCOMPARE(child<QPushButton>(dialog, "browseButton")->text(), QString("Browse..."));
        QStringList labels;
        for (const QLabel* label : dialog.findChildren<QLabel*>()) {
            labels << label->text();
        }
        for (const char* text : {"Default Browse Location :", "Live Media Refresh Rate : ",
                                 "Milliseconds", "Rewind on Play (seconds):", "Pedal Positions:"}) {
            QVERIFY2(labels.contains(text), text);
        }
        QCOMPARE(dialog.findChild<QGroupBox*>()->title(), QString("Pedal Control Configuration"));
        QCOMPARE(dialog.findChildren<QRadioButton*>().size(), 3);
    }

    // OK takes the edited values; the other settings pass through untouched.
    void okTakesTheEdits() {
        ConfigurationDialog dialog(sampleConfiguration());
        dialog.show();
        QLineEdit* root = child<QLineEdit>(dialog, "browseLocationEdit");
        root->clear();
        QTest::keyClicks(root, "/data/new archive");
        QLineEdit* rate = child<QLineEdit>(dialog, "refreshRateEdit");
        rate->clear();
        QTest::keyClicks(rate, "75");
        QTest::keyClick(child<QCheckBox>(dialog, "stayOnTopCheck"), Qt::Key_Space);
        QTest::keyClick(child<QCheckBox>(dialog, "autoRefreshCheck"), Qt::Key_Space);
        // The pedal group is inert.
        child<QLineEdit>(dialog, "rewindOnPlayEdit")->setText("9");
        click(dialog, QDialogButtonBox::Ok);

        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        const GalewickConfiguration& edited = dialog.configuration();
        QCOMPARE(edited.configuredRootPath, std::string("/data/new archive"));
        QCOMPARE(edited.browseLocation, std::string("/data/new archive"));
        QCOMPARE(edited.meterRefreshIntervalMilliseconds, 75u);
        QVERIFY(edited.stayOnTop);
        QVERIFY(!edited.autoRefresh);
        QVERIFY(!dialog.autoRefreshOn());
        QVERIFY(dialog.autoRefreshChanged());
        QCOMPARE(edited.rewindSeconds, 15);
        QVERIFY(edited.rewindSecondsSet);
        QCOMPARE(edited.windowX, 12);
    }

    // OK with auto refresh left as it was still says whether refresh runs.
    void okReportsAutoRefreshEvenUnchanged() {
        GalewickConfiguration off = sampleConfiguration();
        off.autoRefresh = false;
        ConfigurationDialog dialog(off);
        dialog.show();
        click(dialog, QDialogButtonBox::Ok);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(!dialog.autoRefreshOn());
        QVERIFY(!dialog.autoRefreshChanged());

        ConfigurationDialog on(sampleConfiguration());
        on.show();
        click(on, QDialogButtonBox::Ok);
        QVERIFY(on.autoRefreshOn());
        QVERIFY(!on.autoRefreshChanged());
    }

    void cancelChangesNothing() {
        ConfigurationDialog dialog(sampleConfiguration());
        dialog.show();
        child<QLineEdit>(dialog, "browseLocationEdit")->setText("/elsewhere");
        child<QLineEdit>(dialog, "refreshRateEdit")->setText("999");
        child<QCheckBox>(dialog, "stayOnTopCheck")->setChecked(true);
        click(dialog, QDialogButtonBox::Cancel);
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(dialog.configuration().configuredRootPath, std::string("/srv/archive"));
        QCOMPARE(dialog.configuration().browseLocation, std::string("/srv/archive;/mnt/other"));
        QCOMPARE(dialog.configuration().meterRefreshIntervalMilliseconds, 40u);
        QVERIFY(!dialog.configuration().stayOnTop);
    }

    // "Browse..." puts the chosen folder into the edit; choosing nothing keeps the text.
    void browsePutsTheFolderInTheEdit() {
        ConfigurationDialog dialog(sampleConfiguration());
        QString startedAt;
        QString answer = "/chosen/folder";
        dialog.setFolderChooser([&](QWidget*, const QString& start) {
            startedAt = start;
            return answer;
        });
        dialog.show();
        QTest::mouseClick(child<QPushButton>(dialog, "browseButton"), Qt::LeftButton);
        QCOMPARE(startedAt, QString("/srv/archive"));
        QCOMPARE(child<QLineEdit>(dialog, "browseLocationEdit")->text(), QString("/chosen/folder"));
        QCOMPARE(dialog.result(), 0);  // the dialog stays open
        answer.clear();
        QTest::mouseClick(child<QPushButton>(dialog, "browseButton"), Qt::LeftButton);
        QCOMPARE(child<QLineEdit>(dialog, "browseLocationEdit")->text(), QString("/chosen/folder"));

        // The root path is at most 256 characters.
        child<QLineEdit>(dialog, "browseLocationEdit")->setText(QString(300, 'a'));
        click(dialog, QDialogButtonBox::Ok);
        QCOMPARE(dialog.configuration().configuredRootPath.size(), size_t{256});
    }

    // The refresh rate reads as atol would, but never as 0 (meters redrawn without pause).
    void refreshRateText() {
        QCOMPARE(ConfigurationDialog::refreshIntervalFromText("25"), 25u);
        QCOMPARE(ConfigurationDialog::refreshIntervalFromText("  30ms"), 30u);
        QCOMPARE(ConfigurationDialog::refreshIntervalFromText("+7"), 7u);
        QCOMPARE(ConfigurationDialog::refreshIntervalFromText("fast"), 1u);
        QCOMPARE(ConfigurationDialog::refreshIntervalFromText(""), 1u);
        QCOMPARE(ConfigurationDialog::refreshIntervalFromText("0"), 1u);
        QCOMPARE(ConfigurationDialog::refreshIntervalFromText("-20"), 1u);
        QCOMPARE(ConfigurationDialog::refreshIntervalFromText("99999999999999999999"), 4294967295u);

        ConfigurationDialog dialog(sampleConfiguration());
        dialog.show();
        child<QLineEdit>(dialog, "refreshRateEdit")->setText("abc");
        click(dialog, QDialogButtonBox::Ok);
        QCOMPARE(dialog.configuration().meterRefreshIntervalMilliseconds, 1u);
    }
};

QTEST_MAIN(ConfigurationDialogTest)
#include "ConfigurationDialogTest.moc"
