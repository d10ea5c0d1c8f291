#include "generate_address.h"

#include "test_sources.h"

#include <QTest>

#include <array>
#include <cmath>
#include <vector>

namespace {

constexpr int kAddresses = 200'000;
constexpr int kOctets = 6;
constexpr int kDigits = 12;
// Fails only where chance would explain the counts less than once in a million.
constexpr double kFailBelow = 1e-6;

// Upper tail of the chi-square distribution by the Wilson-Hilferty cube-root
// approximation, close enough at 15 degrees of freedom and more.
double chiSquareUpperTail(double statistic, int degreesOfFreedom)
{
    const double k = degreesOfFreedom;
    const double z =
        (std::cbrt(statistic / k) - (1.0 - 2.0 / (9.0 * k))) / std::sqrt(2.0 / (9.0 * k));
    return 0.5 * std::erfc(z / std::sqrt(2.0));
}

double chiSquareUniform(const std::vector<long> &counts)
{
    long total = 0;
    for (const long count : counts) {
        total += count;
    }
    const double expected = static_cast<double>(total) / static_cast<double>(counts.size());
    double statistic = 0.0;
    for (const long count : counts) {
        statistic += (count - expected) * (count - expected) / expected;
    }
    return statistic;
}

int hexValue(char digit)
{
    return digit <= '9' ? digit - '0' : digit - 'A' + 10;
}

} // namespace

// The addresses' digits and octets against chance, on a fixed seed and a
// frozen clock (the hardest case for the reseeding), so the run is the same
// every time.
class AddressStatisticsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void everyDigitPositionIsUniform_data();
    void everyDigitPositionIsUniform();
    void everyOctetIsUniform_data();
    void everyOctetIsUniform();
    void adjacentOctetsAreIndependent_data();
    void adjacentOctetsAreIndependent();
    void aboutHalfAreGroupAddresses();

private:
    // Digit values, kDigits to an address.
    std::vector<std::array<int, kDigits>> m_digits;
};

void AddressStatisticsTest::initTestCase()
{
    const hexlark::testing::FrozenClock clock;
    hexlark::ChaChaRandomSource source(hexlark::testing::seedFrom(20261206), clock);
    m_digits.reserve(kAddresses);
    for (int i = 0; i < kAddresses; ++i) {
        const std::string address = hexlark::GenerateAddress(source);
        std::array<int, kDigits> digits{};
        for (int n = 0; n < kDigits; ++n) {
            digits[n] = hexValue(address[static_cast<std::size_t>(n / 2 * 3 + n % 2)]);
        }
        m_digits.push_back(digits);
    }
}

void AddressStatisticsTest::everyDigitPositionIsUniform_data()
{
    QTest::addColumn<int>("position");
    for (int n = 0; n < kDigits; ++n) {
        QTest::addRow("digit %d", n + 1) << n;
    }
}

void AddressStatisticsTest::everyDigitPositionIsUniform()
{
    QFETCH(int, position);
    std::vector<long> counts(16);
    for (const auto &digits : m_digits) {
        ++counts[static_cast<std::size_t>(digits[position])];
    }
    const double p = chiSquareUpperTail(chiSquareUniform(counts), 15);
    QVERIFY2(p >= kFailBelow, qPrintable(QStringLiteral("p = %1").arg(p)));
}

void AddressStatisticsTest::everyOctetIsUniform_data()
{
    QTest::addColumn<int>("octet");
    for (int j = 0; j < kOctets; ++j) {
        QTest::addRow("octet %d", j + 1) << j;
    }
}

void AddressStatisticsTest::everyOctetIsUniform()
{
    QFETCH(int, octet);
    std::vector<long> counts(256);
    for (const auto &digits : m_digits) {
        ++counts[static_cast<std::size_t>(digits[2 * octet] * 16 + digits[2 * octet + 1])];
    }
    const double p = chiSquareUpperTail(chiSquareUniform(counts), 255);
    QVERIFY2(p >= kFailBelow, qPrintable(QStringLiteral("p = %1").arg(p)));
}

void AddressStatisticsTest::adjacentOctetsAreIndependent_data()
{
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("second");
    for (int j = 0; j + 1 < kOctets; ++j) {
        // Across the reseed between octets: last digit of one, first of the next.
        QTest::addRow("octets %d-%d, across the reseed", j + 1, j + 2) << 2 * j + 1 << 2 * j + 2;
        QTest::addRow("octets %d-%d, high digits", j + 1, j + 2) << 2 * j << 2 * j + 2;
    }
}

void AddressStatisticsTest::adjacentOctetsAreIndependent()
{
    QFETCH(int, first);
    QFETCH(int, second);
    // Independence of two uniform digits: their 256 pairs are uniform too.
    std::vector<long> pairs(256);
    for (const auto &digits : m_digits) {
        ++pairs[static_cast<std::size_t>(digits[first] * 16 + digits[second])];
    }
    const double p = chiSquareUpperTail(chiSquareUniform(pairs), 255);
    QVERIFY2(p >= kFailBelow, qPrintable(QStringLiteral("p = %1").arg(p)));
}

void AddressStatisticsTest::aboutHalfAreGroupAddresses()
{
    long odd = 0;
    for (const auto &digits : m_digits) {
        odd += digits[1] % 2;
    }
    // Binomial(n, 1/2): more than 4.9 standard deviations out has p < 1e-6.
    const double deviation = (odd - kAddresses / 2.0) / std::sqrt(kAddresses / 4.0);
    QVERIFY2(std::abs(deviation) < 4.9, qPrintable(QStringLiteral("%1 odd").arg(odd)));
}

QTEST_GUILESS_MAIN(AddressStatisticsTest)
#include "address_statistics_test.moc"
