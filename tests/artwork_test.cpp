#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QRect>
#include <QSize>
#include <QString>
#include <QTest>
#include <QtEndian>

#include <algorithm>

#ifndef HEXLARK_RESOURCES_DIR
#error "HEXLARK_RESOURCES_DIR must name the resources directory"
#endif

namespace {

const QString kResourcesDir = QStringLiteral(HEXLARK_RESOURCES_DIR);

// The .ico file: directory, entries and the DIB header of each image.
constexpr int kIconDirSize = 6;
constexpr int kIconDirEntrySize = 16;
constexpr int kBitmapInfoHeaderSize = 40;
constexpr int kIconType = 1;
constexpr int kIconImageCount = 5;
constexpr int kLargeIconIndex = 4;
constexpr int kLargeIconSize = 64;
constexpr int kBiRgb = 0;
constexpr int kBgraBytes = 4;
constexpr int kRgbQuadBytes = 4;
constexpr int kFullyOpaque = 255;
constexpr int kFullyClear = 0;

// The renders for high-DPI screens, beside the sizes in the .ico.
constexpr int kPngSizes[] = {16, 24, 32, 48, 64, 128};

// The heading picture at 1x; the 2x picture doubles every number.
constexpr int kHeadingWidth = 272;
constexpr int kHeadingHeight = 135;
constexpr int kInkLeft = 7;
constexpr int kInkRight = 269;
constexpr int kInkTop = 7;
constexpr int kInkBottom = 32;
constexpr int kShadowTop = 33;
constexpr int kShadowBottom = 34;
// Grey may reach up into the letters' feet and a row below the edge, no further.
constexpr int kGreyAllowedTop = 31;
constexpr int kGreyAllowedBottom = 35;
// Outside this box nothing but black.
constexpr int kBlackBoxLeft = 4;
constexpr int kBlackBoxRight = 272;
constexpr int kBlackBoxTop = 4;
constexpr int kBlackBoxBottom = 37;

// Colour classes after JPEG decoding.
constexpr int kGreenThreshold = 128;
// Lettering is green well above red and blue; the light-grey edge has a high
// green channel too, but no lead.
constexpr int kGreenLead = 64;
constexpr int kGreyMin = 150;
constexpr int kGreyMax = 230;
constexpr int kGreySpread = 24;
constexpr int kBlackMax = 2;
// Heavy letters cover at least this share of the band they fill.
constexpr int kLetteringShareDivisor = 4;
// The flat feet of H, x, l, r and k leave at least this many grey pixels at 1x.
constexpr int kMinShadowPixels = 40;

// JPEG markers. Start-of-frame markers run from C0 (baseline) to CF, less
// the three in that range that are not frames.
constexpr quint8 kMarkerStart = 0xFF;
constexpr quint8 kStartOfImage = 0xD8;
constexpr quint8 kStartOfScan = 0xDA;
constexpr quint8 kBaselineFrame = 0xC0;
constexpr quint8 kLastFrame = 0xCF;
constexpr quint8 kHuffmanTables = 0xC4;
constexpr quint8 kExtensionFrame = 0xC8;
constexpr quint8 kArithmeticTables = 0xCC;
constexpr int kJpegPrecision = 8;
constexpr int kTrueColourComponents = 3;

QString resourcePath(const QString &name)
{
    return kResourcesDir + QLatin1Char('/') + name;
}

QByteArray readResource(const QString &name)
{
    QFile file(resourcePath(name));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return file.readAll();
}

quint8 u8(const QByteArray &data, qsizetype offset)
{
    return static_cast<quint8>(data.at(offset));
}

quint16 u16le(const QByteArray &data, qsizetype offset)
{
    return qFromLittleEndian<quint16>(data.constData() + offset);
}

quint32 u32le(const QByteArray &data, qsizetype offset)
{
    return qFromLittleEndian<quint32>(data.constData() + offset);
}

qint32 s32le(const QByteArray &data, qsizetype offset)
{
    return qFromLittleEndian<qint32>(data.constData() + offset);
}

quint16 u16be(const QByteArray &data, qsizetype offset)
{
    return qFromBigEndian<quint16>(data.constData() + offset);
}

// Bytes in one DIB row: padded to a multiple of four.
int dibRowBytes(int width, int bitCount)
{
    return (width * bitCount + 31) / 32 * 4;
}

struct IconEntry
{
    int width = 0;
    int height = 0;
    int colourCount = 0;
    int reserved = 0;
    int planes = 0;
    int bitCount = 0;
    quint32 bytes = 0;
    quint32 offset = 0;
};

IconEntry iconEntry(const QByteArray &ico, int index)
{
    const qsizetype at = kIconDirSize + qsizetype(index) * kIconDirEntrySize;
    IconEntry entry;
    entry.width = u8(ico, at);
    entry.height = u8(ico, at + 1);
    entry.colourCount = u8(ico, at + 2);
    entry.reserved = u8(ico, at + 3);
    entry.planes = u16le(ico, at + 4);
    entry.bitCount = u16le(ico, at + 6);
    entry.bytes = u32le(ico, at + 8);
    entry.offset = u32le(ico, at + 12);
    return entry;
}

struct BitmapInfoHeader
{
    quint32 size = 0;
    qint32 width = 0;
    qint32 height = 0;
    int planes = 0;
    int bitCount = 0;
    quint32 compression = 0;
    quint32 imageBytes = 0;
    quint32 coloursUsed = 0;
};

BitmapInfoHeader bitmapInfoHeader(const QByteArray &ico, qsizetype at)
{
    BitmapInfoHeader header;
    header.size = u32le(ico, at);
    header.width = s32le(ico, at + 4);
    header.height = s32le(ico, at + 8);
    header.planes = u16le(ico, at + 12);
    header.bitCount = u16le(ico, at + 14);
    header.compression = u32le(ico, at + 16);
    header.imageBytes = u32le(ico, at + 20);
    header.coloursUsed = u32le(ico, at + 32);
    return header;
}

int paletteEntries(int bitCount)
{
    return bitCount <= 8 ? (1 << bitCount) : 0;
}

bool isFrameMarker(quint8 marker)
{
    return marker >= kBaselineFrame && marker <= kLastFrame && marker != kHuffmanTables &&
           marker != kExtensionFrame && marker != kArithmeticTables;
}

// Whether the AND mask of an image marks pixel (x, y), counted from the top,
// as transparent.
bool maskBit(const QByteArray &ico, qsizetype maskOffset, int size, int x, int y)
{
    const qsizetype row = maskOffset + qsizetype(size - 1 - y) * dibRowBytes(size, 1);
    return (u8(ico, row + x / 8) >> (7 - x % 8)) & 1;
}

bool isLettering(QRgb pixel)
{
    return qGreen(pixel) > kGreenThreshold &&
           qGreen(pixel) - std::max(qRed(pixel), qBlue(pixel)) > kGreenLead;
}

bool isLightGrey(QRgb pixel)
{
    const int low = std::min({qRed(pixel), qGreen(pixel), qBlue(pixel)});
    const int high = std::max({qRed(pixel), qGreen(pixel), qBlue(pixel)});
    return low >= kGreyMin && high <= kGreyMax && high - low <= kGreySpread;
}

bool isBlack(QRgb pixel)
{
    return qRed(pixel) <= kBlackMax && qGreen(pixel) <= kBlackMax && qBlue(pixel) <= kBlackMax;
}

QImage loadHeading(const QString &name)
{
    return QImage(resourcePath(name)).convertToFormat(QImage::Format_RGB32);
}

QString where(int x, int y)
{
    return QStringLiteral("(%1, %2)").arg(x).arg(y);
}

} // namespace

