#include "fixed_size.h"
#include "qt_platform.h"

#include <QApplication>
#include <QObject>
#include <QRect>
#include <QSize>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <qpa/qwindowsysteminterface.h>

#include <chrono>

using namespace hexlark;

namespace {

// A window that notes what reaches it: its paints, and keys for it.
struct Window final : QWidget
{
    QString seen;
    void paintEvent(QPaintEvent *) override { seen += "paint "; }
    void keyPressEvent(QKeyEvent *) override { seen += "key "; }
};

} // namespace

// The platform operations on Qt, and a window of fixed size, on the offscreen
// platform.
class QtPlatformTest : public QObject
{
    Q_OBJECT

private slots:
    // The pause a busy clipboard is waited out with lasts its span, with the
    // window drawn meanwhile and a key pressed meanwhile held until after.
    void pause()
    {
        Window window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTimer::singleShot(20, &window, [&window] {
            window.seen.clear();
            // Queued as the window system queues input, not sent at once as QTest sends it.
            QWindowSystemInterface::handleKeyEvent<QWindowSystemInterface::AsynchronousDelivery>(
                window.windowHandle(), QEvent::KeyPress, Qt::Key_Shift, Qt::NoModifier);
            window.update();
        });
        const auto start = std::chrono::steady_clock::now();
        QtPause().wait(std::chrono::milliseconds(100));
        QVERIFY(std::chrono::steady_clock::now() - start >= std::chrono::milliseconds(90));
        QVERIFY2(window.seen.contains("paint") && !window.seen.contains("key"),
                 qPrintable(window.seen));
        QTRY_VERIFY(window.seen.contains("key"));
    }
    // A size given with no state, as KWin on two monitors leaves full screen
    // without what it saved, is taken back where the window stood.
    void fixedSizeTakenBackInPlace()
    {
        QWidget window;
        new FixedSize(window, QSize(273, 163));
        window.setGeometry(100, 80, 273, 163);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTest::qWait(500); // stands still long enough for its place to count
        QWindowSystemInterface::handleGeometryChange<QWindowSystemInterface::SynchronousDelivery>(
            window.windowHandle(), QRect(0, 0, 1024, 768));
        QTRY_COMPARE(window.geometry(), QRect(100, 80, 273, 163));
    }
};

QTEST_MAIN(QtPlatformTest)
#include "qt_platform_test.moc"
