// The program's entry: the start-up sequence, the event loop and the orderly way out.
#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <cstdio>
#include <memory>

#include "AvDebugLogger.h"
#include "GalewickCommandLine.h"
#include "GalewickStartup.h"
#include "GalewickUserInterface.h"

int main(int argc, char** argv) {
    // Read before anything needs a display, so that --help and --version work anywhere.
    const GalewickCommandLine commandLine(argc, argv);
    if (commandLine.helpRequested()) {
        std::fputs(GalewickCommandLine::usageText(argc > 0 ? argv[0] : "galewick").c_str(), stdout);
        return 0;
    }
    if (commandLine.versionRequested()) {
        std::fputs(GalewickCommandLine::versionText().c_str(), stdout);
        return 0;
    }

    GalewickStartup::raiseOpenFileLimit();
    GalewickStartup::enableDebugLog();

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("galewick"));
    QApplication::setApplicationDisplayName(QString::fromStdString(commandLine.title()));

    // The saved position, moved to the screen's corner when the window would not show on the
    // primary screen's free area.
    QRect available(0, 0, 1920, 1080);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        available = screen->availableGeometry();
    }
    const GalewickConfiguration::Position position =
        GalewickStartup::initialWindowPosition(available.width(), available.height());

    GalewickUserInterface::Options options;
    options.title = commandLine.title();
    options.rectangle = QRect(position.x, position.y, 100, 100);
    options.sealingMode = commandLine.sealingMode();
    options.autoload = commandLine.autoload();
    options.audioOutput = commandLine.audioOutput();

    auto window = std::make_unique<GalewickUserInterface>(options);
    if (!window->Initialize()) {
        window.reset();
        QMessageBox::critical(nullptr, QString::fromLatin1(GalewickStartup::kCreateFailedCaption),
                              QString::fromLatin1(GalewickStartup::kCreateFailedText));
        return 0;
    }
    if (commandLine.playOnOpen()) {
        GalewickUserInterface* shown = window.get();
        auto once = std::make_shared<QMetaObject::Connection>();
        *once = QObject::connect(shown, &GalewickUserInterface::sessionLoaded, shown,
                                 [shown, once](bool opened) {
                                     QObject::disconnect(*once);
                                     if (opened) {
                                         shown->play();
                                     }
                                 });
    }
    window->show();
    application.exec();

    // Closing the window saved the configuration and stopped the engine, which joins its
    // threads; destroying the window ends what is left (autoload, input sources).
    window.reset();
    AvDebugLogger::instance().log(AvDebugLogger::kInfo, "Galewick::main(): leaving.");
    return 0;
}