// The committed artwork: the program icon and the heading picture.
class ArtworkTest : public QObject
{
    Q_OBJECT

private slots:
    void iconDirectoryHoldsFiveImages();
    void iconEntriesMatchTheirBitmaps_data();
    void iconEntriesMatchTheirBitmaps();
    void iconImagesAreTransparentOutsideTheEmblem_data();
    void iconImagesAreTransparentOutsideTheEmblem();
    void largeIconHasAlpha();
    void qtReadsEveryIconImage_data();
    void qtReadsEveryIconImage();
    void iconPngsHaveTheirSizeAndAlpha_data();
    void iconPngsHaveTheirSizeAndAlpha();

    void headingIsBaselineTrueColourJpeg_data();
    void headingIsBaselineTrueColourJpeg();
    void letteringFillsItsBand_data();
    void letteringFillsItsBand();
    void greyEdgeRunsUnderTheLetters_data();
    void greyEdgeRunsUnderTheLetters();
    void backgroundIsBlack_data();
    void backgroundIsBlack();

private:
    static void addIconImageRows();
    static void addHeadingRows();
};

void ArtworkTest::addIconImageRows()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("bitCount");
    QTest::addColumn<int>("colourCount");

    QTest::newRow("24 px, 16 colours") << 0 << 24 << 4 << 16;
    QTest::newRow("16 px, 16 colours") << 1 << 16 << 4 << 16;
    QTest::newRow("24 px, 256 colours") << 2 << 24 << 8 << 0;
    QTest::newRow("16 px, 256 colours") << 3 << 16 << 8 << 0;
    QTest::newRow("64 px, true colour with alpha") << 4 << 64 << 32 << 0;
}

