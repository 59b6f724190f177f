#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusPendingReply>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include "FakeTransportTarget.h"
#include "GalewickInputHub.h"
#include "JogController.h"
#include "MprisAdaptor.h"
#include "PortalGlobalShortcuts.h"
#include "RecorderSignals.h"

namespace {

const QString kServiceConnection = QStringLiteral("galewick-test-player");
const QString kClientConnection = QStringLiteral("galewick-test-client");

// A desktop portal that grants every session and binds every shortcut, for the portal client.
class FakeGlobalShortcutsPortal final : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.GlobalShortcuts")
public:
    explicit FakeGlobalShortcutsPortal(QDBusConnection connection) : connection_(connection) {}
    QString sessionPath = QStringLiteral("/org/freedesktop/portal/desktop/session/1/galewick");
    QList<PortalShortcut> bound;

    void activate(const QString& shortcutId) {
        QDBusMessage signal = QDBusMessage::createSignal(
            QLatin1String(PortalGlobalShortcuts::kPath),
            QLatin1String(PortalGlobalShortcuts::kInterface), QStringLiteral("Activated"));
        signal << QVariant::fromValue(QDBusObjectPath(sessionPath)) << shortcutId << qulonglong(1)
               << QVariantMap();
        connection_.send(signal);
    }

public slots:
    QDBusObjectPath CreateSession(const QVariantMap& options) {
        return respond(options, {{QStringLiteral("session_handle"), sessionPath}});
    }
    QDBusObjectPath BindShortcuts(const QDBusObjectPath&, const QList<PortalShortcut>& shortcuts,
                                  const QString&, const QVariantMap& options) {
        bound = shortcuts;
        return respond(options, {});
    }

private:
    QDBusObjectPath respond(const QVariantMap& options, const QVariantMap& results) {
        QString sender = message().service().mid(1);
        sender.replace(QLatin1Char('.'), QLatin1Char('_'));
        const QString path = QStringLiteral("/org/freedesktop/portal/desktop/request/") + sender +
                             QLatin1Char('/') +
                             options.value(QStringLiteral("handle_token")).toString();
        QDBusMessage response = QDBusMessage::createSignal(
            path, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"));
        response << 0u << results;
        // After the reply, as a real portal answers.
        QMetaObject::invokeMethod(
            this, [this, response] { connection_.send(response); }, Qt::QueuedConnection);
        return QDBusObjectPath(path);
    }

    QDBusConnection connection_;
};

}  // namespace

class MprisAdaptorTest final : public QObject {
    Q_OBJECT
public slots:
    // What the player announced, as the client hears it.
    void propertiesChanged(const QDBusMessage& message) {
        if (message.arguments().size() == 3) {
            QVariantMap changed;
            qvariant_cast<QDBusArgument>(message.arguments().at(1)) >> changed;
            changes_.append(changed);
        }
    }

private slots:
    void initTestCase();
    void cleanupTestCase();
    void transportCallsDriveThePlayer();
    void metadataPositionAndStatusDescribeTheSession();
    void changesAreAnnounced();
    void rootInterfaceNamesThePlayerAndQuitCloses();
    void withoutABusNothingIsRegisteredAndNothingBreaks();
    void recorderStoppedClosesTheWindowAndTheOtherNoticesDoNothing();
    void portalShortcutsAreBoundAndActivationsReachTheHotKeys();
    void aCloseThatDestroysTheHubComesAfterTheHandlerReturned();

private:
    // Calls `method` on the player from the client's side, serving both ends meanwhile.
    QDBusMessage call(const QString& interface, const QString& method,
                      const QVariantList& arguments = {});
    QVariant property(const QString& interface, const QString& name);

    QProcess daemon_;
    QString address_;
    QList<QVariantMap> changes_;
};

void MprisAdaptorTest::initTestCase() {
    daemon_.start(QStringLiteral("dbus-daemon"),
                  {QStringLiteral("--config-file=/usr/share/dbus-1/session.conf"),
                   QStringLiteral("--print-address=1"), QStringLiteral("--nofork"),
                   QStringLiteral("--nopidfile")});
    if (!daemon_.waitForStarted(5000)) {
        QSKIP("dbus-daemon is not installed; no private session bus");
    }
    QTRY_VERIFY_WITH_TIMEOUT(daemon_.canReadLine(), 5000);
    address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
    QVERIFY(QDBusConnection::connectToBus(address_, kServiceConnection).isConnected());
    QVERIFY(QDBusConnection::connectToBus(address_, kClientConnection).isConnected());
}

