#include "xsession.h"

#include <QByteArray>
#include <QObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTest>

#include <chrono>

using hexlark::e2e::CommandResult;
using hexlark::e2e::XSession;
using namespace std::chrono_literals;

namespace {

const QStringList kDisplayVariables{QStringLiteral("DISPLAY"), QStringLiteral("WAYLAND_DISPLAY"),
                                    QStringLiteral("QT_QPA_PLATFORM")};
// A program that notices the lost display ends well within this.
constexpr auto kLostDisplayDeadline = 10s;
constexpr auto kNoDisplayDeadline = 10s;
// A display number no X server here listens on.
const QString kSilentDisplay = QStringLiteral(":4093");

} // namespace

// The real program when the display is missing or goes away: it must end
// with a message and a failure status, never hang, spin or dump core.
class FaultsTest : public QObject
{
    Q_OBJECT

private slots:
    void lostDisplayEndsProgram();
    void noDisplayIsReported_data();
    void noDisplayIsReported();
};

void FaultsTest::lostDisplayEndsProgram()
{
    XSession session;
    QVERIFY2(session.isReady(), qPrintable(session.errorString()));
    QProcess *program = session.startHexlark();
    QVERIFY2(program != nullptr, qPrintable(session.errorString()));
    QVERIFY2(!session.waitForHexlarkWindow(*program).isEmpty(), qPrintable(session.errorString()));

    session.killServer();

    QVERIFY2(XSession::waitForExit(*program, kLostDisplayDeadline),
             "still running after its display went away");
    QCOMPARE(program->exitStatus(), QProcess::NormalExit);
    QVERIFY(program->exitCode() != 0);
    const QByteArray message = program->readAllStandardError().trimmed();
    QVERIFY2(!message.isEmpty(), "ended without saying why");
}

void FaultsTest::noDisplayIsReported_data()
{
    QTest::addColumn<bool>("setButEmpty");
    QTest::addColumn<QString>("display");
    QTest::newRow("variables unset") << false << QString();
    // The program treats an empty variable like a missing one.
    QTest::newRow("variables empty") << true << QString();
    // Set, but nothing answers there: the toolkit's own failure, reported
    // without its core dump.
    QTest::newRow("display not answering") << false << kSilentDisplay;
}

void FaultsTest::noDisplayIsReported()
{
    QFETCH(bool, setButEmpty);
    QFETCH(QString, display);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString &variable : kDisplayVariables) {
        environment.remove(variable);
        if (setButEmpty) {
            environment.insert(variable, QString());
        }
    }
    if (!display.isEmpty()) {
        environment.insert(QStringLiteral("DISPLAY"), display);
    }

    const CommandResult result =
        XSession::runIn(environment, QStringLiteral(HEXLARK_BINARY), {}, kNoDisplayDeadline);

    QVERIFY2(result.finished, "still running with no display");
    // A crash signal (Qt's own abort when it finds no display) would dump core.
    QVERIFY2(!result.crashed, result.standardError.constData());
    QVERIFY(result.exitCode != 0);
    QVERIFY2(result.standardError.toLower().contains("display"), result.standardError.constData());
    if (display.isEmpty()) {
        // The program's own check: one line, nothing from the toolkit.
        QVERIFY2(result.standardError.endsWith('\n') && result.standardError.count('\n') == 1,
                 result.standardError.constData());
    } else {
        // The toolkit says what it tried, and the program why it stops.
        QVERIFY2(result.standardError.contains("\nhexlark: "), result.standardError.constData());
    }
}

QTEST_GUILESS_MAIN(FaultsTest)
#include "faults_test.moc"
