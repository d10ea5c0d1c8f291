#include "random_source.h"

#include "test_sources.h"

#include <QTest>

#include <cmath>
#include <stdexcept>
#include <vector>

using hexlark::ChaChaRandomSource;
using hexlark::testing::FrozenClock;
using hexlark::testing::seedFrom;

namespace {

constexpr int kDrawsPerOctet = 2;
constexpr double kTwoTo53 = 9007199254740992.0;

std::vector<double> drawAfterReseed(ChaChaRandomSource &source, int draws)
{
    source.Reseed();
    std::vector<double> values;
    for (int i = 0; i < draws; ++i) {
        values.push_back(source.NextUniform());
    }
    return values;
}

} // namespace

class RandomSourceTest : public QObject
{
    Q_OBJECT

private slots:
    void reseedWithUnchangedClockContinuesTheSequence_data();
    void reseedWithUnchangedClockContinuesTheSequence();
    void reseedFoldsInBothStateAndClock();
    void reseedDiscardsOutputBufferedBeforeIt();
    void uniformsFillTheUnitIntervalWithFiftyThreeBits();
    void entropySeedsDifferAndABadSourceIsAnError();
};

void RandomSourceTest::reseedWithUnchangedClockContinuesTheSequence_data()
{
    QTest::addColumn<quint64>("seed");
    QTest::newRow("seed 0") << quint64{0};
    QTest::newRow("seed 1") << quint64{1};
    QTest::newRow("seed all ones") << ~quint64{0};
}

void RandomSourceTest::reseedWithUnchangedClockContinuesTheSequence()
{
    QFETCH(quint64, seed);
    const FrozenClock clock;
    ChaChaRandomSource source(seedFrom(seed), clock);

    // Many reseeds within one clock tick: no pair of draws may come back.
    std::vector<std::vector<double>> seen;
    for (int i = 0; i < 1000; ++i) {
        const auto values = drawAfterReseed(source, kDrawsPerOctet);
        QVERIFY2(std::find(seen.begin(), seen.end(), values) == seen.end(),
                 qPrintable(QStringLiteral("repeat after reseed %1").arg(i)));
        seen.push_back(values);
    }
}

void RandomSourceTest::reseedFoldsInBothStateAndClock()
{
    const FrozenClock clock(42);
    const FrozenClock laterClock(43);
    ChaChaRandomSource reference(seedFrom(7), clock);
    ChaChaRandomSource sameAsReference(seedFrom(7), clock);
    ChaChaRandomSource otherSeed(seedFrom(8), clock);
    ChaChaRandomSource otherClock(seedFrom(7), laterClock);

    const auto expected = drawAfterReseed(reference, 4);
    // Same state and reading: the same sequence, so the clock alone is not the state...
    QCOMPARE(drawAfterReseed(sameAsReference, 4), expected);
    // ...the state before the reseed matters...
    QVERIFY(drawAfterReseed(otherSeed, 4) != expected);
    // ...and so does the clock reading.
    QVERIFY(drawAfterReseed(otherClock, 4) != expected);
}

void RandomSourceTest::reseedDiscardsOutputBufferedBeforeIt()
{
    const FrozenClock clock;
    ChaChaRandomSource drawnOnce(seedFrom(3), clock);
    ChaChaRandomSource drawnOnceNoReseed(seedFrom(3), clock);

    drawAfterReseed(drawnOnce, 1);
    drawAfterReseed(drawnOnceNoReseed, 1);
    // Without a reseed the next value comes from the block already drawn; after
    // one it must come from the new key.
    const double continued = drawnOnceNoReseed.NextUniform();
    drawnOnce.Reseed();
    QVERIFY(drawnOnce.NextUniform() != continued);
}

void RandomSourceTest::uniformsFillTheUnitIntervalWithFiftyThreeBits()
{
    const FrozenClock clock;
    ChaChaRandomSource source(seedFrom(11), clock);
    constexpr int kDraws = 200'000;
    double low = 1.0;
    double high = 0.0;
    double sum = 0.0;
    int oddLowestBit = 0;
    for (int i = 0; i < kDraws; ++i) {
        if (i % kDrawsPerOctet == 0) {
            source.Reseed();
        }
        const double u = source.NextUniform();
        QVERIFY2(u >= 0.0 && u < 1.0, qPrintable(QString::number(u, 'g', 17)));
        const double scaled = u * kTwoTo53;
        QCOMPARE(scaled, std::floor(scaled)); // a multiple of 2^-53
        oddLowestBit += std::fmod(scaled, 2.0) == 1.0 ? 1 : 0;
        low = std::min(low, u);
        high = std::max(high, u);
        sum += u;
    }
    QVERIFY(low < 1e-4);
    QVERIFY(high > 1.0 - 1e-4);
    QVERIFY(std::abs(sum / kDraws - 0.5) < 0.005);
    // The 53rd bit is random too, not stuck at zero as it would be for 32-bit values.
    QVERIFY(std::abs(oddLowestBit - kDraws / 2) < kDraws / 50);
}

void RandomSourceTest::entropySeedsDifferAndABadSourceIsAnError()
{
    const hexlark::ChaChaKey first = hexlark::readEntropySeed();
    const hexlark::ChaChaKey second = hexlark::readEntropySeed();
    QVERIFY(first != second);
    QVERIFY(first != hexlark::ChaChaKey{});
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, hexlark::readEntropySeed("no-such-source"));
}

QTEST_GUILESS_MAIN(RandomSourceTest)
#include "random_source_test.moc"
