#include <unistd.h>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <QApplication>
#include <QTest>
#include <cstdlib>
#include <vector>

#include "X11HotKeyGrabber.h"

// Runs on an X server of its own: main() starts the program again under xvfb-run on the xcb
// platform, as another program pressing keys on the same desktop would.

namespace {

constexpr uint32_t kControlL = 0xffe3;
constexpr uint32_t kAltL = 0xffe9;
constexpr uint32_t kShiftL = 0xffe1;
constexpr uint32_t kNumLock = 0xff7f;
constexpr uint32_t kRight = 0xff53;
constexpr uint32_t kF6 = 0xffc3;

// A second client on the same display: it presses keys (XTEST) and grabs keys of its own.
class OtherProgram {
public:
    OtherProgram() : connection_(xcb_connect(nullptr, nullptr)) {
        const xcb_setup_t* setup = xcb_get_setup(connection_);
        root_ = xcb_setup_roots_iterator(setup).data->root;
        first_ = setup->min_keycode;
        count_ = setup->max_keycode - setup->min_keycode + 1;
        xcb_get_keyboard_mapping_reply_t* mapping = xcb_get_keyboard_mapping_reply(
            connection_, xcb_get_keyboard_mapping(connection_, first_, count_), nullptr);
        perCode_ = mapping->keysyms_per_keycode;
        const xcb_keysym_t* symbols = xcb_get_keyboard_mapping_keysyms(mapping);
        symbols_.assign(symbols, symbols + count_ * perCode_);
        std::free(mapping);
    }
    ~OtherProgram() { xcb_disconnect(connection_); }

    uint8_t keyCode(uint32_t symbol) const {
        for (int code = 0; code < count_; ++code) {
            for (int column = 0; column < perCode_; ++column) {
                if (symbols_[static_cast<std::size_t>(code * perCode_ + column)] == symbol) {
                    return static_cast<uint8_t>(first_ + code);
                }
            }
        }
        return 0;
    }
    void key(uint32_t symbol, bool down) {
        xcb_test_fake_input(connection_, down ? XCB_KEY_PRESS : XCB_KEY_RELEASE, keyCode(symbol),
                            XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    }
    // Presses the modifiers, taps the key, releases the modifiers.
    void chord(std::vector<uint32_t> modifiers, uint32_t symbol) {
        for (uint32_t modifier : modifiers) {
            key(modifier, true);
        }
        key(symbol, true);
        key(symbol, false);
        for (auto it = modifiers.rbegin(); it != modifiers.rend(); ++it) {
            key(*it, false);
        }
        xcb_flush(connection_);
    }
    bool grab(uint32_t symbol, uint16_t modifiers) {
        xcb_generic_error_t* error = xcb_request_check(
            connection_, xcb_grab_key_checked(connection_, 1, root_, modifiers, keyCode(symbol),
                                              XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        std::free(error);
        return error == nullptr;
    }

private:
    xcb_connection_t* connection_;
    xcb_window_t root_ = 0;
    uint8_t first_ = 0;
    int count_ = 0;
    int perCode_ = 0;
    std::vector<uint32_t> symbols_;
};

}  // namespace

class X11HotKeyGrabberTest final : public QObject {
    Q_OBJECT
private slots:
    void init();
    void hotKeysReachTheHandlerWhateverHasTheFocus();
    void numLockDoesNotStopAHotKey();
    void aKeyAnotherProgramHoldsIsLeftOutAndTheOthersWork();
    void theGrabsEndWithTheGrabber();
};

void X11HotKeyGrabberTest::init() {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        QSKIP("no X server (xvfb-run is not installed)");
    }
}

void X11HotKeyGrabberTest::hotKeysReachTheHandlerWhateverHasTheFocus() {
    std::vector<int> ids;
    X11HotKeyGrabber grabber([&ids](int id) { ids.push_back(id); });
    QCOMPARE(grabber.grabAll(), 21);
    OtherProgram other;
    other.chord({kControlL}, '3');
    other.chord({kControlL, kAltL}, kRight);
    other.chord({}, '3');                    // no hot key
    other.chord({kControlL, kShiftL}, '3');  // Shift makes it another key
    other.chord({kControlL}, '0');
    QTRY_COMPARE(ids.size(), std::size_t(3));
    QTest::qWait(100);
    QCOMPARE(ids, (std::vector<int>{3, 11, 9}));
}

void X11HotKeyGrabberTest::numLockDoesNotStopAHotKey() {
    std::vector<int> ids;
    X11HotKeyGrabber grabber([&ids](int id) { ids.push_back(id); });
    QVERIFY(grabber.grabAll() > 0);
    OtherProgram other;
    other.chord({}, kNumLock);  // Num Lock on
    other.chord({kControlL}, '1');
    other.chord({}, kNumLock);  // and off again
    QTRY_COMPARE(ids, std::vector<int>{1});
}

void X11HotKeyGrabberTest::aKeyAnotherProgramHoldsIsLeftOutAndTheOthersWork() {
    OtherProgram other;
    QVERIFY(other.grab(kF6, XCB_MOD_MASK_CONTROL));
    std::vector<int> ids;
    X11HotKeyGrabber grabber([&ids](int id) { ids.push_back(id); });
    QCOMPARE(grabber.grabAll(), 20);
    other.chord({kControlL}, kF6);
    other.chord({kControlL}, '2');
    QTRY_COMPARE(ids, std::vector<int>{2});
}

void X11HotKeyGrabberTest::theGrabsEndWithTheGrabber() {
    {
        X11HotKeyGrabber grabber([](int) {});
        QCOMPARE(grabber.grabAll(), 21);
        OtherProgram blocked;
        QVERIFY(!blocked.grab('5', XCB_MOD_MASK_CONTROL));
    }
    OtherProgram other;
    QVERIFY(other.grab('5', XCB_MOD_MASK_CONTROL));
    QVERIFY(other.grab('5', XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_2));
}

int main(int argc, char** argv) {
    // Once, start again on a virtual X server of its own.
    if (std::getenv("GALEWICK_X11_TEST_SERVER") == nullptr &&
        access("/usr/bin/xvfb-run", X_OK) == 0) {
        setenv("GALEWICK_X11_TEST_SERVER", "1", 1);
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        std::vector<char*> arguments = {const_cast<char*>("xvfb-run"), const_cast<char*>("-a"),
                                        const_cast<char*>("-s"),
                                        const_cast<char*>("-screen 0 640x480x24")};
        for (int i = 0; i < argc; ++i) {
            arguments.push_back(argv[i]);
        }
        arguments.push_back(nullptr);
        execv("/usr/bin/xvfb-run", arguments.data());
    }
    QApplication application(argc, argv);
    X11HotKeyGrabberTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "X11HotKeyGrabberTest.moc"