void MprisAdaptorTest::cleanupTestCase() {
    QDBusConnection::disconnectFromBus(kServiceConnection);
    QDBusConnection::disconnectFromBus(kClientConnection);
    daemon_.terminate();
    daemon_.waitForFinished(5000);
}

QDBusMessage MprisAdaptorTest::call(const QString& interface, const QString& method,
                                    const QVariantList& arguments) {
    QDBusMessage message =
        QDBusMessage::createMethodCall(QLatin1String(MprisAdaptor::kServiceName),
                                       QLatin1String(MprisAdaptor::kObjectPath), interface, method);
    message.setArguments(arguments);
    QDBusPendingCall pending = QDBusConnection(kClientConnection).asyncCall(message);
    const bool finished = QTest::qWaitFor([&] { return pending.isFinished(); }, 5000);
    return finished ? pending.reply() : QDBusMessage();
}

QVariant MprisAdaptorTest::property(const QString& interface, const QString& name) {
    const QDBusMessage reply = call(QStringLiteral("org.freedesktop.DBus.Properties"),
                                    QStringLiteral("Get"), {interface, name});
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        return {};
    }
    return qvariant_cast<QDBusVariant>(reply.arguments().first()).variant();
}

void MprisAdaptorTest::transportCallsDriveThePlayer() {
    FakeTransportTarget target;
    target.slider = 1500.0;
    target.configuredAdvanceSeconds = 10;
    target.configuredRewindSeconds = 4;
    JogController jog(target);
    MprisAdaptor mpris(target, jog, nullptr, QDBusConnection(kServiceConnection));
    QVERIFY(mpris.registered());
    const QString player = QLatin1String(MprisAdaptor::kPlayerInterface);

    QCOMPARE(call(player, QStringLiteral("PlayPause")).type(), QDBusMessage::ReplyMessage);
    QVERIFY(target.playing);
    call(player, QStringLiteral("PlayPause"));
    QVERIFY(!target.playing);

    call(player, QStringLiteral("Next"));
    call(player, QStringLiteral("Previous"));
    QCOMPARE(target.callsStartingWith("playFrom"),
             (std::vector<std::string>{"playFrom 1510", "playFrom 1506"}));
    call(player, QStringLiteral("Stop"));
    QVERIFY(!target.playing);
    call(player, QStringLiteral("Play"));
    call(player, QStringLiteral("Play"));  // already playing: no restart
    QCOMPARE(target.count("play"), 2);     // one from PlayPause, one from Play
    call(player, QStringLiteral("Pause"));
    QVERIFY(!target.playing);

    target.calls.clear();
    call(player, QStringLiteral("Seek"), {qlonglong(-30'000'000)});
    QCOMPARE(target.calls, std::vector<std::string>{"seek 1476"});
    call(player, QStringLiteral("SetPosition"),
         {QVariant::fromValue(QDBusObjectPath(QLatin1String(MprisAdaptor::kSessionTrackId))),
          qlonglong(120'000'000)});
    QCOMPARE(target.slider, 1120.0);
    // A position beyond the session or for another track is ignored.
    call(player, QStringLiteral("SetPosition"),
         {QVariant::fromValue(QDBusObjectPath(QLatin1String(MprisAdaptor::kSessionTrackId))),
          qlonglong(4000'000'000)});
    call(player, QStringLiteral("SetPosition"),
         {QVariant::fromValue(QDBusObjectPath(QStringLiteral("/other"))), qlonglong(0)});
    QCOMPARE(target.slider, 1120.0);
}

