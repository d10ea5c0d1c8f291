#include "session_bus.h"
#include "x_selection.h"
#include "xsession.h"

#include <QByteArray>
#include <QDeadlineTimer>
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

using hexlark::e2e::SessionBus;
using hexlark::e2e::XSession;
using namespace std::chrono_literals;

namespace {

const QString kWindowName = QStringLiteral("^Hexlark$");
const QString kCopy = QStringLiteral("alt+c");
const QString kManagerSelection = QStringLiteral("CLIPBOARD_MANAGER");
const QString kSettingsService = QStringLiteral("org.xfce.Xfconf");
// What Qt writes when a manager never answers its request to save the
// clipboard, after waiting for it.
const QByteArray kNoHandOver =
    QByteArrayLiteral("Unable to receive an event from the clipboard manager");
constexpr auto kServiceDeadline = 15s;
// Qt waits up to 5 s for the manager's answer before the program can end.
constexpr auto kExitDeadline = 15s;
constexpr auto kClipboardDeadline = 10s;
constexpr auto kPollInterval = 50ms;

void waitPollInterval()
{
    QThread::msleep(static_cast<unsigned long>(kPollInterval.count()));
}

} // namespace

// The clipboard after the program has ended, with the Xfce desktop's
// clipboard manager (xfsettingsd) running. X11 clipboards live in the
// program that copied, so without a manager the copied address is gone once
// Hexlark quits; with one, Qt asks the manager to save the clipboard
// (SAVE_TARGETS) as the program quits, and the manager then serves it.
class ClipboardManagerTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void copyPutsAddressOnClipboard();
    void closingHandsClipboardToManager();
    void addressOutlivesProgram();

private:
    // Destroyed in reverse: the programs on the display, then the bus.
    std::unique_ptr<SessionBus> m_bus;
    std::unique_ptr<XSession> m_session;
    QProcess *m_manager = nullptr;
    QProcess *m_program = nullptr;
    QString m_window;
    std::optional<QByteArray> m_copied;
};

void ClipboardManagerTest::initTestCase()
{
    m_bus = std::make_unique<SessionBus>();
    QVERIFY2(m_bus->isReady(), qPrintable(m_bus->errorString()));
    m_session = std::make_unique<XSession>();
    QVERIFY2(m_session->isReady(), qPrintable(m_session->errorString()));
    QProcessEnvironment environment = m_bus->environment(m_session->programEnvironment());
    // No screen reader here: GTK need not look for the accessibility bus.
    environment.insert(QStringLiteral("NO_AT_BRIDGE"), QStringLiteral("1"));

    // xfsettingsd reads its settings through xfconfd; the bus starts no
    // services, so it is started here and ends with the session.
    QVERIFY2(m_session->startProgram(QStringLiteral(HEXLARK_XFCONFD), {}, environment),
             qPrintable(m_session->errorString()));
    const QDeadlineTimer serviceDeadline(kServiceDeadline);
    while (!m_bus->hasOwner(kSettingsService) && !serviceDeadline.hasExpired()) {
        waitPollInterval();
    }
    QVERIFY2(m_bus->hasOwner(kSettingsService), "xfconfd never took its name");
    // --disable-wm-check: no window manager runs here to wait for.
    m_manager = m_session->startProgram(QStringLiteral(HEXLARK_XFSETTINGSD),
                                        {QStringLiteral("--disable-wm-check")}, environment);
    QVERIFY2(m_manager != nullptr, qPrintable(m_session->errorString()));
    const QDeadlineTimer managerDeadline(kServiceDeadline);
    while (hexlark::e2e::selectionHasOwner(m_session->display(), kManagerSelection) != true &&
           !managerDeadline.hasExpired() && m_manager->state() == QProcess::Running) {
        waitPollInterval();
    }
    QVERIFY2(hexlark::e2e::selectionHasOwner(m_session->display(), kManagerSelection) == true,
             m_manager->readAllStandardError().constData());

    m_program = m_session->startProgram(QStringLiteral(HEXLARK_BINARY), {}, environment);
    QVERIFY2(m_program != nullptr, qPrintable(m_session->errorString()));
    m_window = m_session->waitForWindow(kWindowName, m_program->processId());
    QVERIFY2(!m_window.isEmpty(), m_program->readAllStandardError().constData());
}

void ClipboardManagerTest::copyPutsAddressOnClipboard()
{
    m_copied = m_session->pressAndReadClipboard(m_window, {kCopy});
    QVERIFY2(m_copied.has_value(), "the clipboard never changed after Copy");
    QVERIFY2(hexlark::e2e::isAddressText(*m_copied), m_copied->constData());
}

void ClipboardManagerTest::closingHandsClipboardToManager()
{
    QVERIFY(m_session->requestClose(m_window));
    QVERIFY2(XSession::waitForExit(*m_program, kExitDeadline), "still running after the close");
    const QByteArray errors = m_program->readAllStandardError();
    QCOMPARE(m_program->exitStatus(), QProcess::NormalExit);
    QVERIFY2(m_program->exitCode() == 0, errors.constData());
    // Qt says so when the manager did not confirm that it took the clipboard.
    QVERIFY2(!errors.contains(kNoHandOver), errors.constData());
}

void ClipboardManagerTest::addressOutlivesProgram()
{
    QVERIFY(m_copied.has_value());
    QCOMPARE(m_program->state(), QProcess::NotRunning);
    std::optional<QByteArray> held = m_session->readClipboard();
    const QDeadlineTimer deadline(kClipboardDeadline);
    while (held != m_copied && !deadline.hasExpired()) {
        waitPollInterval();
        held = m_session->readClipboard();
    }
    QCOMPARE(held.value_or(QByteArrayLiteral("(nothing)")), *m_copied);
    QCOMPARE(m_manager->state(), QProcess::Running);
}

QTEST_GUILESS_MAIN(ClipboardManagerTest)
#include "clipboard_manager_test.moc"
