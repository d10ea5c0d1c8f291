#include "fixed_size.h"

#include "qt_platform.h"

#include <QEvent>
#include <QMetaObject>
#include <QRect>
#include <QResizeEvent>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace hexlark {
namespace {

constexpr Qt::WindowStates kRefused = Qt::WindowMaximized | Qt::WindowFullScreen;
// How long the window stands still before its size and place count: a
// window manager that grants a state may give the size before it says which
// state, fluxbox maximizes one way and then the other, and the places Qt
// reports on the way are not all where the window stands.
constexpr int kSettleMs = 250;

} // namespace

FixedSize::FixedSize(QWidget &window, QSize size)
    : QObject(&window), m_window(window), m_size(size), m_settle(new QTimer(this))
{
    m_settle->setSingleShot(true);
    m_settle->setInterval(kSettleMs);
    connect(m_settle, &QTimer::timeout, this, &FixedSize::settle);
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
    case QEvent::Move:
        if (!onWayland()) {
            m_settle->start();
        }
        break;
    case QEvent::Resize:
        // A Wayland compositor places the window itself and asks no place
        // back: any other size while the limits stand is taken back as soon
        // as the window system is done giving it.
        if (!onWayland()) {
            m_settle->start();
        } else if (static_cast<QResizeEvent *>(event)->size() != m_size &&
                   m_window.maximumSize() == m_size) {
            QMetaObject::invokeMethod(this, &FixedSize::takeOwnSize, Qt::QueuedConnection);
        }
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

void FixedSize::settle()
{
    const QWindow *handle = m_window.windowHandle();
    if (handle == nullptr || (handle->windowStates() & kRefused)) {
        return;
    }
    if (m_window.size() == m_size) {
        m_place = m_window.geometry().topLeft();
        m_placeRatio = m_window.devicePixelRatioF();
    } else {
        takeOwnSize();
    }
}

void FixedSize::takeOwnSize()
{
    // An X11 window manager keeps the place asked for with a size as the
    // window's own, in a state or out of it, and one that left a state
    // without giving back what it saved (KWin on two monitors) leaves the
    // state's place: the size is taken back where the window stood. Only a
    // move to a screen of another scale brings one to take where it now is.
    if (m_window.maximumSize() != m_size) {
        return;
    }
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
