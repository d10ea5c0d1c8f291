#include "form1_handlers.h"

#include "test_platform.h"
#include "test_sources.h"

#include <QTest>

#include <stdexcept>

using namespace hexlark;
using namespace hexlark::testing;

namespace {

// Draws that make the address 00-11-22-33-44-55, then FF-EE-DD-CC-BB-AA.
const std::vector<double> kTwoAddresses{0.0,  0.0,  0.07, 0.07, 0.13, 0.13, 0.19, 0.19,
                                        0.26, 0.26, 0.32, 0.32, 0.99, 0.99, 0.88, 0.88,
                                        0.82, 0.82, 0.76, 0.76, 0.70, 0.70, 0.63, 0.63};

class ThrowingSource final : public RandomSource
{
public:
    void Reseed() override { throw std::runtime_error("clock unreadable"); }
    double NextUniform() override { return 0.0; }
};

struct Rig
{
    ScriptedSource random{kTwoAddresses};
    FakeTextBox text1;
    FakeClipboard clipboard;
    FakeMessageBox messages;
    RecordingErrorPath errors;
    Form1Handlers handlers{random, text1, clipboard, messages, errors};
};

} // namespace

class Form1HandlersTest : public QObject
{
    Q_OBJECT

private slots:
    void loadLocksAndShowsAnAddress()
    {
        Rig rig;
        rig.handlers.load();
        QVERIFY(rig.text1.locked);
        QCOMPARE(rig.text1.text(), std::string("00-11-22-33-44-55"));
        rig.handlers.command1Click();
        QCOMPARE(rig.text1.text(), std::string("FF-EE-DD-CC-BB-AA"));
        QVERIFY(rig.errors.failures.empty());
    }

    void copyClearsThenPutsTheShownText()
    {
        Rig rig;
        rig.handlers.load();
        rig.handlers.command3Click();
        rig.handlers.command3Click();
        const std::vector<std::string> expected{"clear", "set:00-11-22-33-44-55", "clear",
                                                "set:00-11-22-33-44-55"};
        QCOMPARE(rig.clipboard.log, expected);
    }

    void aboutNamesProgramVersionAndAuthor()
    {
        Rig rig;
        rig.handlers.command2Click();
        QCOMPARE(rig.messages.shown, std::vector<std::string>{"About: Hexlark v1.0, by Quillmoth"});
    }

    // A click that lands while the About box is up is dropped.
    void clicksWhileABoxIsUpAreDropped()
    {
        Rig rig;
        rig.handlers.load();
        rig.messages.whileShown = [&rig] {
            rig.handlers.command1Click();
            rig.handlers.command3Click();
            rig.handlers.command2Click();
        };
        rig.handlers.command2Click();
        QCOMPARE(rig.text1.text(), std::string("00-11-22-33-44-55"));
        QVERIFY(rig.clipboard.log.empty());
        QCOMPARE(rig.messages.shown.size(), std::size_t{1});
        rig.handlers.command1Click();
        QCOMPARE(rig.text1.text(), std::string("FF-EE-DD-CC-BB-AA"));
    }

    void failureStopsTheHandlerAndEveryLaterOne_data()
    {
        QTest::addColumn<int>("failing");
        QTest::addColumn<QStringList>("clipboardLog");
        QTest::newRow("lock") << 0 << QStringList{};
        QTest::newRow("show address") << 1 << QStringList{};
        QTest::newRow("clear clipboard") << 2 << QStringList{"clear"};
        QTest::newRow("put on clipboard") << 3 << QStringList{"clear", "set:00-11-22-33-44-55"};
    }
    void failureStopsTheHandlerAndEveryLaterOne()
    {
        QFETCH(int, failing);
        QFETCH(QStringList, clipboardLog);
        Rig rig;
        rig.text1.failLock = failing == 0;
        rig.clipboard.failClear = failing == 2;
        rig.clipboard.failSet = failing == 3;
        if (failing == 1) {
            rig.text1.failSet = true;
        }
        rig.handlers.load();
        rig.handlers.command3Click();
        // Nothing of the program's runs once the failure path has begun.
        rig.text1.failSet = false;
        rig.handlers.command1Click();
        rig.handlers.command3Click();
        rig.handlers.command2Click();

        QCOMPARE(rig.errors.failures.size(), std::size_t{1});
        QStringList log;
        for (const std::string &entry : rig.clipboard.log) {
            log << QString::fromStdString(entry);
        }
        QCOMPARE(log, clipboardLog);
        QVERIFY(rig.messages.shown.empty());
        QCOMPARE(rig.text1.text(),
                 std::string(failing >= 2 ? "00-11-22-33-44-55" : "00-00-00-00-00-00"));
    }

    void exceptionEndsOnTheErrorPathAtTheHandlersEdge()
    {
        ThrowingSource random;
        FakeTextBox text1;
        FakeClipboard clipboard;
        FakeMessageBox messages;
        RecordingErrorPath errors;
        Form1Handlers handlers{random, text1, clipboard, messages, errors};
        handlers.load();
        handlers.command3Click();
        QCOMPARE(errors.failures, std::vector<std::string>{"clock unreadable"});
        QVERIFY(clipboard.log.empty());
    }
};

QTEST_GUILESS_MAIN(Form1HandlersTest)
#include "form1_handlers_test.moc"
