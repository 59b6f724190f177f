#include "PortalGlobalShortcuts.h"

#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

#include "AvDebugLogger.h"
#include "HotKeyTable.h"

namespace {
const QString kShortcutPrefix = QStringLiteral("hotkey-");
const QString kSessionToken = QStringLiteral("galewick_session");
const QString kCreateToken = QStringLiteral("galewick_create");
const QString kBindToken = QStringLiteral("galewick_bind");
}  // namespace

QDBusArgument& operator<<(QDBusArgument& argument, const PortalShortcut& shortcut) {
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, PortalShortcut& shortcut) {
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

PortalGlobalShortcuts::PortalGlobalShortcuts(Handler handler, const QDBusConnection& connection)
    : handler_(std::move(handler)), connection_(connection) {
    qDBusRegisterMetaType<PortalShortcut>();
    qDBusRegisterMetaType<QList<PortalShortcut>>();
}

PortalGlobalShortcuts::~PortalGlobalShortcuts() {
    if (!session_.isEmpty() && connection_.isConnected()) {
        connection_.call(
            QDBusMessage::createMethodCall(QLatin1String(kService), session_,
                                           QStringLiteral("org.freedesktop.portal.Session"),
                                           QStringLiteral("Close")),
            QDBus::NoBlock);
    }
}

QList<PortalShortcut> PortalGlobalShortcuts::shortcuts() {
    QList<PortalShortcut> list;
    for (const HotKeyTable::Entry& entry : HotKeyTable::entries()) {
        list.append({kShortcutPrefix + QString::number(entry.id),
                     {{QStringLiteral("description"), QString::fromUtf8(entry.description)},
                      {QStringLiteral("preferred_trigger"), QString::fromUtf8(entry.trigger)}}});
    }
    return list;
}

int PortalGlobalShortcuts::hotKeyId(const QString& shortcutId) {
    if (!shortcutId.startsWith(kShortcutPrefix)) {
        return 0;
    }
    bool ok = false;
    const int id = shortcutId.mid(kShortcutPrefix.size()).toInt(&ok);
    return ok && HotKeyTable::find(id) != nullptr ? id : 0;
}

QString PortalGlobalShortcuts::requestPath(const QString& token) const {
    QString sender = connection_.baseService();
    sender.remove(0, sender.startsWith(QLatin1Char(':')) ? 1 : 0);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    return QStringLiteral("/org/freedesktop/portal/desktop/request/") + sender + QLatin1Char('/') +
           token;
}

void PortalGlobalShortcuts::giveUp(const QString& why) {
    if (gaveUp_) {
        return;
    }
    gaveUp_ = true;
    AvDebugLogger::instance().log(AvDebugLogger::kInfo,
                                  "PortalGlobalShortcuts: no system-wide hot keys (%s); they work "
                                  "while the player has the focus.",
                                  qPrintable(why));
}

void PortalGlobalShortcuts::start() {
    if (!connection_.isConnected()) {
        giveUp(QStringLiteral("no session bus"));
        return;
    }
    // Listen for the answer before asking, so a quick answer is not missed.
    connection_.connect(QLatin1String(kService), requestPath(kCreateToken),
                        QStringLiteral("org.freedesktop.portal.Request"),
                        QStringLiteral("Response"), this, SLOT(sessionCreated(uint, QVariantMap)));
    QDBusMessage call =
        QDBusMessage::createMethodCall(QLatin1String(kService), QLatin1String(kPath),
                                       QLatin1String(kInterface), QStringLiteral("CreateSession"));
    call << QVariantMap{{QStringLiteral("handle_token"), kCreateToken},
                        {QStringLiteral("session_handle_token"), kSessionToken}};
    auto* watcher = new QDBusPendingCallWatcher(connection_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* finished) {
                finished->deleteLater();
                if (finished->isError()) {
                    giveUp(QStringLiteral("the desktop portal offers no GlobalShortcuts: ") +
                           finished->error().message());
                }
            });
}

void PortalGlobalShortcuts::sessionCreated(uint response, const QVariantMap& results) {
    if (response != 0) {
        giveUp(QStringLiteral("the desktop declined the session"));
        return;
    }
    const QVariant handle = results.value(QStringLiteral("session_handle"));
    session_ = handle.canConvert<QDBusObjectPath>() && handle.userType() != QMetaType::QString
                   ? qvariant_cast<QDBusObjectPath>(handle).path()
                   : handle.toString();
    if (session_.isEmpty()) {
        giveUp(QStringLiteral("the portal named no session"));
        return;
    }
    connection_.connect(QLatin1String(kService), QLatin1String(kPath), QLatin1String(kInterface),
                        QStringLiteral("Activated"), this,
                        SLOT(activated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
    connection_.connect(QLatin1String(kService), requestPath(kBindToken),
                        QStringLiteral("org.freedesktop.portal.Request"),
                        QStringLiteral("Response"), this, SLOT(shortcutsBound(uint, QVariantMap)));
    QDBusMessage call =
        QDBusMessage::createMethodCall(QLatin1String(kService), QLatin1String(kPath),
                                       QLatin1String(kInterface), QStringLiteral("BindShortcuts"));
    call << QVariant::fromValue(QDBusObjectPath(session_)) << QVariant::fromValue(shortcuts())
         << QString() << QVariantMap{{QStringLiteral("handle_token"), kBindToken}};
    auto* watcher = new QDBusPendingCallWatcher(connection_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* finished) {
                finished->deleteLater();
                if (finished->isError()) {
                    giveUp(QStringLiteral("binding failed: ") + finished->error().message());
                }
            });
}

void PortalGlobalShortcuts::shortcutsBound(uint response, const QVariantMap&) {
    if (response != 0) {
        giveUp(QStringLiteral("the desktop declined the hot keys"));
        return;
    }
    bound_ = true;
    AvDebugLogger::instance().log(AvDebugLogger::kInfo,
                                  "PortalGlobalShortcuts: the hot keys are system-wide.");
}

void PortalGlobalShortcuts::activated(const QDBusObjectPath& session, const QString& shortcutId,
                                      qulonglong, const QVariantMap&) {
    if (session.path() != session_) {
        return;
    }
    const int id = hotKeyId(shortcutId);
    if (id != 0) {
        handler_(id);
    }
}
