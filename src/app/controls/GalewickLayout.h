#pragma once

// Where the main window lays its controls on the 677 x 476 background image
// "Graphics\Galewick_wAnnotator.png". The background's panels are drawn at these rectangles, so
// the window and the artwork change together. Logical pixels of the window's canvas.
namespace GalewickLayout {

struct Rect {
    int x;
    int y;
    int width;
    int height;
    constexpr int right() const { return x + width; }
    constexpr int bottom() const { return y + height; }
};

constexpr int kWidth = 677;
constexpr int kHeight = 476;

// Header strip: status line on the left, minimize and close buttons (18 x 18) on the right.
constexpr Rect kHeader{0, 0, 677, 30};
constexpr Rect kStatusText{12, 6, 560, 18};
constexpr Rect kMinimizeButton{627, 6, 18, 18};
constexpr Rect kCloseButton{649, 6, 18, 18};

// Video (4:3) and the annotation list beside it.
constexpr Rect kVideo{10, 36, 288, 216};
constexpr Rect kAnnotationList{306, 36, 361, 216};

// Time slider across the window: markers, track, thumb and its three time labels.
constexpr Rect kTimeSlider{10, 260, 657, 52};

// Bottom row, left: transport buttons (55 x 60), then the clock panel and the speed frame.
constexpr Rect kTransportPanel{6, 318, 240, 152};
constexpr Rect kRewindButton{10, 322, 55, 60};
constexpr Rect kPlayButton{69, 322, 55, 60};
constexpr Rect kFastForwardButton{128, 322, 55, 60};
constexpr Rect kPlayAllButton{187, 322, 55, 60};
constexpr Rect kClockTime{16, 390, 146, 30};   // clock time of the position, large
constexpr Rect kClockDate{16, 420, 146, 16};   // session date
constexpr Rect kPlayTime{16, 438, 146, 16};    // elapsed / play time
constexpr Rect kSpeedFrame{188, 392, 50, 30};  // "Graphics\Speed-control-frame.png"
constexpr Rect kSpeedText{188, 392, 50, 30};   // "%.01fx" inside the frame
constexpr Rect kAnnotatorToggle{200, 432, 30, 30};

// Bottom row, middle: the two time entry edits (182 x 26) with their captions.
constexpr Rect kTimeEntryPanel{250, 318, 190, 152};
constexpr Rect kTimeEditCaption1{254, 324, 182, 16};
constexpr Rect kTimeEdit1{254, 342, 182, 26};  // edit 301
constexpr Rect kTimeEditCaption2{254, 376, 182, 16};
constexpr Rect kTimeEdit2{254, 394, 182, 26};            // edit 302
constexpr Rect kTimeButtonBackground{254, 430, 34, 21};  // "Graphics\timebuttonbg.png"

// Bottom row, right: channel strips (eight channels and the master strip at the right end).
constexpr Rect kChannelPanel{444, 318, 223, 152};
constexpr int kChannelStripWidth = 24;
constexpr int kChannelStripPitch = 25;
constexpr int kChannelStripTop = 324;
constexpr int kChannelStripHeight = 140;
constexpr int kChannelStripsShown = 8;  // channels beyond these narrow the strips

// The strip of channel `index` (0-based) when `count` channels are shown; the master strip is
// index == count, at the panel's right end apart from the others. Channel strips run from the
// left and narrow when more than kChannelStripsShown channels share the room left of the master.
constexpr Rect channelStrip(int index, int count) {
    const int masterX = kChannelPanel.right() - 4 - kChannelStripWidth;
    if (index >= count || count <= 0) {
        return Rect{masterX, kChannelStripTop, kChannelStripWidth, kChannelStripHeight};
    }
    const int left = kChannelPanel.x + 4;
    const int available = masterX - 6 - left;
    int pitch = kChannelStripPitch;
    if (count * pitch > available) {
        pitch = available / count;
    }
    const int width = pitch - 1 < kChannelStripWidth ? pitch - 1 : kChannelStripWidth;
    return Rect{left + index * pitch, kChannelStripTop, width, kChannelStripHeight};
}

}  // namespace GalewickLayout