void ArtworkTest::addHeadingRows()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("scale");

    QTest::newRow("1x") << QStringLiteral("heading.jpg") << 1;
    QTest::newRow("2x") << QStringLiteral("heading@2x.jpg") << 2;
}

void ArtworkTest::iconDirectoryHoldsFiveImages()
{
    const QByteArray ico = readResource(QStringLiteral("hexlark.ico"));
    QVERIFY(ico.size() >= kIconDirSize + kIconImageCount * kIconDirEntrySize);
    QCOMPARE(u16le(ico, 0), quint16(0));
    QCOMPARE(u16le(ico, 2), quint16(kIconType));
    QCOMPARE(u16le(ico, 4), quint16(kIconImageCount));

    // The images follow the directory one after another, inside the file.
    quint32 expectedOffset = kIconDirSize + kIconImageCount * kIconDirEntrySize;
    for (int i = 0; i < kIconImageCount; ++i) {
        const IconEntry entry = iconEntry(ico, i);
        QCOMPARE(entry.offset, expectedOffset);
        expectedOffset += entry.bytes;
    }
    QCOMPARE(qsizetype(expectedOffset), ico.size());
}

void ArtworkTest::iconEntriesMatchTheirBitmaps_data()
{
    addIconImageRows();
}

void ArtworkTest::iconEntriesMatchTheirBitmaps()
{
    QFETCH(int, index);
    QFETCH(int, size);
    QFETCH(int, bitCount);
    QFETCH(int, colourCount);

    const QByteArray ico = readResource(QStringLiteral("hexlark.ico"));
    QVERIFY(ico.size() >= kIconDirSize + kIconImageCount * kIconDirEntrySize);
    const IconEntry entry = iconEntry(ico, index);
    QCOMPARE(entry.width, size);
    QCOMPARE(entry.height, size);
    QCOMPARE(entry.colourCount, colourCount);
    QCOMPARE(entry.reserved, 0);
    QCOMPARE(entry.planes, 1);
    QCOMPARE(entry.bitCount, bitCount);
    QVERIFY(qsizetype(entry.offset) + kBitmapInfoHeaderSize <= ico.size());

    const BitmapInfoHeader header = bitmapInfoHeader(ico, entry.offset);
    QCOMPARE(header.size, quint32(kBitmapInfoHeaderSize));
    QCOMPARE(header.width, size);
    QCOMPARE(header.height, 2 * size); // colour bitmap and mask
    QCOMPARE(header.planes, 1);
    QCOMPARE(header.bitCount, bitCount);
    QCOMPARE(header.compression, quint32(kBiRgb));

    // A full palette for the paletted images, none for true colour.
    const int palette = paletteEntries(bitCount);
    QVERIFY(header.coloursUsed == 0 || header.coloursUsed == quint32(palette));
    const int xorBytes = dibRowBytes(size, bitCount) * size;
    const int andBytes = dibRowBytes(size, 1) * size;
    QVERIFY(header.imageBytes == 0 || header.imageBytes == quint32(xorBytes + andBytes));
    QCOMPARE(entry.bytes,
             quint32(kBitmapInfoHeaderSize + kRgbQuadBytes * palette + xorBytes + andBytes));
    QVERIFY(qsizetype(entry.offset) + entry.bytes <= ico.size());
}

