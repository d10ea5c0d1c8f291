#include "chacha20.h"
#include "clock.h"
#include "generate_address.h"
#include "random_source.h"

#include <QByteArray>
#include <QObject>
#include <QTest>

#include <algorithm>
#include <array>
#include <map>
#include <new>
#include <numeric>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

using namespace hexlark;

namespace {

constexpr std::uint64_t kFixedReading = 0x0123456789ABCDEF;
constexpr double kTwoTo53 = 9007199254740992.0;

struct FixedClock final : Clock
{
    std::uint64_t nowNanoseconds() const override { return kFixedReading; }
};

// Hands out the given draws in turn and writes "R" for every reseed.
struct ScriptedSource final : RandomSource
{
    std::vector<double> draws;
    std::size_t next = 0;
    std::string log;
    void Reseed() override { log += 'R'; }
    double NextUniform() override
    {
        log += 'u';
        return draws[next++ % draws.size()];
    }
};

ChaChaKey countingKey()
{
    ChaChaKey key{};
    std::iota(key.begin(), key.end(), std::uint8_t{0});
    return key;
}

} // namespace

class GeneratorTest : public QObject
{
    Q_OBJECT

private:
    FixedClock m_clock;

private slots:
    // RFC 8439, 2.3.2: the key 00 01 ... 1f, block counter 1.
    void chacha20Block()
    {
        const ChaChaNonce nonce{0, 0, 0, 0x09, 0, 0, 0, 0x4a, 0, 0, 0, 0};
        const ChaChaBlock out = hexlark::chacha20Block(countingKey(), 1, nonce);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(out.data()), 64).toHex(),
                 "10f1e7e4d13b5915500fdd1fa32071c4c7d1f4c733c068030422aa9ac3d46c4ed2826446079faa"
                 "0914c2d705d98b02a2b5129cd1de164eb9cbd083e8a2503c4e");
    }

    // Nine draws span three refills; two reseeds at the same clock reading
    // go on with the sequence instead of restarting it. Nothing of the key or
    // its output outlives the source: the storage it stood in holds no more
    // than its vtable pointer, clock reference and a count.
    void sequenceThenWiped()
    {
        const std::vector<std::uint64_t> expected{
            0x15646c145cf984, 0x0c8ff9074d3de1, 0x05b47ef63d46b0, 0x01882b69140c44,
            0x11c35c921394a8, 0x1320c8c3955989, 0x13ce24b9c67476, 0x085f4af56d0ee8,
            0x1b91b86415e89b, 0x0499ecab8dbd07, 0x01a61a68ab8250, 0x1ac10e8e9869de,
            0x08ecc271127212};
        alignas(ChaChaRandomSource) std::array<unsigned char, sizeof(ChaChaRandomSource)> storage{};
        auto *source = new (storage.data()) ChaChaRandomSource(countingKey(), m_clock);
        std::vector<std::uint64_t> drawn;
        for (std::size_t i = 0; i < expected.size(); ++i) {
            if (i == 9 || i == 11) {
                source->Reseed();
            }
            drawn.push_back(static_cast<std::uint64_t>(source->NextUniform() * kTwoTo53));
        }
        source->~ChaChaRandomSource();
        QCOMPARE(drawn, expected);
        const auto leftover =
            std::ranges::count_if(storage, [](unsigned char byte) { return byte != 0; });
        QVERIFY2(leftover <= 3 * int(sizeof(void *)), qPrintable(QString::number(leftover)));
    }

    void entropySeeds()
    {
        QVERIFY(readEntropySeed() != readEntropySeed());
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, readEntropySeed("no-such-source"));
    }

    // Each digit the sixteenth its draw falls in, at the edges of both ends and
    // of a digit, and a reseed before every octet.
    void addressFromDraws()
    {
        ScriptedSource source;
        source.draws = {0.0625, 0.0, 0.99999999, 0.9375, 0.5624, 0.5625};
        QCOMPARE(QString::fromStdString(GenerateAddress(source)), "10-FF-89-10-FF-89");
        QCOMPARE(QString::fromStdString(source.log), "RuuRuuRuuRuuRuuRuu");
    }

    // The real source at one clock reading: every octet in every place (so every
    // digit, both extreme octets), about half odd first octets, and even digits.
    void addressStatistics()
    {
        constexpr int kAddresses = 20000;
        ChaChaRandomSource source(countingKey(), m_clock);
        std::map<char, int> digits;
        std::set<std::string> placed;
        int odd = 0;
        for (int i = 0; i < kAddresses; ++i) {
            const std::string address = GenerateAddress(source);
            for (std::size_t p = 0; p < address.size(); p += 3) {
                placed.insert(std::to_string(p) + address.substr(p, 2));
                ++digits[address[p]];
                ++digits[address[p + 1]];
            }
            odd += std::stoi(address.substr(0, 2), nullptr, 16) % 2;
        }
        QCOMPARE(placed.size(), std::size_t{6 * 256});
        QVERIFY2(odd > 9500 && odd < 10500, qPrintable(QString::number(odd)));
        const double expected = kAddresses * 12 / 16.0;
        double chiSquare = 0;
        for (const auto &[digit, seen] : digits) {
            chiSquare += (seen - expected) * (seen - expected) / expected;
        }
        // 15 degrees of freedom: above 37.7 has a chance of 1 in 1000.
        QVERIFY2(chiSquare < 37.7, qPrintable(QString::number(chiSquare)));
    }
};

QTEST_APPLESS_MAIN(GeneratorTest)
#include "generator_test.moc"
