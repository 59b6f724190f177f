#include "MprisRootInterface.h"

#include <QWidget>

#include "MprisAdaptor.h"
#include "TransportTarget.h"

MprisRootInterface::MprisRootInterface(MprisAdaptor* owner)
    : QDBusAbstractAdaptor(owner), owner_(owner) {}

void MprisRootInterface::Quit() {
    owner_->requestClose();
}

void MprisRootInterface::Raise() {
    if (QWidget* window = owner_->window()) {
        window->show();
        window->raise();
        window->activateWindow();
    }
}