void ArtworkTest::iconImagesAreTransparentOutsideTheEmblem_data()
{
    addIconImageRows();
}

void ArtworkTest::iconImagesAreTransparentOutsideTheEmblem()
{
    QFETCH(int, index);
    QFETCH(int, size);
    QFETCH(int, bitCount);

    const QByteArray ico = readResource(QStringLiteral("hexlark.ico"));
    QVERIFY(ico.size() >= kIconDirSize + kIconImageCount * kIconDirEntrySize);
    const IconEntry entry = iconEntry(ico, index);
    QVERIFY(qsizetype(entry.offset) + entry.bytes <= ico.size());
    const qsizetype maskOffset = entry.offset + kBitmapInfoHeaderSize +
                                 kRgbQuadBytes * paletteEntries(bitCount) +
                                 qsizetype(dibRowBytes(size, bitCount)) * size;

    // The corners lie outside the ring; the middle is the black disc.
    const int last = size - 1;
    QVERIFY(maskBit(ico, maskOffset, size, 0, 0));
    QVERIFY(maskBit(ico, maskOffset, size, last, 0));
    QVERIFY(maskBit(ico, maskOffset, size, 0, last));
    QVERIFY(maskBit(ico, maskOffset, size, last, last));
    QVERIFY(!maskBit(ico, maskOffset, size, size / 2, size / 2));
}

void ArtworkTest::largeIconHasAlpha()
{
    const QByteArray ico = readResource(QStringLiteral("hexlark.ico"));
    QVERIFY(ico.size() >= kIconDirSize + kIconImageCount * kIconDirEntrySize);
    const IconEntry entry = iconEntry(ico, kLargeIconIndex);
    QCOMPARE(entry.width, kLargeIconSize);
    QCOMPARE(entry.bitCount, 32);
    QVERIFY(qsizetype(entry.offset) + entry.bytes <= ico.size());

    // BGRA rows, bottom row first.
    const qsizetype pixels = entry.offset + kBitmapInfoHeaderSize;
    const auto alphaAt = [&](int x, int y) {
        const qsizetype pixel = qsizetype(kLargeIconSize - 1 - y) * kLargeIconSize + x;
        return int(u8(ico, pixels + pixel * kBgraBytes + 3));
    };
    const int last = kLargeIconSize - 1;
    QCOMPARE(alphaAt(0, 0), kFullyClear);
    QCOMPARE(alphaAt(last, 0), kFullyClear);
    QCOMPARE(alphaAt(0, last), kFullyClear);
    QCOMPARE(alphaAt(last, last), kFullyClear);
    QCOMPARE(alphaAt(kLargeIconSize / 2, kLargeIconSize / 2), kFullyOpaque);

    // Opaque, clear and soft edges all occur: a real alpha channel, not a mask.
    int opaque = 0;
    int clear = 0;
    int partial = 0;
    for (int y = 0; y < kLargeIconSize; ++y) {
        for (int x = 0; x < kLargeIconSize; ++x) {
            const int alpha = alphaAt(x, y);
            if (alpha == kFullyOpaque) {
                ++opaque;
            } else if (alpha == kFullyClear) {
                ++clear;
            } else {
                ++partial;
            }
        }
    }
    QVERIFY(opaque > kLargeIconSize * kLargeIconSize / 4);
    QVERIFY(clear > kLargeIconSize);
    QVERIFY(partial > 0);
}

