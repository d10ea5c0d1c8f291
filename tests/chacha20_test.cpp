#include "chacha20.h"

#include <QByteArray>
#include <QTest>

using hexlark::ChaChaBlock;
using hexlark::ChaChaKey;
using hexlark::ChaChaNonce;

namespace {

template <typename Bytes> Bytes fromHex(const char *hex)
{
    const QByteArray raw = QByteArray::fromHex(hex);
    Bytes bytes{};
    if (raw.size() != static_cast<qsizetype>(bytes.size())) {
        qFatal("test vector of the wrong length: %s", hex);
    }
    std::copy(raw.begin(), raw.end(), bytes.begin());
    return bytes;
}

QByteArray toHex(const ChaChaBlock &block)
{
    return QByteArray(reinterpret_cast<const char *>(block.data()),
                      static_cast<qsizetype>(block.size()))
        .toHex();
}

} // namespace

// The block function against the test vectors of RFC 8439.
class ChaCha20Test : public QObject
{
    Q_OBJECT

private slots:
    void blockMatchesRfcVectors_data();
    void blockMatchesRfcVectors();
    void everyInputChangesTheBlock();
};

void ChaCha20Test::blockMatchesRfcVectors_data()
{
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<quint32>("counter");
    QTest::addColumn<QByteArray>("nonce");
    QTest::addColumn<QByteArray>("block");

    QTest::newRow("section 2.3.2")
        << QByteArray("000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f") << 1u
        << QByteArray("000000090000004a00000000")
        << QByteArray("10f1e7e4d13b5915500fdd1fa32071c4c7d1f4c733c068030422aa9ac3d46c4e"
                      "d2826446079faa0914c2d705d98b02a2b5129cd1de164eb9cbd083e8a2503c4e");
    QTest::newRow("A.1 #1 zero key, counter 0")
        << QByteArray("0000000000000000000000000000000000000000000000000000000000000000") << 0u
        << QByteArray("000000000000000000000000")
        << QByteArray("76b8e0ada0f13d90405d6ae55386bd28bdd219b8a08ded1aa836efcc8b770dc7"
                      "da41597c5157488d7724e03fb8d84a376a43b8f41518a11cc387b669b2ee6586");
    QTest::newRow("A.1 #2 zero key, counter 1")
        << QByteArray("0000000000000000000000000000000000000000000000000000000000000000") << 1u
        << QByteArray("000000000000000000000000")
        << QByteArray("9f07e7be5551387a98ba977c732d080dcb0f29a048e3656912c6533e32ee7aed"
                      "29b721769ce64e43d57133b074d839d531ed1f28510afb45ace10a1f4b794d6f");
    QTest::newRow("A.1 #4 key byte ff, counter 2")
        << QByteArray("00ff000000000000000000000000000000000000000000000000000000000000") << 2u
        << QByteArray("000000000000000000000000")
        << QByteArray("72d54dfbf12ec44b362692df94137f328fea8da73990265ec1bbbea1ae9af0ca"
                      "13b25aa26cb4a648cb9b9d1be65b2c0924a66c54d545ec1b7374f4872e99f096");
}

void ChaCha20Test::blockMatchesRfcVectors()
{
    QFETCH(QByteArray, key);
    QFETCH(quint32, counter);
    QFETCH(QByteArray, nonce);
    QFETCH(QByteArray, block);

    const ChaChaBlock out = hexlark::chacha20Block(fromHex<ChaChaKey>(key.constData()), counter,
                                                   fromHex<ChaChaNonce>(nonce.constData()));
    QCOMPARE(toHex(out), block);
}

void ChaCha20Test::everyInputChangesTheBlock()
{
    const ChaChaKey key{};
    const ChaChaNonce nonce{};
    const ChaChaBlock base = hexlark::chacha20Block(key, 0, nonce);

    // A single flipped bit anywhere in key, counter or nonce gives a different block.
    for (std::size_t byte = 0; byte < key.size(); ++byte) {
        ChaChaKey other = key;
        other[byte] ^= 0x80;
        QVERIFY2(hexlark::chacha20Block(other, 0, nonce) != base,
                 qPrintable(QString::number(byte)));
    }
    for (std::size_t byte = 0; byte < nonce.size(); ++byte) {
        ChaChaNonce other = nonce;
        other[byte] ^= 0x01;
        QVERIFY2(hexlark::chacha20Block(key, 0, other) != base, qPrintable(QString::number(byte)));
    }
    QVERIFY(hexlark::chacha20Block(key, 0x80000000u, nonce) != base);
}

QTEST_GUILESS_MAIN(ChaCha20Test)
#include "chacha20_test.moc"
