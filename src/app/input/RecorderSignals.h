#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QStringList>
#include <functional>

class TransportTarget;

// The recorder's notices, as D-Bus signals of these names on the session bus, from any sender,
// object path and interface (a recorder sends them from path "/" on interface
// "org.galewick.Recorder"). "Harnoquill2_OmnitraceRecorderStopped" closes the main window; the
// others are accepted and do nothing.
class RecorderSignals final : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kRecorderStopped = "Harnoquill2_OmnitraceRecorderStopped";
    static constexpr const char* kRecommendedInterface = "org.galewick.Recorder";
    static QStringList signalNames();

    // Subscribes on `connection`; without a bus it logs and does nothing. `requestClose` asks
    // the window to close later (closing at once could destroy this object inside its own
    // handler); without it the close is queued to this object.
    RecorderSignals(TransportTarget& target, const QDBusConnection& connection,
                    std::function<void()> requestClose = {});
    ~RecorderSignals() override;
    RecorderSignals(const RecorderSignals&) = delete;
    RecorderSignals& operator=(const RecorderSignals&) = delete;

    bool subscribed() const { return subscribed_; }

    // One received signal by its member name.
    void handle(const QString& name);

private slots:
    void received(const QDBusMessage& message);

private:
    TransportTarget& target_;
    QDBusConnection connection_;
    std::function<void()> requestClose_;
    bool subscribed_ = false;
};
