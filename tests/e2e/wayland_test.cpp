#include "weston_session.h"
#include "window_colours.h"
#include "xsession.h"

#include <QByteArray>
#include <QColor>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QObject>
#include <QPoint>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTest>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <memory>
#include <optional>

using hexlark::e2e::WestonSession;
using hexlark::e2e::XSession;
using namespace std::chrono_literals;

namespace {

const QString kGenerate = QStringLiteral("alt+g");
const QString kCopy = QStringLiteral("alt+c");
const QByteArray kOtherProgramsText = QByteArrayLiteral("text from another program");
// What the program writes before it gives up with an error box.
const QByteArray kProgramErrorPrefix = QByteArrayLiteral("hexlark: ");
// What Qt writes when it cannot use Wayland at all.
const QByteArrayList kPlatformFailures{QByteArrayLiteral("Could not load the Qt platform plugin"),
                                       QByteArrayLiteral("Failed to create wl_display")};
// A crash, a fault the sanitizers caught, or a toolkit abort.
const QByteArrayList kCrashSigns{QByteArrayLiteral("AddressSanitizer"),
                                 QByteArrayLiteral("runtime error:"),
                                 QByteArrayLiteral("Segmentation fault")};
// Inside the address box (x 40..225, y 82..107), clear of its frame, which
// changes colour when the box loses keyboard focus to a button.
constexpr QRect kAddressText = QRect(40, 82, 186, 26).adjusted(4, 4, -4, -4);
// Long enough for a start-up fault or a crash on the first events to show.
constexpr auto kStayUp = 2s;
constexpr auto kWindowDeadline = 20s;
constexpr auto kClipboardDeadline = 10s;
constexpr auto kExitDeadline = 5s;
constexpr auto kPollInterval = 100ms;
// The name Qt gives its Wayland reading thread, as /proc shows it (15 bytes).
const QByteArray kWaylandEventThread = QByteArrayLiteral("WaylandEventThr");
// Qt draws the window's title bar itself on Weston; its close button sits at
// the right end, within this many pixels of the client area's right edge and
// top. Dark pixels there are the button's cross.
constexpr int kCloseSearchWidth = 24;
constexpr int kCloseSearchHeight = 40;
constexpr int kFrameBorder = 8;
constexpr int kCrossMax = 100;
// Off the output window, on the X screen.
constexpr QPoint kOutsideOffset{10, 10};
// A point of the client area with nothing on it: the black strip at the bottom.
constexpr QPoint kInertPoint{270, 160};

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool containsAny(const QByteArray &text, const QByteArrayList &needles)
{
    for (const QByteArray &needle : needles) {
        if (text.contains(needle)) {
            return true;
        }
    }
    return false;
}

void waitPollInterval()
{
    QThread::msleep(static_cast<unsigned long>(kPollInterval.count()));
}

// A compositor with the real program on it, its standard error in a file.
struct WaylandRun
{
    std::unique_ptr<WestonSession> weston;
    QProcess *program = nullptr;
    QString errorLog;
    QImage screen;
    QRect clientArea;

