#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusObjectPath>
#include <QVariantMap>

class MprisAdaptor;

// org.mpris.MediaPlayer2.Player: the transport. The player has no pause of its own: Pause
// stops, and Play resumes from where the slider stands. Next and Previous are the advance and
// rewind steps; positions are microseconds from the session's start.
class MprisPlayerInterface final : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
    Q_PROPERTY(double Rate READ rate)
    Q_PROPERTY(double MinimumRate READ rate)
    Q_PROPERTY(double MaximumRate READ rate)
    Q_PROPERTY(double Volume READ volume)
    Q_PROPERTY(QVariantMap Metadata READ metadata)
    Q_PROPERTY(qlonglong Position READ position)
    Q_PROPERTY(bool CanGoNext READ canControlSession)
    Q_PROPERTY(bool CanGoPrevious READ canControlSession)
    Q_PROPERTY(bool CanPlay READ canControlSession)
    Q_PROPERTY(bool CanPause READ canControlSession)
    Q_PROPERTY(bool CanSeek READ canControlSession)
    Q_PROPERTY(bool CanControl READ canControl)
public:
    explicit MprisPlayerInterface(MprisAdaptor* owner);

    QString playbackStatus() const;
    double rate() const { return 1.0; }
    double volume() const { return 1.0; }
    QVariantMap metadata() const;
    qlonglong position() const;
    bool canControlSession() const;
    bool canControl() const { return true; }

public slots:
    void Next();
    void Previous();
    void Pause();
    void PlayPause();
    void Stop();
    void Play();
    void Seek(qlonglong offset);
    void SetPosition(const QDBusObjectPath& trackId, qlonglong position);
    void OpenUri(const QString& uri);

signals:
    void Seeked(qlonglong position);

private:
    MprisAdaptor* owner_;
};
