#pragma once

// Command ids of the main window's menus (carried as QAction data) and the transport controls,
// and the private window messages the main window handles besides those of the controls.
namespace GalewickCommandIds {

// Transport buttons and the time slider.
inline constexpr int kRewindButton = 100;
inline constexpr int kPlayButton = 101;
inline constexpr int kFastForwardButton = 102;
inline constexpr int kAboutAccelerator = 104;
inline constexpr int kExit = 105;
inline constexpr int kTimeSlider = 106;
inline constexpr int kSelectionStartEdit = 301;
inline constexpr int kSelectionEndEdit = 302;

// Main menu 109 (player) and 110 (sealer).
inline constexpr int kPlayerMenu = 109;
inline constexpr int kSealerMenu = 110;
inline constexpr int kOpenSession = 32771;
inline constexpr int kAdvanced = 32772;
inline constexpr int kHideVideoWindow = 32806;
inline constexpr int kSaveAnnotationsHtml = 32800;
inline constexpr int kSaveAnnotationsText = 32824;
inline constexpr int kPrintAnnotations = 32798;
inline constexpr int kSearchOpenSession = 32810;
inline constexpr int kSearchAllSessions = 32811;
inline constexpr int kCopy = 32797;
inline constexpr int kExportSession = 32825;
inline constexpr int kSealSelectedRange = 32789;
inline constexpr int kUnseal = 32790;
inline constexpr int kRecoverSealingSession = 32793;
inline constexpr int kAbout = 32803;
inline constexpr int kUserGuide = 32821;

// Pop-up menu 145 of the annotation list.
inline constexpr int kAnnotationMenu = 145;
inline constexpr int kEditAnnotation = 32812;
inline constexpr int kAllowAnnotationEdits = 32823;
inline constexpr int kEnableFollowPlay = 32822;

// The step lengths of the two duration menus, in seconds, and their command ids in that order.
inline constexpr int kStepSeconds[6] = {1, 5, 15, 30, 60, 300};
inline constexpr int kAdvanceDurationIds[6] = {32817, 32782, 32783, 32784, 32785, 32786};
inline constexpr int kRewindDurationIds[6] = {32818, 32776, 32777, 32778, 32779, 32780};

// Window messages (WM_USER + n) the main window handles.
inline constexpr int kRewindStepMessage = 1025;
inline constexpr int kAdvanceStepMessage = 1027;
inline constexpr int kJogTimerMessage = 1052;
inline constexpr int kLoadSessionMessage = 1058;
inline constexpr int kSliderReleasedMessage = 1280;
inline constexpr int kSpeedMessage = 2626;
inline constexpr int kHoldPressedMessage = 4028;
inline constexpr int kHoldRepeatMessage = 4029;
inline constexpr int kHoldReleasedMessage = 4030;

// The window's own buttons post these (WM_USER + n, clear of the numbers above).
inline constexpr int kPlayPressedMessage = 1101;
inline constexpr int kPlayReleasedMessage = 1102;
inline constexpr int kAnnotatorToggleMessage = 1103;
inline constexpr int kMinimizeMessage = 1104;
inline constexpr int kCloseMessage = 1105;

// Control ids of the other windowless controls.
inline constexpr int kAnnotatorToggle = 103;
inline constexpr int kMinimizeButton = 107;
inline constexpr int kCloseButton = 108;
inline constexpr int kSpeedFrame = 110;
inline constexpr int kStatusText = 120;
inline constexpr int kClockText = 121;
inline constexpr int kDateText = 122;
inline constexpr int kPlayTimeText = 123;
inline constexpr int kSpeedText = 124;

}  // namespace GalewickCommandIds
