#pragma once

#include <QEvent>
#include <cstdint>

class QObject;

// A window message: a posted event whose type is the message number, carrying the two message
// parameters. Every number used here lies in Qt's user range (1000-65535), so a window tells its
// messages from Qt's own events by the type and the class (fromEvent).
class Win32_WindowMessage final : public QEvent {
public:
    // WM_USER: the first number of the window's private messages.
    static constexpr int kUser = 1024;

    // Messages of the main window.
    static constexpr int kRewindStep = kUser + 1;            // 1025
    static constexpr int kAdvanceStep = kUser + 3;           // 1027
    static constexpr int kJogTimer = kUser + 28;             // 1052
    static constexpr int kLoadSession = kUser + 34;          // 1058
    static constexpr int kTimeSliderReleased = kUser + 256;  // 1280: wParam id, lParam seconds
    static constexpr int kChannelLevelSet = kUser + 260;     // 1284: wParam id, lParam percent
    static constexpr int kChannelMuteChanged = kUser + 261;  // 1285: wParam id, lParam 1 muted
    static constexpr int kSpeedPosition = 2626;              // wParam track-bar position
    static constexpr int kFastForwardPressed = 4028;         // transport buttons
    static constexpr int kRewindPressed = 4029;
    static constexpr int kTransportReleased = 4030;

    Win32_WindowMessage(int message, intptr_t wParam, intptr_t lParam);
    ~Win32_WindowMessage() override;

    int message() const { return static_cast<int>(type()); }
    intptr_t wParam() const { return wParam_; }
    intptr_t lParam() const { return lParam_; }

    // Posts the message to `receiver`'s event queue (any thread; the receiver's thread handles
    // it). Messages outside Qt's user range, or a null receiver, are dropped and false returned.
    static bool post(QObject* receiver, int message, intptr_t wParam, intptr_t lParam);
    // Delivers the message at once on the calling thread (the receiver's thread).
    static bool send(QObject* receiver, int message, intptr_t wParam, intptr_t lParam);
    // The window message `event` is, or null when it is some other event.
    static const Win32_WindowMessage* fromEvent(const QEvent* event);

private:
    intptr_t wParam_;
    intptr_t lParam_;
};
