#include "MprisPlayerInterface.h"

#include "HotKeyTable.h"
#include "MprisAdaptor.h"
#include "TransportTarget.h"

namespace {
// The hot keys the media controls stand for.
constexpr int kNextHotKey = 14;
constexpr int kPreviousHotKey = 15;
}  // namespace

MprisPlayerInterface::MprisPlayerInterface(MprisAdaptor* owner)
    : QDBusAbstractAdaptor(owner), owner_(owner) {}

QString MprisPlayerInterface::playbackStatus() const {
    return owner_->playbackStatus();
}

QVariantMap MprisPlayerInterface::metadata() const {
    return owner_->metadata();
}

qlonglong MprisPlayerInterface::position() const {
    return owner_->positionMicroseconds();
}

bool MprisPlayerInterface::canControlSession() const {
    return owner_->hasSession();
}

void MprisPlayerInterface::Next() {
    if (owner_->hasSession()) {
        HotKeyTable::perform(kNextHotKey, owner_->target(), owner_->jog());
    }
}

void MprisPlayerInterface::Previous() {
    if (owner_->hasSession()) {
        HotKeyTable::perform(kPreviousHotKey, owner_->target(), owner_->jog());
    }
}

void MprisPlayerInterface::Pause() {
    if (owner_->target().isPlaying()) {
        owner_->target().stop();
    }
}

void MprisPlayerInterface::Stop() {
    Pause();
}

void MprisPlayerInterface::Play() {
    if (owner_->hasSession() && !owner_->target().isPlaying()) {
        owner_->target().play();
    }
}

void MprisPlayerInterface::PlayPause() {
    if (owner_->target().isPlaying()) {
        owner_->target().stop();
    } else {
        Play();
    }
}

void MprisPlayerInterface::Seek(qlonglong offset) {
    if (!owner_->hasSession()) {
        return;
    }
    owner_->moveTo(owner_->target().sliderPosition() + static_cast<double>(offset) / 1e6);
}

void MprisPlayerInterface::SetPosition(const QDBusObjectPath& trackId, qlonglong position) {
    if (!owner_->hasSession() || trackId.path() != QLatin1String(MprisAdaptor::kSessionTrackId)) {
        return;
    }
    const TransportTarget& target = owner_->target();
    const double seconds = target.sessionStartSeconds() + static_cast<double>(position) / 1e6;
    if (position < 0 || seconds > target.sessionEndSeconds()) {
        return;
    }
    owner_->moveTo(seconds);
}

void MprisPlayerInterface::OpenUri(const QString&) {}
