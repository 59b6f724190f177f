// Renders the pictures of the README: the main window playing a generated sample session, the
// Select Session dialog and the results of a search over every session. Runs offscreen:
//   QT_QPA_PLATFORM=offscreen galewick_screenshots DIRECTORY
// The window's images come from the resource archive appended to the built galewick.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QListWidget>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

#include "AnnotationCommands.h"
#include "AnnotationPanel.h"
#include "GalewickUserInterface.h"
#include "GalewickWindowTestSupport.h"
#include "KorvalisResourceArchiveSingleton.h"
#include "SearchAllSessionsDialog.h"
#include "SelectSessionDialog.h"
#include "SpeedControlWindow.h"

namespace {

void waitFor(const std::function<bool()>& done, int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < milliseconds) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
}

void settle(int milliseconds) {
    waitFor([] { return false; }, milliseconds);
}

bool save(QWidget& widget, const QDir& directory, const char* name) {
    const QString path = directory.filePath(QString::fromUtf8(name));
    const bool saved = widget.grab().save(path, "PNG");
    std::fprintf(saved ? stdout : stderr, "%s %s\n", saved ? "wrote" : "could not write",
                 qPrintable(path));
    return saved;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: galewick_screenshots DIRECTORY\n");
        return 2;
    }
    const QDir directory(QString::fromLocal8Bit(argv[1]));
    if (!directory.exists() && !QDir().mkpath(directory.path())) {
        std::fprintf(stderr, "cannot make the directory %s\n", argv[1]);
        return 1;
    }
    KorvalisResourceArchiveSingleton::useArchiveFile(GALEWICK_PROGRAM_FILE);

    const GalewickWindowTestSupport::SampleArchive& archive =
        GalewickWindowTestSupport::sampleArchive();
    QTemporaryDir settings;

    GalewickUserInterface::Options options;
    options.audioOutput = "null";
    options.configurationPath = settings.filePath("galewickConfiguration.xml").toStdString();
    options.inputSources = false;
    GalewickUserInterface window(options);
    if (!window.Initialize()) {
        std::fprintf(stderr, "the window could not be made\n");
        return 1;
    }
    window.configuration().browseLocation = archive.root;
    window.show();

    SessionLoader::Request request;
    request.browseLocation = archive.root;
    request.locationName = archive.location;
    request.year = archive.date.year;
    request.month = archive.date.month;
    request.day = archive.date.day;
    QSignalSpy loaded(&window, &GalewickUserInterface::sessionLoaded);
    if (!window.LoadSession(request) || !loaded.wait(30000) || !window.hasSession()) {
        std::fprintf(stderr, "the sample session did not open\n");
        return 1;
    }
    // Half a minute in, playing, with the annotation list following.
    window.annotationCommands().runCommand(32822);
    window.playFrom(archive.start + 33.0);
    settle(2500);
    bool ok = save(window, directory, "galewick-window.png");
    window.stop();

    SelectSessionDialog select(archive.root, &window);
    select.show();
    settle(300);
    if (auto* locations = select.findChild<QListWidget*>(); locations != nullptr) {
        const QList<QListWidget*> lists = select.findChildren<QListWidget*>();
        lists.first()->setCurrentRow(0);
        settle(200);
        if (lists.size() > 1) {
            lists.at(1)->setCurrentRow(0);
        }
    }
    settle(300);
    ok = save(select, directory, "select-session.png") && ok;
    select.close();

    SearchAllSessionsDialog search(QString::fromStdString(archive.root), 0, &window);
    search.resize(760, 420);
    search.show();
    search.startSearch(QStringLiteral("Objection"));
    waitFor([&] { return !search.isSearching(); }, 20000);
    search.selectResult(0);
    settle(300);
    ok = save(search, directory, "search-results.png") && ok;
    search.close();

    window.leave();
    return ok ? 0 : 1;
}
