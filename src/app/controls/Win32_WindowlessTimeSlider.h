#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Win32_WindowlessBase.h"

class Win32_WindowlessTextDisplay;

// The session's time line: the recorded segments (sealed ranges drawn hatched), the selection
// markers (red triangles above the track), the thumb (dark triangle below it) and three labels
// with the clock times of the session's start, end and current position in the location's time.
//
// Mouse: a press inside starts a drag of the thumb, the selection start marker or the selection
// end marker, whichever it hits first in that order (where the two markers lie together, a
// press left of them takes the start marker, any other the end marker); a press elsewhere on the
// control starts no drag. A marker cannot pass the other one. Releasing over the track (between
// the tops of the markers and the foot of the thumb, not over the labels) posts
// kTimeSliderReleased (control id, whole epoch seconds under the mouse) to the owner, which
// plays from there. Releasing ends every drag.
//
// Keys (handed on by the owner): Left / Right move the position one second back / forward and
// post kTimeSliderReleased with the new time, like a click there; Up / Down (first press, not
// repeats) post kFastForwardPressed / kRewindPressed, the held step the owner ends on the key's
// release; "[" and "]" put the selection start / end at the position; Esc cancels a drag in
// progress (the dragged item goes back) and otherwise clears the selection.
class Win32_WindowlessTimeSlider : public Win32_WindowlessBase {
public:
    struct Segment {
        double start;
        double end;
    };
    enum class DragItem { None, Thumb, SelectionStart, SelectionEnd };

    Win32_WindowlessTimeSlider(Win32_BasicWindow* owner, int x, int y, int width, int height,
                               int id, bool border);
    ~Win32_WindowlessTimeSlider() override;

    void setRect(int x, int y, int width, int height) override;
    void mouseMove(int x, int y) override;
    void mouseDown(int x, int y) override;
    void mouseUp(int x, int y) override;
    void draw(QPainter& painter) override;
    bool keyPress(int key, const QString& text, bool autoRepeat) override;

    virtual bool isDragging() const { return dragItem_ != DragItem::None; }
    virtual void setDragging(DragItem item);
    virtual void clearDragging();
    DragItem dragItem() const { return dragItem_; }

    // The session's range, epoch seconds. Keeps the position and the selection inside it.
    void setSessionRange(double start, double end);
    double sessionStart() const { return sessionStart_; }
    double sessionEnd() const { return sessionEnd_; }
    // No session: labels show "--:--:--", no segments, no selection, no drags.
    void clearSession();
    bool hasSession() const { return hasSession_; }

    // Clamps `seconds` to the session; when the whole second changes the position is stored,
    // the thumb follows (unless the user is dragging), the current-time label is rebuilt and the
    // slider repaints.
    void setPosition(double seconds);
    double position() const { return position_; }

    // The selection, epoch seconds (clamped to the session, start <= end). Both markers show
    // whenever a session is loaded; without a selection they sit together at the session start.
    void setSelection(double start, double end);
    void clearSelection();
    bool hasSelection() const { return hasSession_ && selectionEnd_ > selectionStart_; }
    double selectionStart() const { return selectionStart_; }
    double selectionEnd() const { return selectionEnd_; }

    // Recorded segments in time order (epoch seconds), and the sealed ones among them.
    void setRecordedSegments(std::vector<Segment> segments);
    const std::vector<Segment>& recordedSegments() const { return segments_; }
    void setSealedRanges(std::vector<Segment> ranges);
    const std::vector<Segment>& sealedRanges() const { return sealed_; }

    // Offset in whole hours from UTC to the location's clock, for the labels.
    void setOffsetHours(int hours);
    int offsetHours() const { return offsetHours_; }

    // Track ends in owner pixels (markers and thumb point at these), and the thumb's pixel.
    int trackLeft() const;
    int trackRight() const;
    int thumbPixel() const { return thumbPixel_; }
    int selectionStartPixel() const { return selectionStartPixel_; }
    int selectionEndPixel() const { return selectionEndPixel_; }
    // The pixel of a time and the (whole-second) time of a pixel on this slider's track.
    int pixelForTime(double t) const;
    double timeForPixel(int pixel) const;

    std::string startLabelText() const;
    std::string endLabelText() const;
    std::string currentLabelText() const;

    // The message posted on release over the track (default kTimeSliderReleased).
    void setReleaseMessage(int message) { releaseMessage_ = message; }

private:
    QRect trackRect() const;
    QRect thumbHitRect() const;
    QRect markerHitRect(int pixel) const;
    void layoutLabels();
    void rebuildLabels();
    void recomputePixels();
    void dragTo(int x);
    void stepPosition(double seconds);
    void drawTrack(QPainter& painter) const;
    void drawMarkersAndThumb(QPainter& painter) const;
    void drawLabels(QPainter& painter);

    double sessionStart_ = 0.0;
    double sessionEnd_ = 0.0;
    bool hasSession_ = false;
    double position_ = 0.0;
    double selectionStart_ = 0.0;
    double selectionEnd_ = 0.0;
    int selectionStartPixel_ = 0;
    int selectionEndPixel_ = 0;
    std::vector<Segment> segments_;
    std::vector<Segment> sealed_;
    int offsetHours_ = 0;
    DragItem dragItem_ = DragItem::None;
    double dragOrigin_ = 0.0;  // time of the dragged item when its drag began (for Esc)
    int thumbPixel_ = 0;
    int releaseMessage_;
    std::unique_ptr<Win32_WindowlessTextDisplay> startLabel_;
    std::unique_ptr<Win32_WindowlessTextDisplay> endLabel_;
    std::unique_ptr<Win32_WindowlessTextDisplay> currentLabel_;
};
