#include "clipboard.h"
#include "error_path.h"
#include "fixed_size.h"
#include "form1.h"
#include "form1_handlers.h"
#include "message_box.h"
#include "pause.h"
#include "qt_platform.h"
#include "random_source.h"
#include "screen_reader.h"
#include "text_box.h"
#include "window_placement.h"

#include <QApplication>
#include <QFontInfo>
#include <QHash>
#include <QKeyCombination>
#include <QLineEdit>
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <qpa/qwindowsysteminterface.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <vector>

using namespace hexlark;
using Monitors = std::vector<Monitor>;

namespace {

// What a key does is awaited up to a second (an access key clicks after a short
// animation), and then nothing more may come for a while.
constexpr int kKeyDeadlineMs = 1000;
constexpr int kKeyQuietMs = 300;

// Every platform piece the handlers use, each writing what it is asked to do
// into one log; the operation named in `failing` ("clear", or "clear*3" for
// its first three tries only) reports a failure, from a "!" in the clicks on
// where there is one. While the message box is up, every button is clicked
// when the handlers are known (the Qt window's are its own).
struct FakeDesktop final : RandomSource, TextBox, MessageBox, ScreenReader, ErrorPath, Pause
{
    QString failing;
    int failures = 0;
    bool armed = true;
    std::string log;
    std::string shown = "00-00-00-00-00-00";
    int draws = 0;
    Form1Handlers *handlers = nullptr;

    bool step(const char *name, const std::string &detail = {})
    {
        const bool fails = armed && failing.section('*', 0, 0) == name && failures-- != 0;
        log += std::string(name) + (detail.empty() ? "" : ":" + detail) + (fails ? "!" : "") + " ";
        return !fails;
    }
    void Reseed() override
    {
        if (failing == "draw") {
            throw std::runtime_error("no entropy");
        }
        if (failing == "throw") {
            throw 42;
        }
    }
    double NextUniform() override { return ((draws++ % 16) + 0.5) / 16; }
    std::string text() const override { return shown; }
    bool setText(const std::string &text) override
    {
        const bool done = step("set", text);
        shown = done ? text : shown;
        return done;
    }
    bool lock() override { return step("lock"); }
    void show(const std::string &message, const std::string &title) override
    {
        step("box", message + "|" + title);
        if (handlers != nullptr) {
            for (const char *control : {"Command1", "Command3", "Command2"}) {
                handlers->click(control);
            }
        }
    }
    void tellNewAddress(const std::string &address) override { log += "tell:" + address + " "; }
    void fail(const std::string &what) override { log += "FAIL(" + what + ") "; }
    void wait(std::chrono::milliseconds ms) override { step("wait", std::to_string(ms.count())); }
};

// TextBox and Clipboard share the name setText: the clipboard writes to the log here.
struct FakeClipboard final : Clipboard
{
    FakeDesktop &desktop;
    explicit FakeClipboard(FakeDesktop &d) : desktop(d) {}
    bool clear() override { return desktop.step("clear"); }
    bool setText(const std::string &text) override { return desktop.step("copy", text); }
};

// A window that notes what reaches it: its paints, and keys for it.
struct Window final : QWidget
{
    QString seen;
    void paintEvent(QPaintEvent *) override { seen += "paint "; }
    void keyPressEvent(QKeyEvent *) override { seen += "key "; }
};

} // namespace

// The window: what it does and where it opens, whatever toolkit draws it; the
// Qt window as designed, in pixels at 96 dpi, on the offscreen platform; and
// the platform operations on Qt it waits and keeps its size with.
class Form1Test : public QObject
{
    Q_OBJECT

private:
    FakeDesktop m_desktop;
    FakeClipboard m_clipboard{m_desktop};
    QtPause m_pause;
    Form1 m_window{Platform{m_desktop, m_clipboard, m_pause, m_desktop, m_desktop}};
    QLineEdit *text1() { return m_window.findChild<QLineEdit *>("Text1"); }

private slots:
    void initTestCase()
    {
        m_window.show();
        QVERIFY(QTest::qWaitForWindowActive(&m_window));
    }

