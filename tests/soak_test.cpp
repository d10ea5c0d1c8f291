#include "clipboard.h"
#include "form1.h"
#include "test_platform.h"
#include "test_sources.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

namespace {

constexpr int kGeneratePresses = 100'000;
constexpr int kCopyEvery = 10; // 10,000 copies in all
constexpr int kSettledAfter = 1'000;
constexpr int kEventsEvery = 500;
constexpr qint64 kAllowedGrowthKb = 2 * 1024;

qint64 residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').front().toLongLong();
        }
    }
    return -1;
}

} // namespace

// A long session in one process: many presses, the real clipboard, and the
// memory it holds at the end.
class SoakTest : public QObject
{
    Q_OBJECT

private slots:
    void manyPressesStayCorrectAndDoNotGrow();
};

void SoakTest::manyPressesStayCorrectAndDoNotGrow()
{
    hexlark::testing::CountingSource random;
    hexlark::SystemClipboard clipboard;
    hexlark::testing::FakeMessageBox messages;
    hexlark::testing::RecordingErrorPath errors;
    hexlark::Form1 window(random, clipboard, messages, errors);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    auto *text1 = window.findChild<QLineEdit *>(QStringLiteral("Text1"));
    auto *generate = window.findChild<QPushButton *>(QStringLiteral("Command1"));
    auto *copy = window.findChild<QPushButton *>(QStringLiteral("Command3"));
    const QRegularExpression shape(QStringLiteral("\\A[0-9A-F]{2}(-[0-9A-F]{2}){5}\\z"));
    QClipboard *system = QGuiApplication::clipboard();

    qint64 settledKb = -1;
    int copies = 0;
    for (int press = 1; press <= kGeneratePresses; ++press) {
        generate->click();
        const QString shown = text1->text();
        if (!shape.match(shown).hasMatch()) {
            QFAIL(qPrintable(QStringLiteral("press %1 showed '%2'").arg(press).arg(shown)));
        }
        if (press % kCopyEvery == 0) {
            copy->click();
            ++copies;
            if (system->text() != shown) {
                QFAIL(qPrintable(QStringLiteral("copy %1: clipboard has '%2', shown '%3'")
                                     .arg(copies)
                                     .arg(system->text(), shown)));
            }
        }
        if (press % kEventsEvery == 0) {
            QCoreApplication::processEvents();
        }
        if (press == kSettledAfter) {
            settledKb = residentKb();
        }
    }
    QCoreApplication::processEvents();
    const qint64 finalKb = residentKb();

    QCOMPARE(random.addressesDrawn(), 1 + kGeneratePresses);
    QCOMPARE(copies, kGeneratePresses / kCopyEvery);
    QVERIFY(errors.failures.isEmpty());
    QVERIFY(settledKb > 0);
#if defined(HEXLARK_SANITIZED)
    // The sanitizer holds freed memory back in quarantine: resident size there
    // says nothing about the program's own growth.
    qInfo("resident memory not judged in a sanitizer build");
    return;
#endif
    qInfo("resident memory: %lld kB after %d presses, %lld kB after %d", settledKb, kSettledAfter,
          finalKb, kGeneratePresses);
    QVERIFY2(finalKb - settledKb <= kAllowedGrowthKb,
             qPrintable(QStringLiteral("grew by %1 kB").arg(finalKb - settledKb)));
}

QTEST_MAIN(SoakTest)
#include "soak_test.moc"