void MprisAdaptorTest::metadataPositionAndStatusDescribeTheSession() {
    FakeTransportTarget target;
    target.slider = 1090.5;
    JogController jog(target);
    MprisAdaptor mpris(target, jog, nullptr, QDBusConnection(kServiceConnection));
    const QString player = QLatin1String(MprisAdaptor::kPlayerInterface);

    const QVariant metadataValue = property(player, QStringLiteral("Metadata"));
    QVERIFY(metadataValue.isValid());
    QVariantMap metadata;
    qvariant_cast<QDBusArgument>(metadataValue) >> metadata;
    QCOMPARE(metadata.value(QStringLiteral("xesam:title")).toString(),
             QStringLiteral("Courtroom 2 2026-03-02"));
    QCOMPARE(metadata.value(QStringLiteral("mpris:length")).toLongLong(), 3600'000'000LL);
    QCOMPARE(qvariant_cast<QDBusObjectPath>(metadata.value(QStringLiteral("mpris:trackid"))).path(),
             QLatin1String(MprisAdaptor::kSessionTrackId));

    QCOMPARE(property(player, QStringLiteral("Position")).toLongLong(), 90'500'000LL);
    QCOMPARE(property(player, QStringLiteral("PlaybackStatus")).toString(),
             QStringLiteral("Stopped"));
    target.playing = true;
    QCOMPARE(property(player, QStringLiteral("PlaybackStatus")).toString(),
             QStringLiteral("Playing"));
    QCOMPARE(property(player, QStringLiteral("CanGoNext")).toBool(), true);

    // No session: nothing to play, and calls do nothing.
    target.name.clear();
    target.playing = false;
    QCOMPARE(property(player, QStringLiteral("CanPlay")).toBool(), false);
    call(player, QStringLiteral("PlayPause"));
    call(player, QStringLiteral("Next"));
    QVERIFY(!target.playing);
    QVERIFY(target.callsStartingWith("playFrom").empty());
}

void MprisAdaptorTest::changesAreAnnounced() {
    FakeTransportTarget target;
    JogController jog(target);
    MprisAdaptor mpris(target, jog, nullptr, QDBusConnection(kServiceConnection));
    QDBusConnection client(kClientConnection);
    QVERIFY(client.connect(QString(), QLatin1String(MprisAdaptor::kObjectPath),
                           QStringLiteral("org.freedesktop.DBus.Properties"),
                           QStringLiteral("PropertiesChanged"), this,
                           SLOT(propertiesChanged(QDBusMessage))));
    changes_.clear();
    target.playing = true;
    mpris.playStateChanged();
    QTRY_COMPARE(changes_.size(), 1);
    QCOMPARE(changes_.first().value(QStringLiteral("PlaybackStatus")).toString(),
             QStringLiteral("Playing"));
    target.name = "Chamber 1 2026-04-01";
    mpris.sessionChanged();
    QTRY_COMPARE(changes_.size(), 2);
    QVERIFY(changes_.last().contains(QStringLiteral("Metadata")));
    client.disconnect(QString(), QLatin1String(MprisAdaptor::kObjectPath),
                      QStringLiteral("org.freedesktop.DBus.Properties"),
                      QStringLiteral("PropertiesChanged"), this,
                      SLOT(propertiesChanged(QDBusMessage)));
}

void MprisAdaptorTest::rootInterfaceNamesThePlayerAndQuitCloses() {
    FakeTransportTarget target;
    JogController jog(target);
    QWidget window;
    MprisAdaptor mpris(target, jog, &window, QDBusConnection(kServiceConnection));
    const QString root = QStringLiteral("org.mpris.MediaPlayer2");
    QCOMPARE(property(root, QStringLiteral("Identity")).toString(), QStringLiteral("Galewick"));
    QCOMPARE(property(root, QStringLiteral("CanQuit")).toBool(), true);
    QCOMPARE(property(root, QStringLiteral("HasTrackList")).toBool(), false);
    call(root, QStringLiteral("Raise"));
    QVERIFY(window.isVisible());
    QCOMPARE(call(root, QStringLiteral("Quit")).type(), QDBusMessage::ReplyMessage);
    QTRY_COMPARE(target.closeCount, 1);
}

void MprisAdaptorTest::withoutABusNothingIsRegisteredAndNothingBreaks() {
    FakeTransportTarget target;
    JogController jog(target);
    MprisAdaptor mpris(target, jog, nullptr, QDBusConnection(QStringLiteral("no-such-bus")));
    QVERIFY(!mpris.registered());
    target.playing = true;
    mpris.playStateChanged();
    mpris.sessionChanged();
    RecorderSignals recorder(target, QDBusConnection(QStringLiteral("no-such-bus")));
    QVERIFY(!recorder.subscribed());

    // A second player on the same bus: the name is taken, the first keeps it.
    MprisAdaptor first(target, jog, nullptr, QDBusConnection(kServiceConnection));
    QDBusConnection::connectToBus(address_, QStringLiteral("galewick-test-second"));
    {
        MprisAdaptor second(target, jog, nullptr,
                            QDBusConnection(QStringLiteral("galewick-test-second")));
        QVERIFY(second.registered());
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("galewick-test-second"));
    QCOMPARE(
        property(QLatin1String(MprisAdaptor::kPlayerInterface), QStringLiteral("PlaybackStatus"))
            .toString(),
        QStringLiteral("Playing"));
}

