#include <QTest>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "GalewickConfiguration.h"
#include "GalewickStartup.h"
#include "TemporaryDirectory.h"

namespace {

void writeText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

class GalewickConfigurationTest final : public QObject {
    Q_OBJECT

private slots:
    void init() {
        directory_ = std::make_unique<TemporaryDirectory>("galewick-configuration-");
        QVERIFY(directory_->isValid());
        path_ = directory_->file("galewickConfiguration.xml");
    }

    // What is saved reads back the same, with the eight keys in their fixed order.
    void saveAndLoadRoundTrip() {
        GalewickConfiguration saved;
        saved.configuredRootPath = "/srv/archive one;/mnt/archive <two> & more";
        saved.meterTimerStamp = 123456789;
        saved.rewindSeconds = 15;
        saved.advanceSeconds = 300;
        saved.stayOnTop = true;
        saved.autoRefresh = true;
        saved.windowX = 640;
        saved.windowY = 48;
        std::string error;
        QVERIFY2(saved.saveConfiguration(path_, &error), error.c_str());

        const std::string text = readText(path_);
        QCOMPARE(text.rfind("<galewickconfiguration>", 0), size_t{0});
        size_t previous = 0;
        for (const char* key : {"rootpath", "meterrefreshrate", "rewindseconds", "advanceseconds",
                                "stayontop", "autorefresh", "xoffset", "yoffset"}) {
            const size_t at = text.find(std::string("<") + key + ">");
            QVERIFY2(at != std::string::npos && at > previous, key);
            previous = at;
        }
        QVERIFY(text.find("<stayontop>1</stayontop>") != std::string::npos);
        QVERIFY(text.find("<xoffset>640</xoffset>") != std::string::npos);

        GalewickConfiguration loaded;
        QVERIFY(loaded.loadConfiguration(path_));
        QCOMPARE(loaded.configuredRootPath, saved.configuredRootPath);
        QCOMPARE(loaded.browseLocation, saved.configuredRootPath);
        QCOMPARE(loaded.meterTimerStamp, 123456789L);
        QCOMPARE(loaded.rewindSeconds, 15);
        QCOMPARE(loaded.advanceSeconds, 300);
        QVERIFY(loaded.rewindSecondsSet && loaded.advanceSecondsSet);
        QVERIFY(loaded.stayOnTop && loaded.autoRefresh);
        // The position is for start-up to read, not the settings.
        QCOMPARE(loaded.windowX, 0);
        QCOMPARE(GalewickConfiguration::readWindowPosition(path_),
                 (GalewickConfiguration::Position{640, 48}));

        const std::vector<std::string> roots = loaded.browseRoots();
        QCOMPARE(roots.size(), size_t{2});
        QCOMPARE(roots[1], std::string("/mnt/archive <two> & more"));

        // Saving again replaces the file whole and leaves no temporary file beside it.
        saved.stayOnTop = false;
        QVERIFY(saved.saveConfiguration(path_));
        QVERIFY(readText(path_).find("<stayontop>0</stayontop>") != std::string::npos);
        int entries = 0;
        for (const auto& entry : std::filesystem::directory_iterator(directory_->path())) {
            (void)entry;
            ++entries;
        }
        QCOMPARE(entries, 1);
    }

    // Missing keys leave their settings alone; flags are true only for the text "1".
    void missingKeysAndFlagTexts() {
        writeText(path_,
                  "<galewickconfiguration><rootpath>/data/archive</rootpath>"
                  "</galewickconfiguration>");
        GalewickConfiguration onlyRoot;
        onlyRoot.browseLocation = "/elsewhere";
        QVERIFY(onlyRoot.loadConfiguration(path_));
        QCOMPARE(onlyRoot.browseLocation, std::string("/data/archive"));
        QVERIFY(!onlyRoot.stayOnTop);
        QVERIFY(!onlyRoot.autoRefresh);
        QVERIFY(!onlyRoot.rewindSecondsSet && !onlyRoot.advanceSecondsSet);
        QCOMPARE(onlyRoot.rewindSeconds, GalewickConfiguration::kDefaultStepSeconds);
        QCOMPARE(onlyRoot.meterTimerStamp, 0L);

        GalewickConfiguration keeps;
        keeps.configuredRootPath = "/kept";
        keeps.stayOnTop = true;
        keeps.autoRefresh = true;
        keeps.rewindSeconds = 60;
        writeText(path_,
                  "<galewickconfiguration><advanceseconds>30</advanceseconds>"
                  "</galewickconfiguration>");
        QVERIFY(keeps.loadConfiguration(path_));
        QCOMPARE(keeps.configuredRootPath, std::string("/kept"));
        QCOMPARE(keeps.browseLocation, std::string("/kept"));
        QVERIFY(keeps.stayOnTop && keeps.autoRefresh);
        QCOMPARE(keeps.rewindSeconds, 60);
        QCOMPARE(keeps.advanceSeconds, 30);
        QVERIFY(keeps.advanceSecondsSet && !keeps.rewindSecondsSet);

        // Steps of no length are no steps; an empty root path browses from home.
        qputenv("HOME", "/home/someone");
        writeText(path_,
                  "<galewickconfiguration><rootpath></rootpath>"
                  "<rewindseconds>0</rewindseconds><advanceseconds>-15</advanceseconds>"
                  "</galewickconfiguration>");
        GalewickConfiguration noSteps;
        noSteps.configuredRootPath = "/old";
        noSteps.rewindSeconds = 60;
        QVERIFY(noSteps.loadConfiguration(path_));
        QCOMPARE(noSteps.rewindSeconds, 60);
        QCOMPARE(noSteps.advanceSeconds, GalewickConfiguration::kDefaultStepSeconds);
        QVERIFY(!noSteps.rewindSecondsSet && !noSteps.advanceSecondsSet);
        QCOMPARE(noSteps.configuredRootPath, std::string());
        QCOMPARE(noSteps.browseLocation, std::string("/home/someone"));

        for (const char* text : {"2", "true", "01", "1.0", ""}) {
            writeText(path_, std::string("<galewickconfiguration><stayontop>") + text +
                                 "</stayontop><autorefresh>" + text +
                                 "</autorefresh></galewickconfiguration>");
            GalewickConfiguration flags;
            flags.stayOnTop = true;
            flags.autoRefresh = true;
            QVERIFY(flags.loadConfiguration(path_));
            QVERIFY2(!flags.stayOnTop && !flags.autoRefresh, text);
        }
    }