    QByteArray errors() const { return readFile(errorLog); }
    QImage client() const { return screen.copy(clientArea); }
};

// The program on the compositor, told to use Wayland.
QProcessEnvironment programEnvironment(const WaylandRun &run)
{
    QProcessEnvironment environment = run.weston->qtEnvironment();
#ifdef HEXLARK_SANITIZED
    // Qt 6.4's Wayland client never destroys the proxies of the globals it
    // binds at start (wl_compositor, wl_seat, wl_shm and others): 80-byte
    // leaks inside libwayland-client at exit that are the toolkit's. Leak
    // checking stays on for the program on X11 in every other test.
    environment.insert(QStringLiteral("ASAN_OPTIONS"),
                       environment.value(QStringLiteral("ASAN_OPTIONS")) +
                           QStringLiteral(":detect_leaks=0"));
#endif
    return environment;
}

// Pictures of the output until the client area shows and two pictures in a
// row agree: the window is mapped and painted.
bool waitUntilShown(WaylandRun &run)
{
    const QDeadlineTimer deadline(kWindowDeadline);
    QImage previous;
    while (!deadline.hasExpired() && run.program->state() == QProcess::Running) {
        const QImage screen = run.weston->screenshot();
        const std::optional<QRect> area = hexlark::e2e::findClientArea(screen);
        if (area) {
            QImage client = screen.copy(*area);
            if (client == previous) {
                run.screen = screen;
                run.clientArea = *area;
                return true;
            }
            previous = std::move(client);
        }
        waitPollInterval();
    }
    return false;
}

// Reads the clipboard through Xwayland, which leaves the keyboard with the
// window, until it holds something other than the given text or the program
// has reported an error; returns what it last read.
std::optional<QByteArray> waitForClipboardChange(const WaylandRun &run,
                                                 const std::optional<QByteArray> &before)
{
    const QDeadlineTimer deadline(kClipboardDeadline);
    std::optional<QByteArray> held = run.weston->readClipboardThroughXwayland();
    while (!deadline.hasExpired() && (!held || held == before) &&
           run.program->state() == QProcess::Running &&
           !run.errors().contains(kProgramErrorPrefix)) {
        waitPollInterval();
        held = run.weston->readClipboardThroughXwayland();
    }
    return held;
}

std::optional<QPoint> findCloseButton(const QImage &screen, QRect clientArea)
{
    const QRect search = QRect(QPoint(clientArea.right() - kCloseSearchWidth + 1,
                                      clientArea.top() - kCloseSearchHeight),
                               QPoint(clientArea.right() + kFrameBorder, clientArea.top() - 1))
                             .intersected(screen.rect());
    qint64 sumX = 0;
    qint64 sumY = 0;
    qint64 count = 0;
    for (int y = search.top(); y <= search.bottom(); ++y) {
        for (int x = search.left(); x <= search.right(); ++x) {
            const QRgb pixel = screen.pixel(x, y);
            if (std::max({qRed(pixel), qGreen(pixel), qBlue(pixel)}) <= kCrossMax) {
                sumX += x;
                sumY += y;
                ++count;
            }
        }
    }
    if (count == 0) {
        return std::nullopt;
    }
    return QPoint(static_cast<int>(sumX / count), static_cast<int>(sumY / count));
}

// Qt 6.4's Wayland client can hang on the way out: the main thread waits
// for its Wayland event thread, which waits in wl_display_read_events() for
// a read that never comes. Both then sleep on futexes, where a live event
// loop and event thread sleep in poll(). Read from /proc, without ptrace.
bool stuckInWaylandTeardown(qint64 pid)
{
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    bool mainWaits = false;
    bool eventThreadWaits = false;
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QByteArray name = readFile(tasks.filePath(task + QStringLiteral("/comm"))).trimmed();
        const bool onFutex =
            readFile(tasks.filePath(task + QStringLiteral("/wchan"))).startsWith("futex");
        if (task == QString::number(pid)) {
            mainWaits = onFutex;
        } else if (name == kWaylandEventThread) {
            eventThreadWaits = onFutex;
        }
    }
    return mainWaits && eventThreadWaits;
}

} // namespace

// The real program on Weston, the Wayland reference compositor: headless,
// where nothing can type or click, for how it starts, looks and ends; and
// shown inside an X display, whose keys and pointer reach it, for its
// clipboard, its Generate key and its close button.
class WaylandTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void headlessClientAreaSize();
    void headlessColours_data();
    void headlessColours();
    void headlessStaysUp();
    void headlessEndsOnTerminate();
    void copyReachesClipboard_data();
    void copyReachesClipboard();
    void generateRedrawsAddress();
    void closeButtonEndsWithStatusZero();

private:
    // Starts a fresh compositor and program: each case starts from an empty
    // clipboard, which Weston otherwise keeps after its owner has gone.
    bool startRun(WaylandRun &run, WestonSession::Backend backend);
    // Clicks a point of the nested compositor's output, as a person would.
    bool clickOutput(const WaylandRun &run, QPoint at);
    // Gives the window the keyboard, then presses the keys.
    bool pressKeys(const WaylandRun &run, const QStringList &chords);

    std::unique_ptr<XSession> m_display;
    WaylandRun m_headless;
    WaylandRun m_nested;
};

