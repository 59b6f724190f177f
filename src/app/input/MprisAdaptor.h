#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariantMap>
#include <functional>

class JogController;
class MprisPlayerInterface;
class QWidget;
class TransportTarget;

// The player on the session bus as an MPRIS media player, so the desktop's media keys and
// media controls drive it: service org.mpris.MediaPlayer2.galewick, object
// /org/mpris/MediaPlayer2, interfaces org.mpris.MediaPlayer2 and org.mpris.MediaPlayer2.Player.
// Lives on the user-interface thread (D-Bus calls are delivered there).
class MprisAdaptor final : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kServiceName = "org.mpris.MediaPlayer2.galewick";
    static constexpr const char* kObjectPath = "/org/mpris/MediaPlayer2";
    static constexpr const char* kPlayerInterface = "org.mpris.MediaPlayer2.Player";
    static constexpr const char* kSessionTrackId = "/org/mpris/MediaPlayer2/galewick/session";
    static constexpr const char* kNoTrackId = "/org/mpris/MediaPlayer2/TrackList/NoTrack";

    // Registers on `connection`; without a bus, or with the name taken, it logs and stays
    // unregistered (the window works without it). `window` may be null. `requestClose` asks the
    // window to close later (Quit must answer its caller first, and closing may destroy this
    // object); without it the close is queued to this object.
    MprisAdaptor(TransportTarget& target, JogController& jog, QWidget* window,
                 const QDBusConnection& connection, std::function<void()> requestClose = {});
    ~MprisAdaptor() override;
    MprisAdaptor(const MprisAdaptor&) = delete;
    MprisAdaptor& operator=(const MprisAdaptor&) = delete;

    bool registered() const { return registered_; }

    // Announce changes (PropertiesChanged) after the window started or stopped playback, or
    // opened or closed a session.
    void playStateChanged();
    void sessionChanged();

    // What the interfaces report and do.
    TransportTarget& target() { return target_; }
    JogController& jog() { return jog_; }
    QWidget* window() const { return window_; }
    bool hasSession() const;
    QString playbackStatus() const;
    QVariantMap metadata() const;
    qlonglong positionMicroseconds() const;
    void moveTo(double seconds);
    void requestClose() { requestClose_(); }
    void announceSeek();

private:
    void announce(const QString& interface, const QVariantMap& changed);

    MprisPlayerInterface* player_ = nullptr;

    TransportTarget& target_;
    JogController& jog_;
    QWidget* window_;
    QDBusConnection connection_;
    std::function<void()> requestClose_;
    bool registered_ = false;
    bool serviceOwned_ = false;
};
