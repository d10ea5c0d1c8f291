#include "clipboard.h"
#include "error_path.h"
#include "form1_handlers.h"
#include "message_box.h"
#include "pause.h"
#include "random_source.h"
#include "screen_reader.h"
#include "text_box.h"
#include "window_placement.h"

#include <QHash>
#include <QObject>
#include <QPoint>
#include <QSize>
#include <QString>
#include <QTest>

#include <chrono>
#include <stdexcept>
#include <string>
#include <vector>

using namespace hexlark;
using Monitors = std::vector<Monitor>;

namespace {

// Every platform piece the handlers use, each writing what it is asked to do
// into one log; the operation named in `failing` ("clear", or "clear*3" for
// its first three tries only) reports a failure, from a "!" in the clicks on
// where there is one. While the message box is up, every button is clicked.
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
        for (const char *control : {"Command1", "Command3", "Command2"}) {
            handlers->click(control);
        }
    }
    void tellNewAddress(const std::string &address) override { log += "tell:" + address + " "; }
    void fail(const std::string &what) override { log += "FAIL(" + what + ") "; }
    void wait(std::chrono::milliseconds ms) override
    {
        log += "wait" + std::to_string(ms.count()) + " ";
    }
};

// TextBox and Clipboard share the name setText: the clipboard writes to the log here.
struct FakeClipboard final : Clipboard
{
    FakeDesktop &desktop;
    explicit FakeClipboard(FakeDesktop &d) : desktop(d) {}
    bool clear() override { return desktop.step("clear"); }
    bool setText(const std::string &text) override { return desktop.step("copy", text); }
};

} // namespace

// What the window does and where it opens, whatever toolkit draws it.
class UiTest : public QObject
{
    Q_OBJECT

private slots:
    void handlers_data()
    {
        QTest::addColumn<QString>("failing");
        QTest::addColumn<QString>("clicks");
        QTest::addColumn<QString>("log");
        // One row a line, as the table reads.
        // clang-format off
        const QString first = "lock set:01-23-45-67-89-AB ";
        const QString generated = "set:CD-EF-01-23-45-67 tell:CD-EF-01-23-45-67 ";
        const QString about = "box:Hexlark v1.0, by Quillmoth|About ";
        QTest::newRow("load") << "" << "" << first;
        QTest::newRow("generate") << "" << "G" << first + generated;
        QTest::newRow("a label takes no click") << "" << "L" << first;
        QTest::newRow("generate then copy") << "" << "GC" << first + generated + "clear copy:CD-EF-01-23-45-67 ";
        QTest::newRow("about, clicked while its box is up") << "" << "A" << first + about;
        QTest::newRow("lock fails") << "lock" << "GC" << "lock! FAIL(cannot make the address box read-only) ";
        QTest::newRow("show fails") << "set" << "GCA" << "lock set:01-23-45-67-89-AB! FAIL(cannot show the new address) ";
        QTest::newRow("show fails later") << "set" << "!GG" << first + "set:CD-EF-01-23-45-67! FAIL(cannot show the new address) ";
        // The clipboard is tried again every 20 ms for a second.
        const QString busy = QString("clear! wait20 ").repeated(50) + "clear!";
        const QString copyBusy = QString("copy:01-23-45-67-89-AB! wait20 ").repeated(50);
        QTest::newRow("clear fails") << "clear" << "CGC" << first + busy + " FAIL(cannot clear the clipboard) ";
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
        const Monitor right{{1920, 0, 1920, 1080}, false};
        const Monitor primaryRight{{1920, 0, 1920, 1080}, true};
        // clang-format off
        QTest::newRow("fits: centred") << Monitors{{{0, 0, 1024, 768}, true}} << QSize(279, 190) << QPoint(372, 289);
        QTest::newRow("centred under a top panel") << Monitors{{{0, 30, 1024, 738}, true}} << QSize(279, 190) << QPoint(372, 304);
        QTest::newRow("on the primary, on the right") << Monitors{left, primaryRight} << QSize(279, 190) << QPoint(2740, 445);
        QTest::newRow("primary right of one at negative x") << Monitors{{{-1280, -200, 1280, 1024}, false}, {{0, 0, 1920, 1080}, true}} << QSize(279, 190) << QPoint(820, 445);
        QTest::newRow("none primary: the first") << Monitors{right, left} << QSize(279, 190) << QPoint(2740, 445);
        QTest::newRow("larger: top-left on the area") << Monitors{{{0, 0, 1024, 768}, true}} << QSize(1371, 845) << QPoint(0, 0);
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
};

QTEST_APPLESS_MAIN(UiTest)
#include "ui_test.moc"
