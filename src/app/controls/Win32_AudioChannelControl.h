#pragma once

#include <QImage>
#include <QString>
#include <array>
#include <atomic>
#include <memory>

#include "Win32_WindowlessBase.h"

class Win32_WindowlessButton;

// One channel strip: the level meter (six images by power level, or a thin bar in bar style)
// in a vertical track, the gain knob (a triangle beside the track, dragged up and down) and a
// mute button below. A press in the track moves the knob there and starts a drag; the gain
// follows the knob during the drag; letting go ends it and posts the level message (control id,
// level percent by the knob's place) to the owner, wherever the mouse is let go. A click on the
// mute button toggles the muted flag and posts the mute message (control id, 1 muted / 0 not).
// Without meter images the bar is drawn in their place.
//
// Threads: everything on the user-interface thread, except gain() and isMuted(), which any
// thread may read at any time (the feeder reads them per chunk).
class Win32_AudioChannelControl : public Win32_WindowlessBase {
public:
    static constexpr float kGainMinimum = 0.0f;
    static constexpr float kGainMaximum = 2.0f;
    static constexpr int kMeterImageCount = 6;
    static constexpr int kMuteButtonSize = 18;

    Win32_AudioChannelControl(Win32_BasicWindow* owner, int x, int y, int width, int height, int id,
                              bool border, int levelMessage, bool barStyle = false,
                              bool blueKnob = false);
    ~Win32_AudioChannelControl() override;

    void setRect(int x, int y, int width, int height) override;
    void mouseMove(int x, int y) override;
    void mouseDown(int x, int y) override;
    void mouseUp(int x, int y) override;
    void draw(QPainter& painter) override;

    virtual bool isDragging() const { return dragging_; }
    virtual void setDragging() { dragging_ = true; }
    virtual void clearDragging() { dragging_ = false; }

    // Loads "Graphics\Meters_Vertical_0.png" ... "_5.png"; true when all six loaded.
    bool loadMeterImages();
    void setMeterImages(const std::array<QImage, kMeterImageCount>& images);

    // Power level in percent (0-100, clamped); repaints when the meter image changes (or the
    // bar's height, in bar style).
    void setPowerLevel(double percent);
    double powerLevel() const { return powerLevel_; }
    int meterImageIndex() const;

    // The gain set by the knob (kGainMinimum .. kGainMaximum); any thread.
    float gain() const { return gain_.load(std::memory_order_relaxed); }
    // Moves the knob to the place nearest `gain`; posts nothing.
    void setGain(float gain);
    // The muted flag; any thread.
    bool isMuted() const { return muted_.load(std::memory_order_relaxed); }
    // Shows the mute button pressed / released and sets the flag; posts nothing.
    void mute();
    void unmute();
    void setMuted(bool muted);

    int knobPosition() const { return knob_; }
    int trackTop() const;
    int trackBottom() const;
    QRect trackRect() const;

    void setBarStyle(bool barStyle);
    bool barStyle() const { return barStyle_; }
    void setBlueKnob(bool blue);
    bool blueKnob() const { return blueKnob_; }
    // A short caption under the strip ("1", "2", ... or "M").
    void setCaption(const QString& caption);
    void setLevelMessage(int message) { levelMessage_ = message; }
    void setMuteMessage(int message) { muteMessage_ = message; }
    Win32_WindowlessButton& muteButton() { return *muteButton_; }

private:
    void layoutParts();
    void setKnob(int knob);
    bool showsBar() const;

    std::atomic<float> gain_{1.0f};
    std::atomic<bool> muted_{false};
    double powerLevel_ = 0.0;
    int knob_ = 0;
    bool dragging_ = false;
    bool mutePressed_ = false;
    bool barStyle_;
    bool blueKnob_;
    int levelMessage_;
    int muteMessage_;
    QString caption_;
    std::array<QImage, kMeterImageCount> meterImages_;
    std::unique_ptr<Win32_WindowlessButton> muteButton_;
};
