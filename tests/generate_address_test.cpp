#include "generate_address.h"

#include "test_sources.h"

#include <QRegularExpression>
#include <QSet>
#include <QString>
#include <QTest>

#include <cmath>
#include <limits>
#include <stdexcept>

using hexlark::ChaChaRandomSource;
using hexlark::GenerateAddress;
using hexlark::testing::FrozenClock;
using hexlark::testing::ScriptedSource;
using hexlark::testing::seedFrom;

namespace {

constexpr int kAddressLength = 17;
constexpr int kDigitPositions = 12;
const QString kHexDigits = QStringLiteral("0123456789ABCDEF");

bool isAddress(const QString &text)
{
    static const QRegularExpression shape(QStringLiteral("\\A[0-9A-F]{2}(-[0-9A-F]{2}){5}\\z"));
    return shape.match(text).hasMatch();
}

// Position of the n-th hexadecimal digit (0..11) in an address text.
int digitPosition(int n)
{
    return n / 2 * 3 + n % 2;
}

} // namespace

class GenerateAddressTest : public QObject
{
    Q_OBJECT

private slots:
    void everyResultIsAnAddress_data();
    void everyResultIsAnAddress();
    void everyDigitReachesEveryPosition();
    void frozenClockStillGivesFreshAddresses();
    void reseedsBeforeEveryOctetAndDrawsTwice();
    void drawsMapToDigitsByFloorOfSixteenths_data();
    void drawsMapToDigitsByFloorOfSixteenths();
    void drawOutsideTheUnitIntervalIsAnError_data();
    void drawOutsideTheUnitIntervalIsAnError();
};

void GenerateAddressTest::everyResultIsAnAddress_data()
{
    QTest::addColumn<quint64>("seed");
    QTest::addColumn<bool>("frozenClock");
    QTest::newRow("seed 1, frozen clock") << quint64{1} << true;
    QTest::newRow("seed 2, frozen clock") << quint64{2} << true;
    QTest::newRow("seed 3, system clock") << quint64{3} << false;
}

void GenerateAddressTest::everyResultIsAnAddress()
{
    QFETCH(quint64, seed);
    QFETCH(bool, frozenClock);
    const FrozenClock frozen;
    const hexlark::SystemClock system;
    ChaChaRandomSource source(seedFrom(seed),
                              frozenClock ? static_cast<const hexlark::Clock &>(frozen) : system);
    for (int i = 0; i < 20'000; ++i) {
        const QString address = QString::fromStdString(GenerateAddress(source));
        QCOMPARE(address.size(), kAddressLength);
        QVERIFY2(isAddress(address), qPrintable(address));
    }
}

void GenerateAddressTest::everyDigitReachesEveryPosition()
{
    const FrozenClock clock;
    ChaChaRandomSource source(seedFrom(5), clock);
    QSet<QString> octets;
    QList<QSet<QChar>> digitsAt(kDigitPositions);
    for (int i = 0; i < 5'000; ++i) {
        const QString address = QString::fromStdString(GenerateAddress(source));
        for (int n = 0; n < kDigitPositions; ++n) {
            digitsAt[n].insert(address.at(digitPosition(n)));
        }
        for (const QString &octet : address.split(QLatin1Char('-'))) {
            octets.insert(octet);
        }
    }
    for (int n = 0; n < kDigitPositions; ++n) {
        for (const QChar digit : kHexDigits) {
            QVERIFY2(digitsAt[n].contains(digit),
                     qPrintable(QStringLiteral("%1 never at digit %2").arg(digit).arg(n)));
        }
    }
    QVERIFY(octets.contains(QStringLiteral("00")));
    QVERIFY(octets.contains(QStringLiteral("FF")));
    QCOMPARE(octets.size(), 256);
}

void GenerateAddressTest::frozenClockStillGivesFreshAddresses()
{
    const FrozenClock clock;
    ChaChaRandomSource source(seedFrom(9), clock);
    QSet<QString> seen;
    int allOctetsEqual = 0;
    constexpr int kCalls = 2'000;
    for (int i = 0; i < kCalls; ++i) {
        const QString address = QString::fromStdString(GenerateAddress(source));
        QVERIFY2(!seen.contains(address), qPrintable(QStringLiteral("repeat: ") + address));
        seen.insert(address);
        const QStringList octets = address.split(QLatin1Char('-'));
        allOctetsEqual += octets.count(octets.front()) == octets.size() ? 1 : 0;
    }
    // Chance of six equal octets is 256^-5 per call: none expected.
    QCOMPARE(allOctetsEqual, 0);
}

void GenerateAddressTest::reseedsBeforeEveryOctetAndDrawsTwice()
{
    ScriptedSource source({0.5});
    GenerateAddress(source);
    const std::vector<char> expected{'R', 'U', 'U', 'R', 'U', 'U', 'R', 'U', 'U',
                                     'R', 'U', 'U', 'R', 'U', 'U', 'R', 'U', 'U'};
    QCOMPARE(source.calls(), expected);
}

void GenerateAddressTest::drawsMapToDigitsByFloorOfSixteenths_data()
{
    QTest::addColumn<double>("u");
    QTest::addColumn<QChar>("digit");
    const double justBelowOne = std::nextafter(1.0, 0.0);
    QTest::newRow("0 gives 0") << 0.0 << QChar(u'0');
    QTest::newRow("just below 1/16 gives 0") << std::nextafter(1.0 / 16, 0.0) << QChar(u'0');
    QTest::newRow("9/16 gives 9") << 9.0 / 16 << QChar(u'9');
    QTest::newRow("10/16 gives A") << 10.0 / 16 << QChar(u'A');
    QTest::newRow("just below 11/16 gives A") << std::nextafter(11.0 / 16, 0.0) << QChar(u'A');
    QTest::newRow("15/16 gives F") << 15.0 / 16 << QChar(u'F');
    QTest::newRow("largest double below 1 gives F") << justBelowOne << QChar(u'F');
}

void GenerateAddressTest::drawsMapToDigitsByFloorOfSixteenths()
{
    QFETCH(double, u);
    QFETCH(QChar, digit);
    ScriptedSource source({u});
    const QString expected = QStringList(6, QString(2, digit)).join(QLatin1Char('-'));
    QCOMPARE(QString::fromStdString(GenerateAddress(source)), expected);
}

void GenerateAddressTest::drawOutsideTheUnitIntervalIsAnError_data()
{
    QTest::addColumn<double>("u");
    QTest::newRow("exactly 1") << 1.0;
    QTest::newRow("negative") << -0.01;
    QTest::newRow("huge") << 1e300;
    QTest::newRow("infinity") << std::numeric_limits<double>::infinity();
    QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN();
}

void GenerateAddressTest::drawOutsideTheUnitIntervalIsAnError()
{
    QFETCH(double, u);
    // A broken source must stop the program, never yield a malformed address.
    ScriptedSource source({0.5, u});
    bool threw = false;
    try {
        GenerateAddress(source);
    } catch (const std::logic_error &) {
        threw = true;
    }
    QVERIFY(threw);
}

QTEST_GUILESS_MAIN(GenerateAddressTest)
#include "generate_address_test.moc"
