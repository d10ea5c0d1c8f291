#include "xsession.h"

#include <QByteArray>
#include <QObject>
#include <QProcess>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTest>

#include <chrono>
#include <memory>
#include <optional>

using hexlark::e2e::XSession;
using namespace std::chrono_literals;

namespace {

const QString kCopy = QStringLiteral("alt+c");
const QString kGenerate = QStringLiteral("alt+g");
// Addresses carry at least 46 random bits, so a few generated ones that all
// match the first would mean Generate did nothing.
constexpr int kGeneratePresses = 4;
constexpr auto kExitDeadline = 10s;

} // namespace

// The real program on its own display: its Copy and Generate keys, seen
// through the system clipboard as another program would paste it.
class ClipboardTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void copyPutsAddressOnClipboard_data();
    void copyPutsAddressOnClipboard();
    void copyTwiceGivesSameText();
    void generateMakesNewAddress();
    void closingEndsWithStatusZero();

private:
    std::unique_ptr<XSession> m_session;
    QProcess *m_program = nullptr;
    QString m_window;
};

void ClipboardTest::initTestCase()
{
    m_session = std::make_unique<XSession>();
    QVERIFY2(m_session->isReady(), qPrintable(m_session->errorString()));
    m_program = m_session->startHexlark();
    QVERIFY2(m_program != nullptr, qPrintable(m_session->errorString()));
    m_window = m_session->waitForHexlarkWindow(*m_program);
    QVERIFY2(!m_window.isEmpty(), qPrintable(m_session->errorString()));
}

void ClipboardTest::copyPutsAddressOnClipboard_data()
{
    QTest::addColumn<QStringList>("chords");
    QTest::newRow("copy") << QStringList{kCopy};
    QTest::newRow("generate then copy") << QStringList{kGenerate, kCopy};
}

void ClipboardTest::copyPutsAddressOnClipboard()
{
    QFETCH(QStringList, chords);
    const std::optional<QByteArray> copied = m_session->pressAndReadClipboard(m_window, chords);
    QVERIFY2(copied.has_value(), "the clipboard never changed after the keys");
    QVERIFY2(hexlark::e2e::isAddressText(*copied), copied->toHex(' ').constData());
}

void ClipboardTest::copyTwiceGivesSameText()
{
    const std::optional<QByteArray> first = m_session->pressAndReadClipboard(m_window, {kCopy});
    const std::optional<QByteArray> second = m_session->pressAndReadClipboard(m_window, {kCopy});
    QVERIFY(first.has_value());
    QVERIFY(second.has_value());
    QVERIFY2(hexlark::e2e::isAddressText(*first), first->constData());
    QCOMPARE(*second, *first);
}

void ClipboardTest::generateMakesNewAddress()
{
    const std::optional<QByteArray> start = m_session->pressAndReadClipboard(m_window, {kCopy});
    QVERIFY(start.has_value());
    QSet<QByteArray> seen{*start};
    for (int press = 0; press < kGeneratePresses; ++press) {
        const std::optional<QByteArray> next =
            m_session->pressAndReadClipboard(m_window, {kGenerate, kCopy});
        QVERIFY(next.has_value());
        QVERIFY2(hexlark::e2e::isAddressText(*next), next->constData());
        seen.insert(*next);
    }
    QVERIFY2(seen.size() > 1, "Generate never changed the address");
}

void ClipboardTest::closingEndsWithStatusZero()
{
    QVERIFY(m_session->requestClose(m_window));
    QVERIFY2(XSession::waitForExit(*m_program, kExitDeadline), "still running after the close");
    QCOMPARE(m_program->exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_program->exitCode(), 0);
}

QTEST_GUILESS_MAIN(ClipboardTest)
#include "clipboard_test.moc"
