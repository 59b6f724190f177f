#include <sys/resource.h>

#include <QTest>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "AvDebugLogger.h"
#include "GalewickAutoloadFile.h"
#include "GalewickCommandLine.h"
#include "GalewickDebugFile.h"
#include "GalewickPaths.h"
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

class GalewickStartupTest final : public QObject {
    Q_OBJECT

private slots:
    // The mode flags are found anywhere in the joined command line; the options by name.
    void commandLineModes() {
        const GalewickCommandLine neither(std::vector<std::string>{"/x", "--autoload", "-seal"});
        QVERIFY(!neither.sealingMode());
        QVERIFY(neither.autoload());  // "--autoload" holds "-autoload"
        QCOMPARE(neither.title(), std::string("Galewick"));

        const GalewickCommandLine sealer(std::vector<std::string>{"/x", "-sealingMode"});
        QVERIFY(sealer.sealingMode());
        QVERIFY(!sealer.autoload());
        QCOMPARE(sealer.title(), std::string("Brindlemark"));

        const char* argv[] = {"galewick", "x-autoloady", "prefix-sealingModeSuffix", nullptr};
        const GalewickCommandLine both(3, argv);
        QVERIFY(both.sealingMode() && both.autoload());

        const GalewickCommandLine none(std::vector<std::string>{});
        QVERIFY(!none.sealingMode() && !none.autoload());
        QVERIFY(!none.helpRequested() && !none.versionRequested());
        QCOMPARE(none.audioOutput(), std::string("portaudio"));

        // A flag split over two arguments is not the flag; the program's own name is not read.
        const char* split[] = {"/opt/-sealingMode/galewick", "-sealing", "Mode", nullptr};
        QVERIFY(!GalewickCommandLine(3, split).sealingMode());

        const GalewickCommandLine options(std::vector<std::string>{
            "--audio-output=wav:/tmp/out.wav", "--unknown", "--version", "--help"});
        QCOMPARE(options.audioOutput(), std::string("wav:/tmp/out.wav"));
        QVERIFY(options.helpRequested() && options.versionRequested());
        QVERIFY(!options.playOnOpen());
        QVERIFY(GalewickCommandLine(std::vector<std::string>{"-autoload", "--play"}).playOnOpen());
        QVERIFY(!options.sealingMode() && !options.autoload());
        QCOMPARE(GalewickCommandLine(std::vector<std::string>{"--audio-output="}).audioOutput(),
                 std::string("portaudio"));
        QVERIFY(GalewickCommandLine::usageText("galewick").find("-sealingMode") !=
                std::string::npos);
        QVERIFY(std::regex_match(GalewickCommandLine::versionText(),
                                 std::regex("galewick [0-9]+\\.[0-9]+\\.[0-9]+\n")));
    }

    void autoloadFile() {
        TemporaryDirectory directory("galewick-autoload-");
        const std::string path = directory.file(GalewickAutoloadFile::kFileName);
        writeText(path,
                  "<galewick_autoload><rootpath>/srv/archive</rootpath><location>COURT1</location>"
                  "<year>2010</year><month>3</month><day>15</day></galewick_autoload>");
        GalewickAutoloadFile file;
        QVERIFY(file.read(path));
        QCOMPARE(file.rootPath, std::string("/srv/archive"));
        QCOMPARE(file.location, std::string("COURT1"));
        QCOMPARE(file.year, 2010);
        QCOMPARE(file.month, 3);
        QCOMPARE(file.day, 15);

        // Read from the current directory by default.
        const auto previous = std::filesystem::current_path();
        std::filesystem::current_path(directory.path());
        GalewickAutoloadFile fromCurrent;
        const bool readFromCurrent = fromCurrent.read();
        std::filesystem::current_path(previous);
        QVERIFY(readFromCurrent);
        QCOMPARE(fromCurrent.location, std::string("COURT1"));

        // Nothing usable: false, and the fields stay as they were.
        writeText(path, "");
        GalewickAutoloadFile empty;
        empty.location = "kept";
        QVERIFY(!empty.read(path));
        QVERIFY(!empty.read(directory.file("missing.xml")));
        writeText(path, "<<<");
        QVERIFY(!empty.read(path));
        QCOMPARE(empty.location, std::string("kept"));
    }

    // Lines end in a line feed alone; hundredths always take two digits.
    void debugFileLines() {
        QCOMPARE(GalewickDebugFile::formatLine(9, 5, 7, 3, "No background image."),
                 std::string("09:05:07.03\t|\tNo background image.\n"));
        QCOMPARE(GalewickDebugFile::formatLine(23, 59, 59, 99, ""),
                 std::string("23:59:59.99\t|\t\n"));

        TemporaryDirectory directory("galewick-debug-");
        const std::string path = directory.file("Galewick_DEBUG.txt");
        GalewickDebugFile::append(path, "first");
        GalewickDebugFile::append(path, "second %s");
        const std::string text = readText(path);
        QVERIFY2(std::regex_match(text, std::regex("[0-2][0-9]:[0-5][0-9]:[0-5][0-9]\\.[0-9]{2}"
                                                   "\t\\|\tfirst\n"
                                                   "[0-2][0-9]:[0-5][0-9]:[0-5][0-9]\\.[0-9]{2}"
                                                   "\t\\|\tsecond %s\n")),
                 text.c_str());
        // A file that cannot be opened is passed over without a word.
        GalewickDebugFile::append(directory.file("no/such/dir/file.txt"), "lost");
        QVERIFY(!std::filesystem::exists(directory.file("no")));

        qputenv("XDG_STATE_HOME", QByteArray::fromStdString(directory.path()));
        QCOMPARE(GalewickDebugFile::defaultPath(),
                 directory.path() + "/galewick/Galewick_DEBUG.txt");
        GalewickDebugFile::append("to the state directory");
        QVERIFY(readText(GalewickDebugFile::defaultPath()).find("to the state directory\n") !=
                std::string::npos);
        qunsetenv("XDG_STATE_HOME");
    }

    void startupSteps() {
        QVERIFY(GalewickStartup::raiseOpenFileLimit());
        rlimit limit{};
        QCOMPARE(::getrlimit(RLIMIT_NOFILE, &limit), 0);
        QVERIFY(limit.rlim_cur == limit.rlim_max ||
                (limit.rlim_max == RLIM_INFINITY &&
                 limit.rlim_cur >= GalewickStartup::kWantedOpenFiles));

        TemporaryDirectory directory("galewick-state-");
        qputenv("XDG_STATE_HOME", QByteArray::fromStdString(directory.path()));
        QCOMPARE(GalewickStartup::debugLogBaseName(),
                 directory.path() + "/galewick/Korvalis_Brindlemark_DEBUG");
        QVERIFY(GalewickStartup::enableDebugLog());
        AvDebugLogger::instance().log(AvDebugLogger::kSevere, "startup test line");
        AvDebugLogger::instance().disableLoggingToFile();
        const std::string log = readText(GalewickStartup::debugLogBaseName() + "-accumulating.txt");
        QVERIFY2(log.find("startup test line") != std::string::npos, log.c_str());
        qunsetenv("XDG_STATE_HOME");
    }
};

QTEST_GUILESS_MAIN(GalewickStartupTest)
#include "GalewickStartupTest.moc"
