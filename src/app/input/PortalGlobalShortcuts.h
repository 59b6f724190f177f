#pragma once

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QList>
#include <QObject>
#include <QString>
#include <QVariantMap>
#include <functional>

// One shortcut as the desktop portal takes it: (id, {description, preferred_trigger}).
struct PortalShortcut {
    QString id;
    QVariantMap properties;
};
Q_DECLARE_METATYPE(PortalShortcut)
QDBusArgument& operator<<(QDBusArgument& argument, const PortalShortcut& shortcut);
const QDBusArgument& operator>>(const QDBusArgument& argument, PortalShortcut& shortcut);

// System-wide hot keys on a Wayland desktop through the desktop portal's GlobalShortcuts
// interface: a session is created, the hot keys are offered with their preferred keys (the
// desktop may ask the user to confirm or change them), and each activation reaches the handler
// with the hot key's id. Without the portal, or when the desktop declines, nothing happens
// beyond one line in the log. Lives on the user-interface thread.
class PortalGlobalShortcuts final : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kService = "org.freedesktop.portal.Desktop";
    static constexpr const char* kPath = "/org/freedesktop/portal/desktop";
    static constexpr const char* kInterface = "org.freedesktop.portal.GlobalShortcuts";

    using Handler = std::function<void(int id)>;

    PortalGlobalShortcuts(Handler handler, const QDBusConnection& connection);
    ~PortalGlobalShortcuts() override;
    PortalGlobalShortcuts(const PortalGlobalShortcuts&) = delete;
    PortalGlobalShortcuts& operator=(const PortalGlobalShortcuts&) = delete;

    // Asks the portal for a session (asynchronously).
    void start();
    // True once the portal bound the shortcuts.
    bool bound() const { return bound_; }

    // The shortcut list offered to the portal, and the hot-key id of a shortcut id (0: none).
    static QList<PortalShortcut> shortcuts();
    static int hotKeyId(const QString& shortcutId);

private slots:
    void sessionCreated(uint response, const QVariantMap& results);
    void shortcutsBound(uint response, const QVariantMap& results);
    void activated(const QDBusObjectPath& session, const QString& shortcutId, qulonglong timestamp,
                   const QVariantMap& options);

private:
    // The object path of the request the portal will answer for `token`.
    QString requestPath(const QString& token) const;
    void giveUp(const QString& why);

    Handler handler_;
    QDBusConnection connection_;
    QString session_;
    bool bound_ = false;
    bool gaveUp_ = false;
};