    void handlers_data()
    {
        QTest::addColumn<QString>("failing");
        QTest::addColumn<QString>("clicks");
        QTest::addColumn<QString>("log");
        // One row a line, as the table reads.
        // clang-format off
        const QString first = "lock set:01-23-45-67-89-AB ";
        const QString generated = "set:CD-EF-01-23-45-67 tell:CD-EF-01-23-45-67 ";
        QTest::newRow("a label takes no click") << "" << "L" << first;
        QTest::newRow("generate then copy") << "" << "GC" << first + generated + "clear copy:CD-EF-01-23-45-67 ";
        QTest::newRow("about, clicked while its box is up") << "" << "A" << first + "box:Hexlark v1.0, by Quillmoth|About ";
        QTest::newRow("lock fails") << "lock" << "GC" << "lock! FAIL(cannot make the address box read-only) ";
        QTest::newRow("show fails") << "set" << "GCA" << "lock set:01-23-45-67-89-AB! FAIL(cannot show the new address) ";
        QTest::newRow("show fails later") << "set" << "!GG" << first + "set:CD-EF-01-23-45-67! FAIL(cannot show the new address) ";
        // The clipboard is tried again every 20 ms for a second.
        const QString copyBusy = QString("copy:01-23-45-67-89-AB! wait:20 ").repeated(50);
        QTest::newRow("clear fails") << "clear" << "CGC" << first + QString("clear! wait:20 ").repeated(50) + "clear! FAIL(cannot clear the clipboard) ";
        QTest::newRow("copy busy till the last try") << "copy*50" << "C" << first + "clear " + copyBusy + "copy:01-23-45-67-89-AB ";
        QTest::newRow("copy fails") << "copy" << "CG" << first + "clear " + copyBusy + "copy:01-23-45-67-89-AB! FAIL(cannot put the address on the clipboard) ";
        QTest::newRow("exception") << "draw" << "GCA" << "lock FAIL(no entropy) ";
        QTest::newRow("exception of no standard type") << "throw" << "G" << "lock FAIL(the program stopped on an unexpected error) ";
        // clang-format on
    }
    void handlers()
    {
        QFETCH(QString, failing);
        QFETCH(QString, clicks);
        QFETCH(QString, log);
        FakeDesktop desktop;
        FakeClipboard clipboard(desktop);
        desktop.failing = failing;
        desktop.failures = failing.contains('*') ? failing.section('*', 1).toInt() : -1;
        desktop.armed = !clicks.contains('!');
        Form1Handlers handlers(Platform{desktop, clipboard, desktop, desktop, desktop}, desktop,
                               desktop);
        desktop.handlers = &handlers;
        handlers.load();
        const QHash<QChar, const char *> controls{
            {'G', "Command1"}, {'C', "Command3"}, {'A', "Command2"}, {'L', "Label1"}};
        for (const QChar click : clicks) {
            desktop.armed = desktop.armed || click == '!';
            handlers.click(controls.value(click, ""));
        }
        QCOMPARE(QString::fromStdString(desktop.log), log);
    }

    // Where the window's frame opens, from the monitors' work areas and the frame's size.
    void placement_data()
    {
        QTest::addColumn<Monitors>("monitors");
        QTest::addColumn<QSize>("frame");
        QTest::addColumn<QPoint>("at");
        const Monitor left{{0, 0, 1920, 1080}, false};
        // clang-format off
        QTest::newRow("primary right of one at negative x") << Monitors{{{-1280, -200, 1280, 1024}, false}, {{0, 0, 1920, 1080}, true}} << QSize(279, 190) << QPoint(820, 445);
        QTest::newRow("none primary: the first") << Monitors{{{1920, 0, 1920, 1080}, false}, left} << QSize(279, 190) << QPoint(2740, 445);
        QTest::newRow("larger, under a panel, on the right") << Monitors{left, {{1920, 30, 1280, 994}, true}} << QSize(1371, 845) << QPoint(1920, 104);
        // clang-format on
    }
    void placement()
    {
        QFETCH(Monitors, monitors);
        QFETCH(QSize, frame);
        QFETCH(QPoint, at);
        const ScreenPoint placed = framePosition(monitors, frame.width(), frame.height());
        QCOMPARE(QPoint(placed.left, placed.top), at);
    }