void ArtworkTest::qtReadsEveryIconImage_data()
{
    addIconImageRows();
}

void ArtworkTest::qtReadsEveryIconImage()
{
    QFETCH(int, index);
    QFETCH(int, size);

    QImageReader reader(resourcePath(QStringLiteral("hexlark.ico")));
    QCOMPARE(reader.imageCount(), kIconImageCount);
    QVERIFY(reader.jumpToImage(index));
    const QImage image = reader.read();
    QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
    QCOMPARE(image.size(), QSize(size, size));
    QVERIFY(image.hasAlphaChannel());
    QCOMPARE(qAlpha(image.pixel(0, 0)), kFullyClear);
    QCOMPARE(qAlpha(image.pixel(size / 2, size / 2)), kFullyOpaque);
}

void ArtworkTest::iconPngsHaveTheirSizeAndAlpha_data()
{
    QTest::addColumn<int>("size");

    for (const int size : kPngSizes) {
        QTest::addRow("%d px", size) << size;
    }
}

void ArtworkTest::iconPngsHaveTheirSizeAndAlpha()
{
    QFETCH(int, size);

    const QImage image(resourcePath(QStringLiteral("icons/hexlark-%1.png").arg(size)));
    QVERIFY(!image.isNull());
    QCOMPARE(image.size(), QSize(size, size));
    QVERIFY(image.hasAlphaChannel());
    QCOMPARE(qAlpha(image.pixel(0, 0)), kFullyClear);
    QCOMPARE(qAlpha(image.pixel(size - 1, 0)), kFullyClear);
    QCOMPARE(qAlpha(image.pixel(size / 2, size / 2)), kFullyOpaque);
}

void ArtworkTest::headingIsBaselineTrueColourJpeg_data()
{
    addHeadingRows();
}

void ArtworkTest::headingIsBaselineTrueColourJpeg()
{
    QFETCH(QString, file);
    QFETCH(int, scale);

    const QByteArray jpeg = readResource(file);
    QVERIFY(jpeg.size() > 4);
    QCOMPARE(u8(jpeg, 0), kMarkerStart);
    QCOMPARE(u8(jpeg, 1), kStartOfImage);

    // Walk the marker segments up to the scan and read the frame header.
    int frameMarker = -1;
    qsizetype frame = -1;
    qsizetype at = 2;
    while (at + 4 <= jpeg.size() && u8(jpeg, at) == kMarkerStart) {
        const quint8 marker = u8(jpeg, at + 1);
        if (marker == kStartOfScan) {
            break;
        }
        if (isFrameMarker(marker)) {
            frameMarker = marker;
            frame = at + 4;
        }
        at += 2 + u16be(jpeg, at + 2);
    }
    QVERIFY2(frame > 0 && frame + 6 <= jpeg.size(), "no frame header before the scan");
    QCOMPARE(frameMarker, int(kBaselineFrame));
    QCOMPARE(int(u8(jpeg, frame)), kJpegPrecision);
    QCOMPARE(int(u16be(jpeg, frame + 1)), kHeadingHeight * scale);
    QCOMPARE(int(u16be(jpeg, frame + 3)), kHeadingWidth * scale);
    QCOMPARE(int(u8(jpeg, frame + 5)), kTrueColourComponents);

    const QImage image(resourcePath(file));
    QVERIFY(!image.isNull());
    QCOMPARE(image.size(), QSize(kHeadingWidth * scale, kHeadingHeight * scale));
    QVERIFY(!image.isGrayscale());
}

void ArtworkTest::letteringFillsItsBand_data()
{
    addHeadingRows();
}

