#pragma once

#include <QObject>
#include <string>

class QLineEdit;
class Win32_BasicWindow;
class Win32_WindowlessButton;
class Win32_WindowlessPushButton;
class Win32_WindowlessTextDisplay;
class Win32_WindowlessTimeSlider;

// The controls of the main window that show and move the position: the transport buttons
// (100 rewind, 101 play, 102 fast forward), the annotation-panel toggle, minimize and close, the
// time slider (106), the status line, the clock, date and play-time texts, the speed frame and
// text, and the two time edits (301 selection start, 302 selection end), laid out on the
// background as GalewickLayout has it.
//
// The time edits take a clock time of the session's location ("09:15:30", "9:15:30 AM"): Enter
// moves that end of the slider's selection there (the other end stays, or is the session's end
// or start while there is no selection), and an edit whose text is no time says so in the status
// line. They are enabled only while annotation edits are allowed.
//
// User-interface thread only.
class TransportBar final : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kNoSessionText = "No session loaded, right click to load...";
    static constexpr const char* kLoadingText = "Loading session ...";

    explicit TransportBar(Win32_BasicWindow& window);
    ~TransportBar() override;
    TransportBar(const TransportBar&) = delete;
    TransportBar& operator=(const TransportBar&) = delete;

    Win32_WindowlessPushButton* button(int id) const;
    Win32_WindowlessTimeSlider& slider() const { return *slider_; }
    Win32_WindowlessTextDisplay& status() const { return *status_; }
    Win32_WindowlessTextDisplay& clock() const { return *clock_; }
    Win32_WindowlessTextDisplay& date() const { return *date_; }
    Win32_WindowlessTextDisplay& playTime() const { return *playTime_; }
    Win32_WindowlessTextDisplay& speedText() const { return *speedText_; }
    QLineEdit& startEdit() const { return *startEdit_; }
    QLineEdit& endEdit() const { return *endEdit_; }

    void setStatus(const std::string& text);

    // The open session: its range on the slider, the location's clock (offset from UTC in
    // seconds) and day for the texts and the edits. clearSession() shows "--:--:--" everywhere.
    void setSession(double start, double end, int offsetSeconds, int year, int month, int day);
    void clearSession();
    bool hasSession() const { return hasSession_; }
    int offsetSeconds() const { return offsetSeconds_; }

    // A position heard or sought: the slider and the clock follow.
    void showPosition(double epochSeconds);
    // Play button 101 shown pressed and active (playing) or released and inactive.
    void showPlaying(bool playing);

    // Esc: the clock shows "--:--:--" and both edits are emptied.
    void clearTimeTexts();
    void setTimeEditsEnabled(bool enabled);
    // Reads edit 301 or 302 and moves that end of the selection; false when its text is no time
    // (the status line says so) or no session is open.
    bool applyTimeEdit(int editId);
    // The edits show the selection's ends.
    void showSelectionInEdits();

private:
    Win32_WindowlessPushButton* makePushButton(int id, const char* up, const char* down,
                                               int clickMessage, int releaseMessage,
                                               const char* fallbackLabel);
    Win32_WindowlessButton* makeButton(int id, const char* up, const char* down, int clickMessage,
                                       const char* fallbackLabel);
    Win32_WindowlessTextDisplay* makeText(int id, int x, int y, int width, int height,
                                          int pixelSize, bool bold, int alignment);
    QLineEdit* makeEdit(int id, int x, int y, int width, int height);
    std::string clockText(double epochSeconds) const;

    Win32_BasicWindow& window_;
    Win32_WindowlessPushButton* rewind_ = nullptr;
    Win32_WindowlessPushButton* play_ = nullptr;
    Win32_WindowlessPushButton* fastForward_ = nullptr;
    Win32_WindowlessTimeSlider* slider_ = nullptr;
    Win32_WindowlessTextDisplay* status_ = nullptr;
    Win32_WindowlessTextDisplay* clock_ = nullptr;
    Win32_WindowlessTextDisplay* date_ = nullptr;
    Win32_WindowlessTextDisplay* playTime_ = nullptr;
    Win32_WindowlessTextDisplay* speedText_ = nullptr;
    QLineEdit* startEdit_ = nullptr;
    QLineEdit* endEdit_ = nullptr;

    bool hasSession_ = false;
    double start_ = 0.0;
    double end_ = 0.0;
    int offsetSeconds_ = 0;
    int year_ = 0;
    int month_ = 0;
    int day_ = 0;
};