bool WaylandTest::startRun(WaylandRun &run, WestonSession::Backend backend)
{
    run = WaylandRun();
    // Nested, with Xwayland: its clipboard can then be read without taking
    // the keyboard from the program's window.
    run.weston = std::make_unique<WestonSession>(backend, m_display->display(),
                                                 backend == WestonSession::Backend::NestedInX11
                                                     ? WestonSession::Xwayland::With
                                                     : WestonSession::Xwayland::Without);
    if (!run.weston->isReady()) {
        qWarning("%s", qPrintable(run.weston->errorString()));
        return false;
    }
    run.errorLog = QDir(run.weston->workPath()).filePath(QStringLiteral("hexlark.stderr"));
    run.program = run.weston->startClient(QStringLiteral(HEXLARK_BINARY), {},
                                          programEnvironment(run), run.errorLog);
    if (run.program == nullptr || !waitUntilShown(run)) {
        qWarning("the window never showed: %s", run.errors().constData());
        return false;
    }
    return true;
}

bool WaylandTest::clickOutput(const WaylandRun &run, QPoint at)
{
    // Weston follows the X pointer only after it has entered the output
    // window, and it starts out inside: it leaves first, then comes back.
    const QString window = run.weston->outputWindow();
    const std::optional<QRect> output = m_display->windowGeometry(window);
    const std::optional<QSize> screen = m_display->screenSize();
    if (!output || !screen) {
        return false;
    }
    const QPoint outside = output->bottomRight() + kOutsideOffset;
    if (!QRect(QPoint(0, 0), *screen).contains(outside)) {
        qWarning("no room beside the output window");
        return false;
    }
    return m_display
        ->run(QStringLiteral("xdotool"),
              {QStringLiteral("mousemove"), QString::number(outside.x()),
               QString::number(outside.y()), QStringLiteral("mousemove"),
               QStringLiteral("--window"), window, QString::number(at.x()), QString::number(at.y()),
               QStringLiteral("click"), QStringLiteral("1")})
        .succeeded();
}

bool WaylandTest::pressKeys(const WaylandRun &run, const QStringList &chords)
{
    // The X keyboard goes to the output window; inside it, Weston gives the
    // keys to the window it last activated, which other clients (wl-copy,
    // wl-paste) may have taken over. A click on an empty part of the client
    // area activates the program's window again.
    return m_display->focus(run.weston->outputWindow()) &&
           clickOutput(run, run.clientArea.topLeft() + kInertPoint) && m_display->pressKeys(chords);
}

void WaylandTest::initTestCase()
{
    m_display = std::make_unique<XSession>();
    QVERIFY2(m_display->isReady(), qPrintable(m_display->errorString()));
    QVERIFY(startRun(m_headless, WestonSession::Backend::Headless));
}

void WaylandTest::cleanup()
{
    // The nested cases each bring their own compositor.
    m_nested = WaylandRun();
}

void WaylandTest::headlessClientAreaSize()
{
    QCOMPARE(m_headless.clientArea.size(), hexlark::e2e::kClientSize);
}

void WaylandTest::headlessColours_data()
{
    QTest::addColumn<int>("check");
    for (int i = 0; i < static_cast<int>(hexlark::e2e::kWindowColourChecks.size()); ++i) {
        QTest::newRow(hexlark::e2e::kWindowColourChecks[static_cast<std::size_t>(i)].name) << i;
    }
}

void WaylandTest::headlessColours()
{
    QFETCH(int, check);
    const QString fault = hexlark::e2e::colourFault(
        m_headless.client(), hexlark::e2e::kWindowColourChecks[static_cast<std::size_t>(check)]);
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
}

void WaylandTest::headlessStaysUp()
{
    QVERIFY2(!m_headless.program->waitForFinished(
                 static_cast<int>(std::chrono::milliseconds(kStayUp).count())),
             m_headless.errors().constData());
    QVERIFY2(!containsAny(m_headless.errors(), kPlatformFailures), m_headless.errors().constData());
}

void WaylandTest::headlessEndsOnTerminate()
{
    // Headless Weston has no seat: nothing can press the close button or
    // send a key, and a compositor asks a window to close only on a user's
    // action. SIGTERM is the one way left; the program must simply end by it.
    m_headless.program->terminate();
    QVERIFY2(XSession::waitForExit(*m_headless.program, kExitDeadline),
             "still running after SIGTERM");
    QCOMPARE(m_headless.program->exitStatus(), QProcess::CrashExit);
    QCOMPARE(m_headless.program->exitCode(), SIGTERM);
    QVERIFY2(!containsAny(m_headless.errors(), kCrashSigns), m_headless.errors().constData());
}

