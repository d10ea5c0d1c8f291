#include "fixed_size.h"

#include "qt_platform.h"

#include <QEvent>
#include <QMetaObject>
#include <QRect>
#include <QResizeEvent>
#include <QWidget>
#include <QWindow>

namespace hexlark {
namespace {

constexpr Qt::WindowStates kRefused = Qt::WindowMaximized | Qt::WindowFullScreen;

} // namespace

FixedSize::FixedSize(QWidget &window, QSize size) : QObject(&window), m_window(window), m_size(size)
{
    m_window.setFixedSize(m_size);
    m_window.installEventFilter(this);
}

bool FixedSize::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != &m_window) {
        return false;
    }
    switch (event->type()) {
    case QEvent::Show:
        // The window system's state reaches the QWindow before the widget.
        connect(m_window.windowHandle(), &QWindow::windowStateChanged, this,
                &FixedSize::allowGivenSize, Qt::UniqueConnection);
        break;
    case QEvent::Resize:
        // Any other size while its limits stand is taken back, once the
        // window system is done giving it.
        if (static_cast<QResizeEvent *>(event)->size() != m_size &&
            m_window.maximumSize() == m_size) {
            QMetaObject::invokeMethod(this, &FixedSize::takeOwnSize, Qt::QueuedConnection);
        }
        notePlace();
        break;
    case QEvent::Move:
        notePlace();
        break;
    case QEvent::WindowStateChange:
        if (m_window.windowState() & kRefused) {
            m_leave = true;
            m_window.update();
        } else {
            m_window.setFixedSize(m_size);
        }
        break;
    case QEvent::Paint:
        if (m_leave) {
            m_leave = false;
            // Asked of the window system once this frame is out, which answers
            // with the size to take: the widget's own setWindowState() would
            // take it at once.
            QMetaObject::invokeMethod(
                this,
                [this] {
                    m_window.windowHandle()->setWindowStates(
                        m_window.windowHandle()->windowStates() & ~kRefused);
                },
                Qt::QueuedConnection);
        }
        break;
    default:
        break;
    }
    return false;
}

void FixedSize::notePlace()
{
    const QWindow *handle = m_window.windowHandle();
    if (handle != nullptr && m_window.size() == m_size && !(handle->windowStates() & kRefused)) {
        m_place = m_window.geometry().topLeft();
        m_placeRatio = m_window.devicePixelRatioF();
    }
}

void FixedSize::takeOwnSize()
{
    if (m_window.maximumSize() != m_size || (m_window.windowHandle()->windowStates() & kRefused)) {
        return;
    }
    // An X11 window manager takes the place a window asks for along with the
    // size as where it stands from then on, whatever state it has granted:
    // the size it was given came with a place that is not the window's.
    // Only a move to a screen of another scale brings a size to take back
    // where the window now is.
    if (!onWayland() && m_place && m_window.devicePixelRatioF() == m_placeRatio) {
        m_window.setGeometry(QRect(*m_place, m_size));
    } else {
        m_window.resize(m_size);
    }
}

void FixedSize::allowGivenSize(Qt::WindowState state)
{
    // An X11 window manager takes back its own size when the state ends; a
    // Wayland compositor has none to take back.
    if (kRefused.testFlag(state) && onWayland()) {
        m_window.setMinimumSize(0, 0);
        m_window.setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    }
}

} // namespace hexlark
