#include "Win32_WindowlessPushButton.h"

Win32_WindowlessPushButton::Win32_WindowlessPushButton(Win32_BasicWindow* owner, int x, int y,
                                                       int width, int height, int id, bool border)
    : Win32_WindowlessButton(owner, x, y, width, height, id, border) {}

Win32_WindowlessPushButton::~Win32_WindowlessPushButton() = default;

bool Win32_WindowlessPushButton::loadImages(const std::string& upName, const std::string& downName,
                                            int clickMessage, int releaseMessage) {
    releaseMessage_ = releaseMessage;
    return Win32_WindowlessButton::loadImages(upName, downName, clickMessage);
}

void Win32_WindowlessPushButton::notifyRelease() {
    postToOwner(releaseMessage_, getId(), 0);
}

void Win32_WindowlessPushButton::mouseDown(int x, int y) {
    if (!hitTest(x, y)) {
        return;
    }
    tracking_ = true;
    activeBeforePress_ = active_;
    pressedBeforePress_ = isPressed();
    if (active_) {
        active_ = false;
        invalidate();
    } else {
        active_ = true;
        press();
    }
}

void Win32_WindowlessPushButton::mouseUp(int x, int y) {
    if (!tracking_) {
        return;
    }
    tracking_ = false;
    if (!hitTest(x, y)) {
        // The press is taken back: nothing was said to the owner, so nothing changes.
        active_ = activeBeforePress_;
        setPressedState(pressedBeforePress_);
        invalidate();
        return;
    }
    if (active_) {
        notify();
        invalidate();
    } else {
        release();
        notifyRelease();
    }
}
