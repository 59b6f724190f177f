#include "MprisAdaptor.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QStringList>
#include <algorithm>
#include <cmath>

#include "AvDebugLogger.h"
#include "MprisPlayerInterface.h"
#include "MprisRootInterface.h"
#include "TransportTarget.h"

MprisAdaptor::MprisAdaptor(TransportTarget& target, JogController& jog, QWidget* window,
                           const QDBusConnection& connection, std::function<void()> requestClose)
    : target_(target),
      jog_(jog),
      window_(window),
      connection_(connection),
      requestClose_(std::move(requestClose)) {
    if (!requestClose_) {
        requestClose_ = [this] {
            QMetaObject::invokeMethod(
                this, [this] { target_.closeWindow(); }, Qt::QueuedConnection);
        };
    }
    new MprisRootInterface(this);
    player_ = new MprisPlayerInterface(this);
    AvDebugLogger& log = AvDebugLogger::instance();
    if (!connection_.isConnected()) {
        log.log(AvDebugLogger::kWarning,
                "MprisAdaptor: no session bus (%s); media keys and media controls will not "
                "reach the player.",
                qPrintable(connection_.lastError().message()));
        return;
    }
    if (!connection_.registerObject(QLatin1String(kObjectPath), this,
                                    QDBusConnection::ExportAdaptors)) {
        log.log(AvDebugLogger::kWarning, "MprisAdaptor: could not register %s on the bus.",
                kObjectPath);
        return;
    }
    registered_ = true;
    serviceOwned_ = connection_.registerService(QLatin1String(kServiceName));
    if (!serviceOwned_) {
        log.log(AvDebugLogger::kWarning,
                "MprisAdaptor: the bus name %s is taken (is another player running?); media "
                "controls will drive that one.",
                kServiceName);
    }
}

MprisAdaptor::~MprisAdaptor() {
    if (registered_) {
        connection_.unregisterObject(QLatin1String(kObjectPath));
    }
    if (serviceOwned_) {
        connection_.unregisterService(QLatin1String(kServiceName));
    }
}

bool MprisAdaptor::hasSession() const {
    return !target_.sessionName().empty();
}

QString MprisAdaptor::playbackStatus() const {
    return target_.isPlaying() ? QStringLiteral("Playing") : QStringLiteral("Stopped");
}

QVariantMap MprisAdaptor::metadata() const {
    QVariantMap map;
    if (!hasSession()) {
        map.insert(QStringLiteral("mpris:trackid"),
                   QVariant::fromValue(QDBusObjectPath(QLatin1String(kNoTrackId))));
        return map;
    }
    const double length =
        std::max(0.0, target_.sessionEndSeconds() - target_.sessionStartSeconds());
    map.insert(QStringLiteral("mpris:trackid"),
               QVariant::fromValue(QDBusObjectPath(QLatin1String(kSessionTrackId))));
    map.insert(QStringLiteral("xesam:title"), QString::fromStdString(target_.sessionName()));
    map.insert(QStringLiteral("mpris:length"), qlonglong(std::llround(length * 1e6)));
    return map;
}

qlonglong MprisAdaptor::positionMicroseconds() const {
    if (!hasSession()) {
        return 0;
    }
    // Within 0 and the length, as media controls expect.
    const double length = target_.sessionEndSeconds() - target_.sessionStartSeconds();
    const double offset = target_.sliderPosition() - target_.sessionStartSeconds();
    return qlonglong(std::llround(std::clamp(offset, 0.0, std::max(0.0, length)) * 1e6));
}

void MprisAdaptor::moveTo(double seconds) {
    const double clamped =
        std::clamp(seconds, target_.sessionStartSeconds(), target_.sessionEndSeconds());
    if (target_.isPlaying()) {
        target_.playFrom(clamped);
    } else {
        target_.seekWithoutPlaying(clamped);
    }
    announceSeek();
}

void MprisAdaptor::announceSeek() {
    if (registered_) {
        emit player_->Seeked(positionMicroseconds());
    }
}

void MprisAdaptor::playStateChanged() {
    announce(QLatin1String(kPlayerInterface),
             {{QStringLiteral("PlaybackStatus"), playbackStatus()}});
}

void MprisAdaptor::sessionChanged() {
    const bool session = hasSession();
    announce(QLatin1String(kPlayerInterface), {{QStringLiteral("Metadata"), metadata()},
                                               {QStringLiteral("PlaybackStatus"), playbackStatus()},
                                               {QStringLiteral("CanPlay"), session},
                                               {QStringLiteral("CanPause"), session},
                                               {QStringLiteral("CanSeek"), session},
                                               {QStringLiteral("CanGoNext"), session},
                                               {QStringLiteral("CanGoPrevious"), session}});
}

void MprisAdaptor::announce(const QString& interface, const QVariantMap& changed) {
    if (!registered_) {
        return;
    }
    QDBusMessage signal = QDBusMessage::createSignal(
        QLatin1String(kObjectPath), QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("PropertiesChanged"));
    signal << interface << changed << QStringList();
    connection_.send(signal);
}
