#pragma once

#include <QAbstractNativeEventFilter>
#include <cstdint>
#include <functional>
#include <vector>

// System-wide hot keys on an X11 desktop: each key of the hot-key table is grabbed on the root
// window (also with Caps Lock and Num Lock on), and the key presses reach the handler whichever
// program has the focus. A key another program holds already is logged and left out. Lives on
// the user-interface thread.
class X11HotKeyGrabber final : public QAbstractNativeEventFilter {
public:
    using Handler = std::function<void(int id)>;

    struct Grab {
        uint8_t keyCode = 0;
        uint16_t modifiers = 0;  // X11 modifier mask (Control, Mod1)
        int id = 0;
    };

    explicit X11HotKeyGrabber(Handler handler);
    ~X11HotKeyGrabber() override;
    X11HotKeyGrabber(const X11HotKeyGrabber&) = delete;
    X11HotKeyGrabber& operator=(const X11HotKeyGrabber&) = delete;

    // Grabs the keys when the application runs on X11 (platform "xcb"); the number of hot keys
    // grabbed, 0 on another platform.
    int grabAll();

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

    // The grabs for a keyboard mapping: `keySymbols` holds symbolsPerCode symbols for each key
    // code from firstKeyCode on. One grab per hot key and key code that carries its symbol.
    static std::vector<Grab> grabsForMapping(const uint32_t* keySymbols, int keyCodeCount,
                                             int symbolsPerCode, uint8_t firstKeyCode);
    // The hot key a key press means (0: none), ignoring Caps Lock, Num Lock and the mouse
    // buttons in `state`.
    static int match(const std::vector<Grab>& grabs, uint8_t keyCode, uint16_t state);

private:
    void ungrabAll();

    Handler handler_;
    void* connection_ = nullptr;  // xcb_connection_t*, owned by Qt
    uint32_t root_ = 0;
    std::vector<Grab> grabs_;
    bool filtering_ = false;
};
