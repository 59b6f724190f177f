#include "Win32_WindowMessage.h"

#include <QCoreApplication>
#include <QObject>

namespace {

bool inUserRange(int message) {
    return message >= QEvent::User && message <= QEvent::MaxUser;
}

}  // namespace

Win32_WindowMessage::Win32_WindowMessage(int message, intptr_t wParam, intptr_t lParam)
    : QEvent(static_cast<QEvent::Type>(message)), wParam_(wParam), lParam_(lParam) {}

Win32_WindowMessage::~Win32_WindowMessage() = default;

bool Win32_WindowMessage::post(QObject* receiver, int message, intptr_t wParam, intptr_t lParam) {
    if (receiver == nullptr || !inUserRange(message)) {
        return false;
    }
    QCoreApplication::postEvent(receiver, new Win32_WindowMessage(message, wParam, lParam));
    return true;
}

bool Win32_WindowMessage::send(QObject* receiver, int message, intptr_t wParam, intptr_t lParam) {
    if (receiver == nullptr || !inUserRange(message)) {
        return false;
    }
    Win32_WindowMessage event(message, wParam, lParam);
    return QCoreApplication::sendEvent(receiver, &event);
}

const Win32_WindowMessage* Win32_WindowMessage::fromEvent(const QEvent* event) {
    if (event == nullptr || !inUserRange(static_cast<int>(event->type()))) {
        return nullptr;
    }
    return dynamic_cast<const Win32_WindowMessage*>(event);
}
