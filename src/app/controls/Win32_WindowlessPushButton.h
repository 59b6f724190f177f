#pragma once

#include "Win32_WindowlessButton.h"

// A toggling windowless button (the transport buttons). A click on an inactive button makes it
// active and pressed and, on release, posts the click message; the next click makes it inactive
// and, on release, shows it up and posts the release message. The owner also sets and clears
// the active flag directly (playback started or stopped elsewhere). A press whose release falls
// outside the button is cancelled: nothing is posted and the button returns to the state it had
// before the press.
class Win32_WindowlessPushButton : public Win32_WindowlessButton {
public:
    Win32_WindowlessPushButton(Win32_BasicWindow* owner, int x, int y, int width, int height,
                               int id, bool border);
    ~Win32_WindowlessPushButton() override;

    void mouseDown(int x, int y) override;
    void mouseUp(int x, int y) override;

    using Win32_WindowlessButton::loadImages;
    // Both faces and both messages.
    virtual bool loadImages(const std::string& upName, const std::string& downName,
                            int clickMessage, int releaseMessage);
    // Posts the release message (control id, 0) to the owner.
    virtual void notifyRelease();

    bool isActive() const { return active_; }
    // Set by the owner; does not change the pressed state or post anything.
    void setActive(bool active) { active_ = active; }
    void setReleaseMessage(int message) { releaseMessage_ = message; }
    int releaseMessage() const { return releaseMessage_; }

private:
    int releaseMessage_ = 0;
    bool active_ = false;
    // Between a press inside and its release: the state before the press, to undo it.
    bool tracking_ = false;
    bool activeBeforePress_ = false;
    bool pressedBeforePress_ = false;
};
