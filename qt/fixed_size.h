#pragma once

#include <QObject>
#include <QPoint>
#include <QSize>

#include <optional>

class QTimer;
class QWidget;

namespace hexlark {

// Keeps a window of fixed size at that size whatever the window system asks:
// it leaves the maximized and full-screen states as soon as it is put in
// them. Window managers that honour full screen (icewm, fluxbox, xfwm4)
// grant it to any window, fixed or not; Qt 6.4's own title bar on Wayland
// offers to maximize even a window of fixed size, and the compositor then
// drops a program whose next frame has any size but the one it gave. So the
// window first takes the size it is given and draws one frame at it, then
// asks to be back to normal, and takes its own size again.
class FixedSize final : public QObject
{
public:
    // Watches the window from now on; the window owns it.
    FixedSize(QWidget &window, QSize size);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void allowGivenSize(Qt::WindowState state);
    // Sizes that the limits do not stop: on X11 a window moved to a screen of
    // another scale keeps its size in device pixels, which there are not the
    // design's pixels; on Wayland Qt 6.8 lets a drag of its title bar's frame
    // resize a window past its limits.
    void takeOwnSize();
    // Once the window stands still: notes its place, or takes its own size.
    void settle();

    QWidget &m_window;
    QSize m_size;
    bool m_leave = false;
    QTimer *m_settle = nullptr;
    // Where the window last stood still at its own size, in no refused
    // state, and the scale it had there.
    std::optional<QPoint> m_place;
    qreal m_placeRatio = 1.0;
};

} // namespace hexlark