void MprisAdaptorTest::recorderStoppedClosesTheWindowAndTheOtherNoticesDoNothing() {
    FakeTransportTarget target;
    QWidget window;
    GalewickInputHub::Options options;
    options.pedal = false;
    options.repeatThread = false;
    options.applicationShortcuts = false;
    options.globalHotKeys = false;
    options.busConnectionName = kServiceConnection;
    GalewickInputHub hub(target, &window, options);
    QVERIFY(hub.recorderSignals() != nullptr && hub.recorderSignals()->subscribed());
    QVERIFY(hub.mpris() != nullptr && hub.mpris()->registered());

    QDBusConnection client(kClientConnection);
    for (const QString& name : RecorderSignals::signalNames()) {
        if (name != QLatin1String(RecorderSignals::kRecorderStopped)) {
            client.send(QDBusMessage::createSignal(
                QStringLiteral("/"), QLatin1String(RecorderSignals::kRecommendedInterface), name));
        }
    }
    // Any path and interface will do.
    client.send(QDBusMessage::createSignal(QStringLiteral("/recorder/7"),
                                           QStringLiteral("com.example.Recorder"),
                                           QLatin1String(RecorderSignals::kRecorderStopped)));
    QTRY_COMPARE(target.closeCount, 1);
    QCOMPARE(target.calls, std::vector<std::string>{"close"});
}

void MprisAdaptorTest::portalShortcutsAreBoundAndActivationsReachTheHotKeys() {
    QDBusConnection portalBus =
        QDBusConnection::connectToBus(address_, QStringLiteral("galewick-test-portal"));
    FakeGlobalShortcutsPortal portal(portalBus);
    QVERIFY(portalBus.registerObject(QLatin1String(PortalGlobalShortcuts::kPath), &portal,
                                     QDBusConnection::ExportAllSlots));
    QVERIFY(portalBus.registerService(QLatin1String(PortalGlobalShortcuts::kService)));

    std::vector<int> ids;
    PortalGlobalShortcuts shortcuts([&ids](int id) { ids.push_back(id); },
                                    QDBusConnection(kServiceConnection));
    shortcuts.start();
    QTRY_VERIFY_WITH_TIMEOUT(shortcuts.bound(), 5000);
    QCOMPARE(int(portal.bound.size()), 21);
    QCOMPARE(portal.bound.first().properties.value(QStringLiteral("preferred_trigger")).toString(),
             QStringLiteral("CTRL+1"));

    portal.activate(QStringLiteral("hotkey-12"));
    portal.activate(QStringLiteral("unknown"));
    portal.activate(QStringLiteral("hotkey-3"));
    QTRY_COMPARE(ids.size(), std::size_t(2));
    QCOMPARE(ids, (std::vector<int>{12, 3}));

    portalBus.unregisterService(QLatin1String(PortalGlobalShortcuts::kService));
    portalBus.unregisterObject(QLatin1String(PortalGlobalShortcuts::kPath));
    QDBusConnection::disconnectFromBus(QStringLiteral("galewick-test-portal"));
}

void MprisAdaptorTest::aCloseThatDestroysTheHubComesAfterTheHandlerReturned() {
    // The window leaves on close and takes the hub with it, as the main window does.
    FakeTransportTarget target;
    QWidget window;
    GalewickInputHub::Options options;
    options.pedal = false;
    options.repeatThread = false;
    options.applicationShortcuts = false;
    options.globalHotKeys = false;
    options.busConnectionName = kServiceConnection;
    auto hub = std::make_unique<GalewickInputHub>(target, &window, options);
    target.onClose = [&hub] { hub.reset(); };

    QDBusConnection(kClientConnection)
        .send(QDBusMessage::createSignal(QStringLiteral("/"),
                                         QLatin1String(RecorderSignals::kRecommendedInterface),
                                         QLatin1String(RecorderSignals::kRecorderStopped)));
    QTRY_COMPARE(target.closeCount, 1);
    QVERIFY(hub == nullptr);

    // Quit answers its caller before the window closes.
    hub = std::make_unique<GalewickInputHub>(target, &window, options);
    const QDBusMessage reply =
        call(QStringLiteral("org.mpris.MediaPlayer2"), QStringLiteral("Quit"));
    QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
    QTRY_COMPARE(target.closeCount, 2);
    QVERIFY(hub == nullptr);
}

QTEST_MAIN(MprisAdaptorTest)
#include "MprisAdaptorTest.moc"