    // A file that does not read: the home directory to browse, both flags off, the rest kept.
    void unreadableFiles() {
        qputenv("HOME", QByteArray::fromStdString(directory_->path()));
        const std::string empty = directory_->file("empty.xml");
        writeText(empty, "");
        const std::string garbage = directory_->file("garbage.xml");
        writeText(garbage, "not xml at all");
        for (const std::string& path :
             {directory_->file("missing.xml"), empty, garbage, directory_->path()}) {
            GalewickConfiguration configuration;
            configuration.configuredRootPath = "/kept";
            configuration.browseLocation = "/was";
            configuration.stayOnTop = true;
            configuration.autoRefresh = true;
            configuration.rewindSeconds = 30;
            QVERIFY(!configuration.loadConfiguration(path));
            QCOMPARE(configuration.browseLocation, directory_->path());
            QCOMPARE(configuration.configuredRootPath, std::string("/kept"));
            QVERIFY(!configuration.stayOnTop && !configuration.autoRefresh);
            QCOMPARE(configuration.rewindSeconds, 30);
            QCOMPARE(GalewickConfiguration::readWindowPosition(path),
                     GalewickConfiguration::Position{});
        }
        // A directory that is not there cannot take the file; nothing is left behind.
        GalewickConfiguration configuration;
        std::string error;
        QVERIFY(!configuration.saveConfiguration(directory_->file("no/such/file.xml"), &error));
        QVERIFY(!error.empty());
    }

    // The saved position is used only when the window's corner leaves 100 pixels of the screen.
    void positionCheck() {
        using Position = GalewickConfiguration::Position;
        QCOMPARE(GalewickConfiguration::checkedPosition(5000, 5000, 1920, 1080), Position{});
        QCOMPARE(GalewickConfiguration::checkedPosition(1800, 900, 1920, 1080),
                 (Position{1800, 900}));
        QCOMPARE(GalewickConfiguration::checkedPosition(1820, 980, 1920, 1080),
                 (Position{1820, 980}));
        QCOMPARE(GalewickConfiguration::checkedPosition(1821, 10, 1920, 1080), Position{});
        QCOMPARE(GalewickConfiguration::checkedPosition(10, 981, 1920, 1080), Position{});
        QCOMPARE(GalewickConfiguration::checkedPosition(2147483600, 5, 1920, 1080), Position{});
        QCOMPARE(GalewickConfiguration::checkedPosition(-300, 40, 1920, 1080), Position{});
        QCOMPARE(GalewickConfiguration::checkedPosition(40, -300, 1920, 1080), Position{});

        writeText(path_,
                  "<galewickconfiguration><xoffset>1800</xoffset><yoffset>5000</yoffset>"
                  "</galewickconfiguration>");
        QCOMPARE(GalewickStartup::initialWindowPosition(path_, 1920, 1080), Position{});
        QCOMPARE(GalewickStartup::initialWindowPosition(path_, 2560, 5200), (Position{1800, 5000}));
        writeText(path_, "<galewickconfiguration><yoffset>700</yoffset></galewickconfiguration>");
        QCOMPARE(GalewickStartup::initialWindowPosition(path_, 1920, 1080), (Position{0, 700}));
    }

private:
    std::unique_ptr<TemporaryDirectory> directory_;
    std::string path_;
};

QTEST_GUILESS_MAIN(GalewickConfigurationTest)
#include "GalewickConfigurationTest.moc"