void WaylandTest::copyReachesClipboard_data()
{
    QTest::addColumn<bool>("otherTextFirst");
    QTest::addColumn<QStringList>("chords");
    QTest::newRow("copy, clipboard empty") << false << QStringList{kCopy};
    QTest::newRow("generate and copy, clipboard empty") << false << QStringList{kGenerate, kCopy};
    QTest::newRow("copy over another program's text") << true << QStringList{kCopy};
}

void WaylandTest::copyReachesClipboard()
{
    QFETCH(bool, otherTextFirst);
    QFETCH(QStringList, chords);
    QVERIFY(startRun(m_nested, WestonSession::Backend::NestedInX11));
    std::optional<QByteArray> before;
    if (otherTextFirst) {
        QVERIFY(m_nested.weston->offerClipboard(kOtherProgramsText));
        before = kOtherProgramsText;
    }
    QVERIFY(pressKeys(m_nested, chords));

    const std::optional<QByteArray> copied = waitForClipboardChange(m_nested, before);
    const QByteArray errors = m_nested.errors();
    // Copy clears the clipboard first, while the window still holds the
    // compositor's offer of whatever was there: that must not count as a
    // failed clear.
    QVERIFY2(!errors.contains(kProgramErrorPrefix), errors.constData());
    QVERIFY2(copied.has_value() && hexlark::e2e::isAddressText(*copied),
             qPrintable(QString::fromUtf8(copied.value_or("(nothing)"))));
    QCOMPARE(m_nested.program->state(), QProcess::Running);
    // A Wayland program pasting asks for plain text and gets the same.
    QCOMPARE(m_nested.weston->readClipboard().value_or(QByteArrayLiteral("(nothing)")), *copied);
}

void WaylandTest::generateRedrawsAddress()
{
    QVERIFY(startRun(m_nested, WestonSession::Backend::NestedInX11));
    const QImage before = m_nested.client().copy(kAddressText);
    QVERIFY(pressKeys(m_nested, {kGenerate}));

    // A new address draws different characters in the box; 48 random bits
    // make a repeat practically impossible.
    const QDeadlineTimer deadline(kWindowDeadline);
    bool redrawn = false;
    while (!redrawn && !deadline.hasExpired()) {
        waitPollInterval();
        const QImage screen = m_nested.weston->screenshot();
        redrawn = !screen.isNull() && screen.copy(m_nested.clientArea).copy(kAddressText) != before;
    }
    QVERIFY2(redrawn, m_nested.errors().constData());
    QVERIFY2(!m_nested.errors().contains(kProgramErrorPrefix), m_nested.errors().constData());
}

void WaylandTest::closeButtonEndsWithStatusZero()
{
    QVERIFY(startRun(m_nested, WestonSession::Backend::NestedInX11));
    const std::optional<QPoint> button = findCloseButton(m_nested.screen, m_nested.clientArea);
    QVERIFY2(button.has_value(), "no close button above the client area's right end");

    // A click on the close button that Qt draws in the title bar: the one way
    // to ask a window to close from outside on Wayland, where the compositor
    // sends a close request only on a user's action.
    QVERIFY(clickOutput(m_nested, *button));

    // The program closes its window at once...
    const QDeadlineTimer closeDeadline(kWindowDeadline);
    bool shown = true;
    while (shown && !closeDeadline.hasExpired()) {
        waitPollInterval();
        const QImage screen = m_nested.weston->screenshot();
        shown = screen.isNull() || hexlark::e2e::findClientArea(screen).has_value();
    }
    QVERIFY2(!shown, "the window is still there after its close button was clicked");
    // ...and ends, unless the toolkit's own teardown deadlocks.
    if (!XSession::waitForExit(*m_nested.program, kExitDeadline) &&
        stuckInWaylandTeardown(m_nested.program->processId())) {
        QSKIP("Qt's Wayland client hung in its teardown after the program had returned");
    }
    QCOMPARE(m_nested.program->state(), QProcess::NotRunning);
    QCOMPARE(m_nested.program->exitStatus(), QProcess::NormalExit);
    QVERIFY2(m_nested.program->exitCode() == 0, m_nested.errors().constData());
    QVERIFY2(!containsAny(m_nested.errors(), kCrashSigns), m_nested.errors().constData());
}

QTEST_GUILESS_MAIN(WaylandTest)
#include "wayland_test.moc"
