#pragma once

#include <QRect>
#include <QStringList>
#include <QTimer>
#include <memory>
#include <set>
#include <string>

#include "GalewickConfiguration.h"
#include "SessionLoader.h"
#include "TimeRange.h"
#include "Win32_BasicWindow.h"

class AnnotationCommands;
class QEventLoop;
class AnnotationPanel;
class AutoloadThread;
class ChannelStrip;
class EngineBridge;
class GalewickInputHub;
class GalewickMenus;
class PlaybackEngine;
class SealerCommands;
class SpeedControlWindow;
class TransportBar;
class Win32_VideoDisplayWindow;
class WindowSealerHost;
class WindowTransportTarget;
struct SessionOpenChoice;

// The program's main window, in both modes. It routes: window messages, keys, the mouse's
// right button, menu commands and the engine's reports go to the pieces that do the work
// (TransportBar, ChannelStrip, AnnotationPanel and AnnotationCommands, SessionLoader, the speed
// window, the input hub and the sealer commands). The engine plays; the window never waits on
// it: a session opens on a worker thread, and what the engine reports arrives through
// EngineBridge on this thread.
//
// User-interface thread only.
class GalewickUserInterface final : public Win32_BasicWindow {
    Q_OBJECT
public:
    struct Options {
        std::string title = "Galewick";
        // Top-left corner (the size follows the background image).
        QRect rectangle{0, 0, 100, 100};
        bool sealingMode = false;
        bool autoload = false;
        // The output device (AudioOutputDeviceFactory's texts); a text it refuses plays
        // through "null" after saying so.
        std::string audioOutput = "portaudio";
        // Empty: the usual places (GalewickPaths, the current directory).
        std::string configurationPath;
        std::string autoloadPath;
        // Off: no pedal, hot keys, media-player interface or recorder signals (tests).
        bool inputSources = true;
    };

    // What is open.
    struct OpenSession {
        std::string root;
        std::string location;
        int year = 0;
        int month = 0;
        int day = 0;
        int offsetSeconds = 0;
        double start = 0.0;
        double end = 0.0;
    };

    explicit GalewickUserInterface(const Options& options);
    ~GalewickUserInterface() override;

    // Loads the configuration, builds the controls, menus, panels and the engine, starts the
    // input sources and, with autoload, the wait for the autoload session. False when the
    // window cannot work (the caller then says "Failed to create galewick/brindlemark!").
    bool Initialize();

    // Loads a session on the worker thread (status "Loading session ..."); false while another
    // load runs. `seekTo` >= 0: the position after it opened (a search hit).
    bool LoadSession(const SessionLoader::Request& request, double seekTo = -1.0);
    // LoadSession, then waits for its end while the window goes on handling events (a local
    // event loop); true when the session opened. False at once while another load runs, and
    // when the window is left meanwhile. For callers that must report the result (the sealer's
    // reload after a transaction).
    bool LoadSessionAndWait(const SessionLoader::Request& request, double seekTo = -1.0);
    bool isLoading() const;
    bool hasSession() const { return hasSession_; }
    const OpenSession& openSession() const { return session_; }
    // What the last load left out ("PATH: REASON").
    const QStringList& skippedFiles() const { return skipped_; }

    // Transport; nothing happens without a session or while one loads.
    void playFrom(double epochSeconds);
    void seekTo(double epochSeconds);
    void play();
    void stop();
    void togglePlay();
    bool isPlaying() const;
    // Applies track-bar position p (-8 .. 7): the speed text and the engine's speed.
    void applySpeedPosition(int position);

    // A menu command by id (as the menus send them).
    void runCommand(int commandId);
    // The way out: saves the configuration, stops the autoload wait, the input sources and the
    // engine (which joins its threads). Runs once; closing the window runs it.
    void leave();

    // Null after leave().
    PlaybackEngine* engine() const;
    GalewickConfiguration& configuration() { return configuration_; }
    TransportBar& transport() const { return *transport_; }
    ChannelStrip& channels() const { return *channels_; }
    GalewickMenus& menus() const { return *menus_; }
    AnnotationPanel& annotations() const { return *annotations_; }
    AnnotationCommands& annotationCommands() const { return *annotationCommands_; }
    SpeedControlWindow& speedWindow() const { return *speedWindow_; }
    Win32_VideoDisplayWindow& videoWindow() const { return *video_; }
    SealerCommands* sealerCommands() const { return sealerCommands_.get(); }
    GalewickInputHub* inputHub() const { return inputHub_.get(); }
    bool videoHidden() const { return hideVideo_; }
    const Options& options() const { return options_; }

    // Tells the user something once per text: the status line, and a message box the first time.
    void showNotice(const QString& title, const QString& text);

signals:
    // A load ended (opened or not).
    void sessionLoaded(bool opened);

protected:
    bool ProcessWindowsMessage(const Win32_WindowMessage& message) override;
    void canvasRightButtonUp(const QPoint& position, const QPoint& globalPosition) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void createEngine();
    void connectEngine();
    void sessionLoadFinished(const SessionLoader::Result& result);
    void positionHeard(double epochSeconds);
    void frameReady();
    void rangesChanged(const std::vector<std::vector<TimeRange>>& ranges);
    void refreshMeters();
    void openSessionCommand();
    void searchHitChosen(const SessionOpenChoice& choice);
    void advancedCommand();
    void setHideVideo(bool hidden);
    void setStayOnTop(bool on);
    void startAutoload();
    void saveConfiguration();
    void showSkippedFiles();
    bool engineUsable() const;

    const Options options_;
    GalewickConfiguration configuration_;
    std::unique_ptr<EngineBridge> bridge_;
    SessionLoader* loader_ = nullptr;
    TransportBar* transport_ = nullptr;
    std::unique_ptr<ChannelStrip> channels_;
    GalewickMenus* menus_ = nullptr;
    AnnotationPanel* annotations_ = nullptr;
    AnnotationCommands* annotationCommands_ = nullptr;
    Win32_VideoDisplayWindow* video_ = nullptr;
    SpeedControlWindow* speedWindow_ = nullptr;
    std::unique_ptr<WindowTransportTarget> transportTarget_;
    std::unique_ptr<WindowSealerHost> sealerHost_;
    std::unique_ptr<SealerCommands> sealerCommands_;
    std::unique_ptr<GalewickInputHub> inputHub_;
    std::unique_ptr<AutoloadThread> autoload_;
    SessionLoader::Request autoloadRequest_;
    QTimer meterTimer_;
    // The local loop of LoadSessionAndWait while it waits.
    QEventLoop* waitLoop_ = nullptr;

    OpenSession session_;
    bool hasSession_ = false;
    bool hasVideo_ = false;
    double seekAfterLoad_ = -1.0;
    QStringList skipped_;
    std::set<QString> noticesShown_;
    bool hideVideo_ = false;
    bool openingSession_ = false;  // re-entry guard of "Open Session"
    bool left_ = false;
    bool speedWindowPlaced_ = false;
};
