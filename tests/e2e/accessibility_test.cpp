#include "session_bus.h"
#include "xsession.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>
#include <QObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTest>
#include <QThread>

#include <chrono>
#include <memory>
#include <optional>

using hexlark::e2e::CommandResult;
using hexlark::e2e::SessionBus;
using hexlark::e2e::XSession;
using namespace std::chrono_literals;

namespace {

const QString kWindowName = QStringLiteral("^Hexlark$");
const QString kAccessibilityBus = QStringLiteral("org.a11y.Bus");
// What at-spi2-registryd prints once it serves the accessibility tree.
const QByteArray kRegistryReady = QByteArrayLiteral("is running");
const QString kReadOnly = QStringLiteral("read only");
constexpr auto kServiceDeadline = 15s;
// The probe waits up to 20 s for the program and 10 s for a new address.
constexpr auto kProbeDeadline = 45s;
constexpr auto kClipboardDeadline = 10s;
constexpr auto kExitDeadline = 10s;
constexpr auto kPollInterval = 50ms;

void waitPollInterval()
{
    QThread::msleep(static_cast<unsigned long>(kPollInterval.count()));
}

// A value in the probe's report by path, e.g. "box/role".
QJsonValue reportValue(const QJsonObject &report, const QString &path)
{
    QJsonValue value(report);
    for (const QString &key : path.split(QLatin1Char('/'))) {
        value = value.toObject().value(key);
    }
    return value;
}

} // namespace

// The real program as a screen reader such as Orca sees it: its window, the
// address box and the buttons in the AT-SPI tree, read and pressed by a
// Python script through pyatspi, on a private session and accessibility bus.
class AccessibilityTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void treeShowsControls_data();
    void treeShowsControls();
    void addressBoxIsReadOnly();
    void addressesAreValid_data();
    void addressesAreValid();
    void generateActionChangesAddress();
    void copyActionFillsClipboard();
    void closingEndsWithStatusZero();

private:
    // Destroyed in reverse: the programs on the display, then the bus.
    std::unique_ptr<SessionBus> m_bus;
    std::unique_ptr<XSession> m_session;
    QProcess *m_program = nullptr;
    QString m_window;
    QJsonObject m_report;
};

void AccessibilityTest::initTestCase()
{
    m_bus = std::make_unique<SessionBus>();
    QVERIFY2(m_bus->isReady(), qPrintable(m_bus->errorString()));
    m_session = std::make_unique<XSession>();
    QVERIFY2(m_session->isReady(), qPrintable(m_session->errorString()));
    const QProcessEnvironment environment = m_bus->environment(m_session->programEnvironment());

    // The accessibility bus first, then the registry on it; the bus has no
    // service folders, so neither is ever started twice behind our back.
    QVERIFY2(m_session->startProgram(QStringLiteral(HEXLARK_ATSPI_BUS_LAUNCHER),
                                     {QStringLiteral("--launch-immediately")}, environment),
             qPrintable(m_session->errorString()));
    const QDeadlineTimer busDeadline(kServiceDeadline);
    while (!m_bus->hasOwner(kAccessibilityBus) && !busDeadline.hasExpired()) {
        waitPollInterval();
    }
    QVERIFY2(m_bus->hasOwner(kAccessibilityBus), "at-spi-bus-launcher never took its name");
    QProcess *registry =
        m_session->startProgram(QStringLiteral(HEXLARK_ATSPI_REGISTRYD), {}, environment);
    QVERIFY2(registry != nullptr, qPrintable(m_session->errorString()));
    QByteArray announced;
    const QDeadlineTimer registryDeadline(kServiceDeadline);
    while (!announced.contains(kRegistryReady) && !registryDeadline.hasExpired() &&
           registry->state() == QProcess::Running) {
        registry->waitForReadyRead(static_cast<int>(kPollInterval.count()));
        announced += registry->readAllStandardOutput();
    }
    QVERIFY2(announced.contains(kRegistryReady), registry->readAllStandardError().constData());

    // Qt exposes its tree only when asked to, or when it sees a screen reader.
    QProcessEnvironment programEnvironment = environment;
    programEnvironment.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"),
                              QStringLiteral("1"));
    programEnvironment.insert(QStringLiteral("QT_ACCESSIBILITY"), QStringLiteral("1"));
    m_program = m_session->startProgram(QStringLiteral(HEXLARK_BINARY), {}, programEnvironment);
    QVERIFY2(m_program != nullptr, qPrintable(m_session->errorString()));
    m_window = m_session->waitForWindow(kWindowName, m_program->processId());
    QVERIFY2(!m_window.isEmpty(), m_program->readAllStandardError().constData());

    // The system's python3 with Debian's pyatspi, never a virtual environment's.
    QProcessEnvironment probeEnvironment = environment;
    for (const QString &variable : {QStringLiteral("PYTHONHOME"), QStringLiteral("PYTHONPATH"),
                                    QStringLiteral("VIRTUAL_ENV")}) {
        probeEnvironment.remove(variable);
    }
    const CommandResult probe =
        XSession::runIn(probeEnvironment, QStringLiteral(HEXLARK_SYSTEM_PYTHON),
                        {QStringLiteral(HEXLARK_ACCESSIBILITY_PROBE), QStringLiteral("--pid"),
                         QString::number(m_program->processId())},
                        kProbeDeadline);
    QVERIFY2(probe.succeeded(), probe.standardError.constData());
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(probe.standardOutput, &error);
    QVERIFY2(error.error == QJsonParseError::NoError && document.isObject(),
             probe.standardOutput.constData());
    m_report = document.object();
    qInfo("%s", document.toJson(QJsonDocument::Compact).constData());
}

