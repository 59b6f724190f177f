#pragma once

// The names of the images in the program's resource archive (exact, case-sensitive; the
// backslash is part of the name).
namespace ResourceNames {
constexpr const char* kRewind = "Graphics\\Rewind.png";
constexpr const char* kRewindPressed = "Graphics\\Rewind-pressed.png";
constexpr const char* kPlay = "Graphics\\Play.png";
constexpr const char* kPlayPressed = "Graphics\\Play-pressed.png";
constexpr const char* kSpeedControlFrame = "Graphics\\Speed-control-frame.png";
constexpr const char* kFastForward = "Graphics\\ff.png";
constexpr const char* kFastForwardPressed = "Graphics\\ff-pressed.png";
constexpr const char* kAnnotatorUp = "Graphics\\Annotator-Up.png";
constexpr const char* kAnnotatorDown = "Graphics\\Annotator-Down.png";
constexpr const char* kMinimize = "Graphics\\Minimize.png";
constexpr const char* kMinimizePressed = "Graphics\\Minimize-pressed.png";
constexpr const char* kClose = "Graphics\\Close.png";
constexpr const char* kClosePressed = "Graphics\\Close-pressed.png";
constexpr const char* kPlayAll = "Graphics\\PlayAll.png";
constexpr const char* kPlayAllOver = "Graphics\\PlayAll-over.png";
constexpr const char* kBackground = "Graphics\\Galewick_wAnnotator.png";
constexpr const char* kMeterFormat = "Graphics\\Meters_Vertical_%d.png";  // 0 ... 5
constexpr const char* kTimeButtonBackground = "Graphics\\timebuttonbg.png";
}  // namespace ResourceNames
