#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

class QWidget;
class TransportTarget;
class QShortcut;
class PedalReader;
class JogController;
class HoldRepeater;
class X11HotKeyGrabber;
class PortalGlobalShortcuts;
class MprisAdaptor;
class RecorderSignals;

// Every input source of the main window in one object: the foot pedal, the jog timer, the
// held-button repeat thread, the hot keys (application shortcuts, and system-wide where the
// desktop allows), the MPRIS media-player interface and the recorder's signals. The window
// creates it once, after its controls exist, and forwards the messages the hub handles.
// Lives on the user-interface thread; its worker threads only post back to it.
class GalewickInputHub final : public QObject {
    Q_OBJECT
public:
    // Window message numbers the hub handles when the window forwards them.
    static constexpr int kRewindStepMessage = 1025;   // one rewind step
    static constexpr int kAdvanceStepMessage = 1027;  // one advance step
    static constexpr int kJogTimerMessage = 1052;
    static constexpr int kFastForwardPressedMessage = 4028;
    static constexpr int kRewindPressedMessage = 4029;
    static constexpr int kButtonReleasedMessage = 4030;

    // Which sources to start; tests switch off what needs hardware or a desktop.
    struct Options {
        bool pedal = true;
        bool repeatThread = true;
        bool applicationShortcuts = true;
        bool globalHotKeys = true;
        bool mpris = true;
        bool recorderSignals = true;
        // The bus for MPRIS and the recorder's signals; a default-constructed value means the
        // session bus.
        QString busConnectionName;
    };

    // `target` and `window` must outlive the hub. `window` receives the shortcuts and is raised
    // by MPRIS; it may be null in tests.
    GalewickInputHub(TransportTarget& target, QWidget* window);
    GalewickInputHub(TransportTarget& target, QWidget* window, const Options& options);
    ~GalewickInputHub() override;
    GalewickInputHub(const GalewickInputHub&) = delete;
    GalewickInputHub& operator=(const GalewickInputHub&) = delete;

    // Handles window messages 1025, 1027, 1052 and 4028-4030; true when it took the message,
    // false for any other number (the window handles it itself).
    bool handleMessage(int message, intptr_t wParam, intptr_t lParam);

    // One pedal report in the normalised 3-byte form [report id, state byte, 0] (reportSize is
    // the report's length); what the pedal reader delivers, also usable by tests.
    void handlePedalReport(const unsigned char* report, int reportSize);

    // One hot key by its id (1-21), as a shortcut, a key grab or the portal delivers it.
    void handleHotKey(int id);

    // The window tells the hub when playback started or stopped, and when a session was opened
    // or closed, so the media-player interface can announce it.
    void playStateChanged();
    void sessionChanged();

    JogController& jog();
    // The media-player interface; null when switched off.
    MprisAdaptor* mpris() { return mpris_.get(); }
    RecorderSignals* recorderSignals() { return recorderSignals_.get(); }

private:
    void setUpGlobalHotKeys();
    // Closes the window from the event loop, after the handler that asked has returned: the
    // close destroys this hub.
    void requestClose();
    QDBusConnection bus() const;

    TransportTarget& target_;
    QWidget* window_;
    Options options_;
    std::unique_ptr<JogController> jog_;
    std::unique_ptr<HoldRepeater> repeater_;
    std::unique_ptr<PedalReader> pedal_;
    std::vector<QPointer<QShortcut>> shortcuts_;  // children of the window
    std::unique_ptr<X11HotKeyGrabber> x11Keys_;
    std::unique_ptr<PortalGlobalShortcuts> portalKeys_;
    std::unique_ptr<MprisAdaptor> mpris_;
    std::unique_ptr<RecorderSignals> recorderSignals_;
};
