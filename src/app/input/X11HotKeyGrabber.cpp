#include "X11HotKeyGrabber.h"

#include <xcb/xcb.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <algorithm>
#include <cstdlib>

#include "AvDebugLogger.h"
#include "HotKeyTable.h"

namespace {

constexpr uint16_t kRelevantModifiers =
    XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4;
// Caps Lock and Num Lock (Mod2 on the usual layouts) must not stop a hot key.
constexpr uint16_t kLockVariants[] = {0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2,
                                      XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2};

uint16_t x11Modifiers(unsigned modifiers) {
    uint16_t mask = 0;
    if (modifiers & HotKeyTable::kControl) {
        mask |= XCB_MOD_MASK_CONTROL;
    }
    if (modifiers & HotKeyTable::kAlt) {
        mask |= XCB_MOD_MASK_1;
    }
    return mask;
}

}  // namespace

X11HotKeyGrabber::X11HotKeyGrabber(Handler handler) : handler_(std::move(handler)) {}

X11HotKeyGrabber::~X11HotKeyGrabber() {
    ungrabAll();
    if (filtering_ && QCoreApplication::instance() != nullptr) {
        QCoreApplication::instance()->removeNativeEventFilter(this);
    }
}

std::vector<X11HotKeyGrabber::Grab> X11HotKeyGrabber::grabsForMapping(const uint32_t* keySymbols,
                                                                      int keyCodeCount,
                                                                      int symbolsPerCode,
                                                                      uint8_t firstKeyCode) {
    std::vector<Grab> grabs;
    for (const HotKeyTable::Entry& entry : HotKeyTable::entries()) {
        const uint16_t modifiers = x11Modifiers(entry.modifiers);
        for (int code = 0; code < keyCodeCount; ++code) {
            bool carries = false;
            for (int column = 0; column < symbolsPerCode && !carries; ++column) {
                const uint32_t symbol = keySymbols[code * symbolsPerCode + column];
                for (uint32_t wanted : entry.keySymbols) {
                    carries = carries || (wanted != 0 && symbol == wanted);
                }
            }
            if (!carries) {
                continue;
            }
            const auto keyCode = static_cast<uint8_t>(firstKeyCode + code);
            bool duplicate = false;
            for (const Grab& grab : grabs) {
                duplicate = duplicate || (grab.keyCode == keyCode && grab.modifiers == modifiers);
            }
            if (!duplicate) {
                grabs.push_back({keyCode, modifiers, entry.id});
            }
        }
    }
    return grabs;
}

int X11HotKeyGrabber::match(const std::vector<Grab>& grabs, uint8_t keyCode, uint16_t state) {
    const uint16_t modifiers = state & kRelevantModifiers;
    for (const Grab& grab : grabs) {
        if (grab.keyCode == keyCode && grab.modifiers == modifiers) {
            return grab.id;
        }
    }
    return 0;
}

int X11HotKeyGrabber::grabAll() {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        return 0;
    }
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr || x11->connection() == nullptr) {
        return 0;
    }
    xcb_connection_t* connection = x11->connection();
    connection_ = connection;
    const xcb_setup_t* setup = xcb_get_setup(connection);
    root_ = xcb_setup_roots_iterator(setup).data->root;

    const int count = setup->max_keycode - setup->min_keycode + 1;
    xcb_get_keyboard_mapping_reply_t* mapping = xcb_get_keyboard_mapping_reply(
        connection, xcb_get_keyboard_mapping(connection, setup->min_keycode, count), nullptr);
    if (mapping == nullptr) {
        AvDebugLogger::instance().log(AvDebugLogger::kWarning,
                                      "X11HotKeyGrabber: the keyboard mapping could not be read; "
                                      "no system-wide hot keys.");
        return 0;
    }
    const std::vector<Grab> wanted =
        grabsForMapping(xcb_get_keyboard_mapping_keysyms(mapping), count,
                        mapping->keysyms_per_keycode, setup->min_keycode);
    std::free(mapping);

    std::vector<int> grabbedIds;
    for (const Grab& grab : wanted) {
        bool taken = false;
        for (uint16_t variant : kLockVariants) {
            xcb_generic_error_t* error = xcb_request_check(
                connection,
                xcb_grab_key_checked(connection, 1, root_, grab.modifiers | variant, grab.keyCode,
                                     XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
            if (error != nullptr) {
                taken = true;
                std::free(error);
            }
        }
        const HotKeyTable::Entry* entry = HotKeyTable::find(grab.id);
        if (taken) {
            AvDebugLogger::instance().log(
                AvDebugLogger::kWarning,
                "X11HotKeyGrabber: the hot key %s (%d) is held by another program; it works only "
                "while the player has the focus.",
                entry != nullptr ? entry->trigger : "?", grab.id);
            for (uint16_t variant : kLockVariants) {
                xcb_ungrab_key(connection, grab.keyCode, root_, grab.modifiers | variant);
            }
            continue;
        }
        grabs_.push_back(grab);
        if (std::find(grabbedIds.begin(), grabbedIds.end(), grab.id) == grabbedIds.end()) {
            grabbedIds.push_back(grab.id);
        }
    }
    xcb_flush(connection);
    if (!filtering_) {
        QCoreApplication::instance()->installNativeEventFilter(this);
        filtering_ = true;
    }
    AvDebugLogger::instance().log(AvDebugLogger::kInfo,
                                  "X11HotKeyGrabber: %zu of %d hot keys are system-wide.",
                                  grabbedIds.size(), HotKeyTable::kLastId);
    return static_cast<int>(grabbedIds.size());
}

void X11HotKeyGrabber::ungrabAll() {
    // The connection belongs to the application and ends with it.
    if (connection_ == nullptr || grabs_.empty() || QCoreApplication::instance() == nullptr) {
        return;
    }
    auto* connection = static_cast<xcb_connection_t*>(connection_);
    for (const Grab& grab : grabs_) {
        for (uint16_t variant : kLockVariants) {
            xcb_ungrab_key(connection, grab.keyCode, root_, grab.modifiers | variant);
        }
    }
    xcb_flush(connection);
    grabs_.clear();
}

bool X11HotKeyGrabber::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t" || grabs_.empty()) {
        return false;
    }
    auto* event = static_cast<xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_KEY_PRESS) {
        return false;
    }
    auto* press = reinterpret_cast<xcb_key_press_event_t*>(event);
    if (press->event != root_) {
        return false;
    }
    const int id = match(grabs_, press->detail, press->state);
    if (id == 0) {
        return false;
    }
    handler_(id);
    return true;
}