void AccessibilityTest::treeShowsControls_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QStringList>("accepted");
    QTest::newRow("application name")
        << QStringLiteral("application") << QStringList{QStringLiteral("Hexlark")};
    QTest::newRow("window name") << QStringLiteral("window/name")
                                 << QStringList{QStringLiteral("Hexlark")};
    // A window to a screen reader, not a "filler" inside one.
    QTest::newRow("window role") << QStringLiteral("window/role")
                                 << QStringList{QStringLiteral("frame"), QStringLiteral("window")};
    // Orca reads a single-line box as "text" or "entry", depending on the toolkit.
    QTest::newRow("address box role")
        << QStringLiteral("box/role")
        << QStringList{QStringLiteral("text"), QStringLiteral("entry")};
    QTest::newRow("address box name")
        << QStringLiteral("box/name") << QStringList{QStringLiteral("MAC address")};
    QTest::newRow("generate role")
        << QStringLiteral("generate/role") << QStringList{QStringLiteral("push button")};
    QTest::newRow("generate name")
        << QStringLiteral("generate/name") << QStringList{QStringLiteral("Generate")};
    QTest::newRow("copy role") << QStringLiteral("copy/role")
                               << QStringList{QStringLiteral("push button")};
    QTest::newRow("copy name") << QStringLiteral("copy/name")
                               << QStringList{QStringLiteral("Copy")};
}

void AccessibilityTest::treeShowsControls()
{
    QFETCH(QString, path);
    QFETCH(QStringList, accepted);
    const QString value = reportValue(m_report, path).toString();
    QVERIFY2(accepted.contains(value), qPrintable(QStringLiteral("%1 is \"%2\"").arg(path, value)));
}

void AccessibilityTest::addressBoxIsReadOnly()
{
    const QJsonArray states = reportValue(m_report, QStringLiteral("box/states")).toArray();
    QVERIFY2(states.contains(kReadOnly),
             QJsonDocument(states).toJson(QJsonDocument::Compact).constData());
}

void AccessibilityTest::addressesAreValid_data()
{
    QTest::addColumn<QString>("key");
    QTest::newRow("shown at start") << QStringLiteral("before");
    QTest::newRow("shown after Generate") << QStringLiteral("after");
}

void AccessibilityTest::addressesAreValid()
{
    QFETCH(QString, key);
    const QByteArray address = m_report.value(key).toString().toUtf8();
    QVERIFY2(hexlark::e2e::isAddressText(address), address.constData());
}

void AccessibilityTest::generateActionChangesAddress()
{
    // 48 random bits: the same address twice in a row means Generate did nothing.
    QVERIFY2(m_report.value(QStringLiteral("after")) != m_report.value(QStringLiteral("before")),
             qPrintable(m_report.value(QStringLiteral("after")).toString()));
}

void AccessibilityTest::copyActionFillsClipboard()
{
    // The probe pressed Copy last, so the clipboard holds the address shown then.
    const QByteArray shown = m_report.value(QStringLiteral("after")).toString().toUtf8();
    std::optional<QByteArray> held = m_session->readClipboard();
    const QDeadlineTimer deadline(kClipboardDeadline);
    while (held != shown && !deadline.hasExpired()) {
        waitPollInterval();
        held = m_session->readClipboard();
    }
    QCOMPARE(held.value_or(QByteArray()), shown);
}

void AccessibilityTest::closingEndsWithStatusZero()
{
    QVERIFY(m_session->requestClose(m_window));
    QVERIFY2(XSession::waitForExit(*m_program, kExitDeadline), "still running after the close");
    QCOMPARE(m_program->exitStatus(), QProcess::NormalExit);
    QVERIFY2(m_program->exitCode() == 0, m_program->readAllStandardError().constData());
}

QTEST_GUILESS_MAIN(AccessibilityTest)
#include "accessibility_test.moc"
