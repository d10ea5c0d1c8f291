#include "clipboard.h"
#include "error_path.h"
#include "form1_handlers.h"
#include "message_box.h"
#include "patient_clipboard.h"
#include "pause.h"
#include "random_source.h"
#include "text_box.h"

#include <QObject>
#include <QString>
#include <QTest>

#include <chrono>
#include <functional>
#include <stdexcept>
#include <string>

using namespace hexlark;

namespace {

// Every platform piece the handlers use, each writing what it is asked to do
// into one log; an operation named in `failing` reports a failure.
struct FakeDesktop final : RandomSource, TextBox, MessageBox, ErrorPath
{
    QString failing;
    std::string log;
    std::string shown = "00-00-00-00-00-00";
    int draws = 0;
    std::function<void()> whileBoxIsUp;

    bool step(const char *name, const std::string &detail = {})
    {
        log += std::string(name) + (detail.empty() ? "" : ":" + detail) +
               (failing == name ? "!" : "") + " ";
        return failing != name;
    }
    void Reseed() override
    {
        if (failing == "draw") {
            throw std::runtime_error("no entropy");
        }
    }
    double NextUniform() override { return ((draws++ % 16) + 0.5) / 16; }
    std::string text() const override { return shown; }
    bool setText(const std::string &text) override
    {
        shown = step("set", text) ? text : shown;
        return failing != "set";
    }
    bool lock() override { return step("lock"); }
    bool clear() { return step("clear"); }
    bool copy(const std::string &text) { return step("copy", text); }
    void show(const std::string &message, const std::string &title) override
    {
        step("box", message + "|" + title);
        if (whileBoxIsUp) {
            whileBoxIsUp();
        }
    }
    void fail(const std::string &what) override { log += "FAIL(" + what + ") "; }
};

// TextBox and Clipboard share the name setText: the clipboard writes to the log here.
struct FakeClipboard final : Clipboard
{
    FakeDesktop &desktop;
    explicit FakeClipboard(FakeDesktop &d) : desktop(d) {}
    bool clear() override { return desktop.clear(); }
    bool setText(const std::string &text) override { return desktop.copy(text); }
};

// A clipboard another program holds for the first `busy` tries; the pauses
// between them are only counted.
struct BusyClipboard final : Clipboard, Pause
{
    int busy = 0;
    int tries = 0;
    std::chrono::milliseconds waited{0};
    bool clear() override { return ++tries > busy; }
    bool setText(const std::string &text) override
    {
        return text == "3A-07-C1-9E-42-B0" && ++tries > busy;
    }
    void wait(std::chrono::milliseconds span) override { waited += span; }
};

} // namespace

class HandlersTest : public QObject
{
    Q_OBJECT

private slots:
    void handlers_data()
    {
        QTest::addColumn<QString>("failing");
        QTest::addColumn<QString>("clicks");
        QTest::addColumn<QString>("log");
        // One row a line or two, as the table reads.
        // clang-format off
        const QString first = "lock set:01-23-45-67-89-AB ";
        QTest::newRow("load") << "" << "" << first;
        QTest::newRow("generate") << "" << "G" << first + "set:CD-EF-01-23-45-67 ";
        QTest::newRow("copy twice") << "" << "CC"
                                    << first + "clear copy:01-23-45-67-89-AB clear "
                                               "copy:01-23-45-67-89-AB ";
        QTest::newRow("generate then copy")
            << "" << "GC" << first + "set:CD-EF-01-23-45-67 clear copy:CD-EF-01-23-45-67 ";
        QTest::newRow("about") << "" << "A" << first + "box:Hexlark v1.0, by Quillmoth|About ";
        QTest::newRow("click while the box is up")
            << "" << "B" << first + "box:Hexlark v1.0, by Quillmoth|About ";
        QTest::newRow("lock fails") << "lock" << "GC" << "lock! FAIL(cannot make the address box "
                                                         "read-only) ";
        QTest::newRow("show fails") << "set" << "GCA"
                                    << "lock set:01-23-45-67-89-AB! FAIL(cannot show the new "
                                       "address) ";
        QTest::newRow("clear fails") << "clear" << "CGC"
                                     << first + "clear! FAIL(cannot clear the clipboard) ";
        QTest::newRow("copy fails") << "copy" << "CG"
                                    << first + "clear copy:01-23-45-67-89-AB! FAIL(cannot put "
                                               "the address on the clipboard) ";
        QTest::newRow("exception") << "draw" << "GCA" << "lock FAIL(no entropy) ";
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
        Form1Handlers handlers(desktop, desktop, clipboard, desktop, desktop);
        desktop.whileBoxIsUp = [&] {
            if (clicks == "B") {
                handlers.command1Click();
                handlers.command3Click();
                handlers.command2Click();
            }
        };
        handlers.load();
        for (const QChar click : clicks) {
            switch (click.toLatin1()) {
            case 'G':
                handlers.command1Click();
                break;
            case 'C':
                handlers.command3Click();
                break;
            default:
                handlers.command2Click();
            }
        }
        QCOMPARE(QString::fromStdString(desktop.log), log);
    }

    // Tried every 20 ms for a second: a clipboard held for a moment is no failure.
    void patientClipboard_data()
    {
        QTest::addColumn<bool>("clear");
        QTest::addColumn<int>("busy");
        QTest::addColumn<int>("tries");
        QTest::addColumn<int>("waitedMs");
        QTest::newRow("clear, free") << true << 0 << 1 << 0;
        QTest::newRow("clear, busy three times") << true << 3 << 4 << 60;
        QTest::newRow("copy, free at the last try") << false << 50 << 51 << 1000;
        QTest::newRow("copy, busy past a second") << false << 51 << 51 << 1000;
    }
    void patientClipboard()
    {
        QFETCH(bool, clear);
        QFETCH(int, busy);
        QFETCH(int, tries);
        QFETCH(int, waitedMs);
        BusyClipboard system;
        system.busy = busy;
        PatientClipboard clipboard(system, system);
        QCOMPARE(clear ? clipboard.clear() : clipboard.setText("3A-07-C1-9E-42-B0"), busy < tries);
        QCOMPARE(system.tries, tries);
        QCOMPARE(system.waited.count(), waitedMs);
    }
};

QTEST_APPLESS_MAIN(HandlersTest)
#include "handlers_test.moc"
