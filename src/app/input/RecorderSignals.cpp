#include "RecorderSignals.h"

#include "AvDebugLogger.h"
#include "TransportTarget.h"

QStringList RecorderSignals::signalNames() {
    return {QLatin1String(kRecorderStopped),
            QStringLiteral("Harnoquill2_ChunkReady"),
            QStringLiteral("Harnoquill2_FileComplete"),
            QStringLiteral("Harnoquill2_Stop"),
            QStringLiteral("Harnoquill2_HotkeysUpdated"),
            QStringLiteral("Harnoquill2_ClientClosing"),
            QStringLiteral("Harnoquill2_StopServices")};
}

RecorderSignals::RecorderSignals(TransportTarget& target, const QDBusConnection& connection,
                                 std::function<void()> requestClose)
    : target_(target), connection_(connection), requestClose_(std::move(requestClose)) {
    if (!requestClose_) {
        requestClose_ = [this] {
            QMetaObject::invokeMethod(
                this, [this] { target_.closeWindow(); }, Qt::QueuedConnection);
        };
    }
    if (!connection_.isConnected()) {
        AvDebugLogger::instance().log(
            AvDebugLogger::kWarning,
            "RecorderSignals: no session bus; the recorder's notices will not arrive.");
        return;
    }
    subscribed_ = true;
    for (const QString& name : signalNames()) {
        if (!connection_.connect(QString(), QString(), QString(), name, this,
                                 SLOT(received(QDBusMessage)))) {
            AvDebugLogger::instance().log(AvDebugLogger::kWarning,
                                          "RecorderSignals: could not listen for %s.",
                                          qPrintable(name));
            subscribed_ = false;
        }
    }
}

RecorderSignals::~RecorderSignals() {
    if (!connection_.isConnected()) {
        return;
    }
    for (const QString& name : signalNames()) {
        connection_.disconnect(QString(), QString(), QString(), name, this,
                               SLOT(received(QDBusMessage)));
    }
}

void RecorderSignals::received(const QDBusMessage& message) {
    handle(message.member());
}

void RecorderSignals::handle(const QString& name) {
    if (name == QLatin1String(kRecorderStopped)) {
        AvDebugLogger::instance().log(AvDebugLogger::kInfo,
                                      "RecorderSignals: the recorder stopped; closing.");
        requestClose_();
    }
}
