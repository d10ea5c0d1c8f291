#include "xsession.h"

#include <QByteArray>
#include <QObject>
#include <QProcess>
#include <QSet>
#include <QString>
#include <QTest>

#include <chrono>
#include <memory>
#include <optional>
#include <vector>

using hexlark::e2e::XSession;
using namespace std::chrono_literals;

namespace {

const QString kCopy = QStringLiteral("alt+c");
constexpr int kCopies = 16;
constexpr auto kExitDeadline = 10s;

} // namespace

// Many copies of the real program on one display at once: each seeds its own
// generator and owns the clipboard in turn without disturbing the others.
class CopiesTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void eachCopyGivesItsOwnAddress();
    void closingEndsEveryCopy();

private:
    struct Copy
    {
        QProcess *process = nullptr;
        QString window;
    };

    std::unique_ptr<XSession> m_session;
    std::vector<Copy> m_copies;
};

void CopiesTest::initTestCase()
{
    m_session = std::make_unique<XSession>();
    QVERIFY2(m_session->isReady(), qPrintable(m_session->errorString()));
    // All started before any is waited for, so they come up side by side.
    for (int i = 0; i < kCopies; ++i) {
        QProcess *process = m_session->startHexlark();
        QVERIFY2(process != nullptr, qPrintable(m_session->errorString()));
        m_copies.push_back({process, {}});
    }
    for (Copy &copy : m_copies) {
        copy.window = m_session->waitForHexlarkWindow(*copy.process);
        QVERIFY2(!copy.window.isEmpty(), qPrintable(m_session->errorString()));
    }
}

void CopiesTest::eachCopyGivesItsOwnAddress()
{
    QSet<QByteArray> addresses;
    for (const Copy &copy : m_copies) {
        const std::optional<QByteArray> copied =
            m_session->pressAndReadClipboard(copy.window, {kCopy});
        QVERIFY2(copied.has_value(),
                 qPrintable(QStringLiteral("no copy from window %1").arg(copy.window)));
        QVERIFY2(hexlark::e2e::isAddressText(*copied), copied->constData());
        QVERIFY2(!addresses.contains(*copied), copied->constData());
        addresses.insert(*copied);
    }
    QCOMPARE(addresses.size(), kCopies);
}

void CopiesTest::closingEndsEveryCopy()
{
    for (const Copy &copy : m_copies) {
        QVERIFY(m_session->requestClose(copy.window));
    }
    for (const Copy &copy : m_copies) {
        QVERIFY2(XSession::waitForExit(*copy.process, kExitDeadline),
                 qPrintable(QStringLiteral("window %1 still running").arg(copy.window)));
        QCOMPARE(copy.process->exitStatus(), QProcess::NormalExit);
        QCOMPARE(copy.process->exitCode(), 0);
    }
}

QTEST_GUILESS_MAIN(CopiesTest)
#include "copies_test.moc"
