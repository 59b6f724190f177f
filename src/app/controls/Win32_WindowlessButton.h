#pragma once

#include <QImage>
#include <string>

#include "Win32_WindowlessBase.h"

// A windowless button with an up and a down face from the resource archive. A press inside
// shows it pressed; releasing inside posts the click message (control id, 0) to the owner;
// the release of that press, inside or not, shows it up again. Releases of presses that began
// elsewhere leave it alone (the owner may show it pressed). Without faces it draws a plain face of
// its own, so the window still works.
class Win32_WindowlessButton : public Win32_WindowlessBase {
public:
    Win32_WindowlessButton(Win32_BasicWindow* owner, int x, int y, int width, int height, int id,
                           bool border);
    ~Win32_WindowlessButton() override;

    void mouseMove(int x, int y) override;
    void mouseDown(int x, int y) override;
    void mouseUp(int x, int y) override;
    void draw(QPainter& painter) override;

    // Loads both faces from the program's resource archive and keeps the click message. True
    // when both faces loaded; a missing face is left empty (the message is kept either way).
    virtual bool loadImages(const std::string& upName, const std::string& downName,
                            int clickMessage);
    virtual bool isPressed() const { return pressed_; }
    virtual void press();
    virtual void release();
    // Posts the click message (control id, 0) to the owner.
    virtual void notify();

    // Faces given directly (tests, drawn faces); either may be null.
    void setImages(const QImage& up, const QImage& down);
    void setClickMessage(int message) { clickMessage_ = message; }
    int clickMessage() const { return clickMessage_; }
    bool hasImages() const { return !upImage_.isNull() && !downImage_.isNull(); }
    // The label drawn on the plain face when the button has no images (a glyph or short text).
    void setFallbackLabel(const QString& label) { fallbackLabel_ = label; }

protected:
    void setPressedState(bool pressed) { pressed_ = pressed; }
    void drawFace(QPainter& painter, bool down) const;

private:
    int clickMessage_ = 0;
    bool pressed_ = false;
    bool tracking_ = false;  // a press on this button awaits its release
    QImage upImage_;
    QImage downImage_;
    QString fallbackLabel_;
};
