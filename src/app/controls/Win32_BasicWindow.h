#pragma once

#include <QImage>
#include <QMainWindow>
#include <QString>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class QMouseEvent;
class QPainter;
class Win32_WindowCanvas;
class Win32_WindowMessage;
class Win32_WindowlessBase;

// The base of the program's main window: a QMainWindow whose central widget (the canvas) paints
// the background image from the resource archive and every windowless control on it, and hands
// the canvas's mouse moves, presses and releases (left button) to the controls. Real child
// widgets (video, lists, edits) are placed on canvas() in the same coordinates.
//
// Window messages (Win32_WindowMessage) posted to the window reach ProcessWindowsMessage.
// The first Win32_BasicWindow created is the process's main window until it is destroyed.
// User-interface thread only, except Win32_WindowMessage::post to it, which any thread may call.
class Win32_BasicWindow : public QMainWindow {
    Q_OBJECT

public:
    // Without a background the canvas is `fallbackSize` large and painted in the theme's colour.
    Win32_BasicWindow(const QString& title, const std::string& backgroundImageName,
                      QSize fallbackSize = QSize(677, 476), QWidget* parent = nullptr);
    ~Win32_BasicWindow() override;
    Win32_BasicWindow(const Win32_BasicWindow&) = delete;
    Win32_BasicWindow& operator=(const Win32_BasicWindow&) = delete;

    // The process's main window, or null.
    static Win32_BasicWindow* mainWindow();

    const std::string& backgroundImageName() const { return backgroundImageName_; }
    // Null when the archive has no such image.
    const QImage& backgroundImage() const { return background_; }
    bool hasBackgroundImage() const { return !background_.isNull(); }

    QWidget* canvas() const;

    // Takes ownership of `control` and appends it to the control list (painted and hit-tested
    // in list order). Returns the control.
    Win32_WindowlessBase* addControl(std::unique_ptr<Win32_WindowlessBase> control);
    // Constructs a control with this window as owner and adds it.
    template <class Control, class... Arguments>
    Control* createControl(Arguments&&... arguments) {
        auto control = std::make_unique<Control>(this, std::forward<Arguments>(arguments)...);
        Control* raw = control.get();
        addControl(std::move(control));
        return raw;
    }
    // Removes and destroys `control`; false when it is not in the list. Not from inside one of
    // the control's own handlers.
    bool removeControl(Win32_WindowlessBase* control);
    // The first control in list order whose getId is `id`, or null.
    Win32_WindowlessBase* findControl(int id) const;
    const std::vector<std::unique_ptr<Win32_WindowlessBase>>& controls() const { return controls_; }

    // Repaints `area` of the canvas (canvas coordinates).
    void invalidateRect(const QRect& area);

protected:
    bool event(QEvent* event) override;
    // The window's own messages; true when handled. The base handles none.
    virtual bool ProcessWindowsMessage(const Win32_WindowMessage& message);
    // Canvas hooks for the derived window. Mouse coordinates are canvas coordinates; the
    // controls have had the event first.
    virtual void canvasRightButtonUp(const QPoint& position, const QPoint& globalPosition);
    // Paints over the background and the controls (for example a hint on an empty window).
    virtual void paintOverlay(QPainter& painter);

private:
    friend class Win32_WindowCanvas;
    void paintCanvas(QPainter& painter, const QRect& area);
    void canvasMouseMove(int x, int y);
    void canvasMouseDown(int x, int y);
    void canvasMouseUp(int x, int y);

    std::string backgroundImageName_;
    QImage background_;
    Win32_WindowCanvas* canvas_ = nullptr;
    std::vector<std::unique_ptr<Win32_WindowlessBase>> controls_;
    // Controls removed while the list is being walked; destroyed after the walk.
    std::vector<std::unique_ptr<Win32_WindowlessBase>> retired_;
    int walking_ = 0;
};