    void window()
    {
        QCOMPARE(m_window.windowTitle(), "Hexlark");
        QCOMPARE(m_window.size(), QSize(273, 163));
        QCOMPARE(m_window.minimumSize(), m_window.maximumSize());
        QVERIFY(text1()->isReadOnly());
        QCOMPARE(QApplication::focusWidget(), text1());
        // The face drawn: this test's fonts have no Courier New, and its stand-in
        // must be fixed-pitch too.
        const QFontInfo font(text1()->font());
        QCOMPARE(font.pointSize(), 12);
        QVERIFY(font.fixedPitch());
        QVERIFY(font.bold());
        QCOMPARE(text1()->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    }

    void controls_data()
    {
        // By each control's name.
        QTest::addColumn<QRect>("rect");
        QTest::newRow("Label2") << QRect(8, 40, 249, 17);
        QTest::newRow("Label1") << QRect(8, 56, 249, 17);
        QTest::newRow("Text1") << QRect(40, 82, 186, 26);
        QTest::newRow("Command1") << QRect(16, 120, 73, 23);
        QTest::newRow("Command3") << QRect(88, 120, 73, 23);
        QTest::newRow("Command2") << QRect(160, 120, 73, 23);
    }
    void controls()
    {
        QFETCH(QRect, rect);
        QWidget *control = m_window.findChild<QWidget *>(QTest::currentDataTag());
        QVERIFY(control != nullptr);
        QCOMPARE(control->geometry(), rect);
    }

    // From the address box: access keys click their buttons and give them the
    // focus, and Enter and Escape click none; Tab goes round in the design's order.
    void keys_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QKeyCombination>("key");
        QTest::addColumn<QString>("seen"); // what the platform was asked, then the address shown
        QTest::addColumn<QString>("focus");
        // The fake source's first address, shown till keypad Enter on Generate.
        const QString first = "01-23-45-67-89-AB";
        // clang-format off
        QTest::newRow("Alt+C") << "Text1" << (Qt::ALT | Qt::Key_C) << "clear copy:01-23-45-67-89-AB " + first << "Command3";
        QTest::newRow("Alt+A") << "Text1" << (Qt::ALT | Qt::Key_A) << "box:Hexlark v1.0, by Quillmoth|About " + first << "Command2";
        QTest::newRow("Enter") << "Text1" << QKeyCombination(Qt::Key_Return) << first << "Text1";
        QTest::newRow("Escape") << "Text1" << QKeyCombination(Qt::Key_Escape) << first << "Text1";
        QTest::newRow("Tab from the box") << "Text1" << QKeyCombination(Qt::Key_Tab) << first << "Command1";
        QTest::newRow("Tab from Generate") << "Command1" << QKeyCombination(Qt::Key_Tab) << first << "Command3";
        QTest::newRow("Tab from Copy") << "Command3" << QKeyCombination(Qt::Key_Tab) << first << "Command2";
        QTest::newRow("Tab from About") << "Command2" << QKeyCombination(Qt::Key_Tab) << first << "Text1";
        QTest::newRow("keypad Enter on Generate") << "Command1" << (Qt::KeypadModifier | Qt::Key_Enter) << "CD-EF-01-23-45-67" << "Command1";
        // clang-format on
    }
    void keys()
    {
        QFETCH(QString, from);
        QFETCH(QKeyCombination, key);
        QFETCH(QString, seen);
        QFETCH(QString, focus);
        m_desktop.log.clear();
        QWidget *pressed = m_window.findChild<QWidget *>(from);
        pressed->setFocus();
        QTest::keyClick(pressed, key.key(), key.keyboardModifiers());
        const auto shown = [&] { return QString::fromStdString(m_desktop.log) + text1()->text(); };
        QTRY_COMPARE_WITH_TIMEOUT(shown(), seen, kKeyDeadlineMs);
        QTest::qWait(kKeyQuietMs);
        QCOMPARE(shown(), seen);
        QCOMPARE(QApplication::focusWidget()->objectName(), focus);
        QVERIFY(m_window.isVisible());
    }

    // The pause a busy clipboard is waited out with lasts its span, with the
    // window drawn meanwhile and a key pressed meanwhile held until after. A
    // window of fixed size given a size with no state, as KWin on two monitors
    // leaves full screen without what it saved, takes its own back where it stood.
    void pauseAndFixedSize()
    {
        Window window;
        new FixedSize(window, QSize(273, 163));
        window.setGeometry(100, 80, 273, 163);
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
        m_pause.wait(std::chrono::milliseconds(100));
        QVERIFY(std::chrono::steady_clock::now() - start >= std::chrono::milliseconds(90));
        QVERIFY2(window.seen.contains("paint") && !window.seen.contains("key"),
                 qPrintable(window.seen));
        QTRY_VERIFY(window.seen.contains("key"));
        QTest::qWait(500); // stands still long enough for its place to count
        QWindowSystemInterface::handleGeometryChange<QWindowSystemInterface::SynchronousDelivery>(
            window.windowHandle(), QRect(0, 0, 1024, 768));
        QTRY_COMPARE(window.geometry(), QRect(100, 80, 273, 163));
    }
};

QTEST_MAIN(Form1Test)
#include "form1_test.moc"