void ArtworkTest::letteringFillsItsBand()
{
    QFETCH(QString, file);
    QFETCH(int, scale);

    const QImage image = loadHeading(file);
    QCOMPARE(image.size(), QSize(kHeadingWidth * scale, kHeadingHeight * scale));

    QRect box;
    int lettering = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (isLettering(image.pixel(x, y))) {
                box |= QRect(x, y, 1, 1);
                ++lettering;
            }
        }
    }
    // Heavy letters: a good share of the band is green.
    const int band = (kInkRight - kInkLeft + 1) * (kInkBottom - kInkTop + 1) * scale * scale;
    QVERIFY2(lettering > band / kLetteringShareDivisor, qPrintable(QString::number(lettering)));

    // Every number doubles at 2x; there the edges may land a pixel either way.
    const int slack = scale - 1;
    QVERIFY2(qAbs(box.left() - kInkLeft * scale) <= slack, qPrintable(QString::number(box.left())));
    QVERIFY2(qAbs(box.right() - ((kInkRight + 1) * scale - 1)) <= slack,
             qPrintable(QString::number(box.right())));
    QVERIFY2(qAbs(box.top() - kInkTop * scale) <= slack, qPrintable(QString::number(box.top())));
    QVERIFY2(qAbs(box.bottom() - ((kInkBottom + 1) * scale - 1)) <= slack,
             qPrintable(QString::number(box.bottom())));
}

void ArtworkTest::greyEdgeRunsUnderTheLetters_data()
{
    addHeadingRows();
}

void ArtworkTest::greyEdgeRunsUnderTheLetters()
{
    QFETCH(QString, file);
    QFETCH(int, scale);

    const QImage image = loadHeading(file);
    QCOMPARE(image.size(), QSize(kHeadingWidth * scale, kHeadingHeight * scale));

    const int shadowTop = kShadowTop * scale;
    const int shadowBottom = (kShadowBottom + 1) * scale - 1;
    const int allowedTop = kGreyAllowedTop * scale;
    const int allowedBottom = (kGreyAllowedBottom + 1) * scale - 1;
    // The edge is the letters' feet moved down by two (1x) rows.
    const int footTop = shadowTop - (kShadowBottom - kShadowTop + 1) * scale;

    int inShadowRows = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (!isLightGrey(image.pixel(x, y))) {
                continue;
            }
            QVERIFY2(y >= allowedTop && y <= allowedBottom, qPrintable(where(x, y)));
            if (y < shadowTop || y > shadowBottom) {
                continue;
            }
            ++inShadowRows;
            bool footAbove = false;
            for (int above = footTop; above < shadowTop; ++above) {
                footAbove = footAbove || isLettering(image.pixel(x, above));
            }
            QVERIFY2(footAbove, qPrintable(where(x, y)));
        }
    }
    QVERIFY2(inShadowRows > kMinShadowPixels * scale * scale,
             qPrintable(QString::number(inShadowRows)));
}

void ArtworkTest::backgroundIsBlack_data()
{
    addHeadingRows();
}

void ArtworkTest::backgroundIsBlack()
{
    QFETCH(QString, file);
    QFETCH(int, scale);

    const QImage image = loadHeading(file);
    QCOMPARE(image.size(), QSize(kHeadingWidth * scale, kHeadingHeight * scale));

    const QRect content(
        QPoint(kBlackBoxLeft * scale, kBlackBoxTop * scale),
        QPoint((kBlackBoxRight + 1) * scale - 1, (kBlackBoxBottom + 1) * scale - 1));
    const int lastRow = image.height() - 1;
    const int lastColumn = image.width() - 1;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const bool mustBeBlack = !content.contains(x, y) || y == lastRow || x == lastColumn;
            if (mustBeBlack) {
                QVERIFY2(isBlack(image.pixel(x, y)), qPrintable(where(x, y)));
            }
        }
    }
}

QTEST_GUILESS_MAIN(ArtworkTest)
#include "artwork_test.moc"
