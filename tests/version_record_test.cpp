#include "version.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <iterator>
#include <optional>
#include <utility>

// The Windows resources as the resource compiler makes them: hexlark.rc is
// compiled with windres to a .res file, which is read back here entry by
// entry.
namespace {

constexpr quint16 kRtIcon = 3;
constexpr quint16 kRtGroupIcon = 14;
constexpr quint16 kRtVersion = 16;
constexpr quint16 kLanguageNeutral = 0x0000;
constexpr quint16 kLanguageUsEnglish = 0x0409;
constexpr quint16 kCodePageUnicode = 1200;
constexpr quint16 kVersionRecordId = 1;
constexpr quint16 kIconGroupId = 1;
constexpr quint16 kFirstIconId = 30001;
constexpr quint32 kFixedInfoSignature = 0xFEEF04BD;
constexpr quint32 kOsWindows32 = 0x4;     // VOS__WINDOWS32
constexpr quint32 kTypeApplication = 0x1; // VFT_APP
constexpr quint16 kTextValue = 1;
constexpr qsizetype kIconDirSize = 6;
constexpr qsizetype kIconFileEntrySize = 16;
constexpr qsizetype kIconGroupEntrySize = 14;
constexpr quint16 kIconType = 1;
constexpr int kWindresTimeoutMs = 60'000;
const QString kTranslationKey = QStringLiteral("Translation");

// The images of hexlark.ico, in order: each becomes one icon resource.
struct IconImage
{
    int width;
    int height;
    int bits;
};
constexpr IconImage kIconImages[] = {
    {24, 24, 4}, {16, 16, 4}, {24, 24, 8}, {16, 16, 8}, {64, 64, 32}};
constexpr qsizetype kIconImageCount = std::size(kIconImages);

// Reads little-endian numbers and UTF-16 strings; any read past the end
// clears ok() and yields zeros.
class Reader
{
public:
    Reader(const QByteArray &data, qsizetype position) : m_data(&data), m_position(position) {}

    bool ok() const { return m_ok; }
    qsizetype position() const { return m_position; }

    quint32 read(int bytes)
    {
        if (m_position < 0 || m_position + bytes > m_data->size()) {
            m_ok = false;
            return 0;
        }
        quint32 value = 0;
        for (int i = bytes - 1; i >= 0; --i) {
            value = (value << 8) | static_cast<quint8>(m_data->at(m_position + i));
        }
        m_position += bytes;
        return value;
    }
    quint16 word() { return static_cast<quint16>(read(2)); }
    quint32 dword() { return read(4); }

    QString string()
    {
        QString text;
        for (quint16 unit = word(); m_ok && unit != 0; unit = word()) {
            text.append(QChar(unit));
        }
        return text;
    }

    QByteArray bytes(qsizetype count)
    {
        if (m_position + count > m_data->size()) {
            m_ok = false;
            return {};
        }
        const QByteArray result = m_data->mid(m_position, count);
        m_position += count;
        return result;
    }

    void alignToDword() { m_position = (m_position + 3) & ~qsizetype{3}; }

private:
    const QByteArray *m_data = nullptr;
    qsizetype m_position = 0;
    bool m_ok = true;
};

// One entry of a .res file. A numeric type or name is written "#<number>".
struct Resource
{
    QString type;
    QString name;
    quint16 language = 0;
    QByteArray data;
};

QString numericId(quint16 id)
{
    return QLatin1Char('#') + QString::number(id);
}

QString readId(Reader &reader)
{
    constexpr quint16 kNumericMarker = 0xFFFF;
    Reader peek = reader;
    if (peek.word() == kNumericMarker) {
        reader.word();
        return numericId(reader.word());
    }
    return reader.string();
}

// A .res file: RESOURCEHEADER then data, each padded to a DWORD boundary.
std::optional<QList<Resource>> parseResources(const QByteArray &file)
{
    QList<Resource> resources;
    Reader reader(file, 0);
    while (reader.position() < file.size()) {
        const qsizetype start = reader.position();
        const quint32 dataSize = reader.dword();
        const quint32 headerSize = reader.dword();
        Resource resource;
        resource.type = readId(reader);
        resource.name = readId(reader);
        reader.alignToDword();
        reader.dword(); // data version
        reader.word();  // memory flags
        resource.language = reader.word();
        if (!reader.ok() || reader.position() + 8 != start + qsizetype{headerSize}) {
            return std::nullopt;
        }
        reader = Reader(file, start + headerSize);
        resource.data = reader.bytes(dataSize);
        reader.alignToDword();
        if (!reader.ok()) {
            return std::nullopt;
        }
        // The file opens with an empty entry that only marks it as 32-bit.
        if (dataSize != 0) {
            resources.append(resource);
        }
    }
    return resources;
}

// One block of a VS_VERSIONINFO tree: a key, a text or binary value and
// the blocks nested in it.
struct VersionBlock
{
    qsizetype length = 0;
    QString key;
    bool text = false;
    QByteArray value;
    QList<VersionBlock> children;

    QString textValue() const
    {
        QString result = QString::fromUtf16(reinterpret_cast<const char16_t *>(value.constData()),
                                            value.size() / 2);
        while (result.endsWith(QChar(0))) {
            result.chop(1);
        }
        return result;
    }

    const VersionBlock *child(const QString &childKey) const
    {
        for (const VersionBlock &block : children) {
            if (block.key == childKey) {
                return &block;
            }
        }
        return nullptr;
    }
};

std::optional<VersionBlock> parseVersionBlock(const QByteArray &data, qsizetype start)
{
    Reader reader(data, start);
    VersionBlock block;
    block.length = reader.word();
    const quint16 valueLength = reader.word();
    block.text = reader.word() == kTextValue;
    block.key = reader.string();
    reader.alignToDword();
    block.value = reader.bytes(block.text ? valueLength * 2 : valueLength);
    reader.alignToDword();
    const qsizetype end = start + block.length;
    if (!reader.ok() || block.length == 0 || end > data.size()) {
        return std::nullopt;
    }
    while (reader.position() < end) {
        const std::optional<VersionBlock> child = parseVersionBlock(data, reader.position());
        if (!child) {
            return std::nullopt;
        }
        block.children.append(*child);
        reader = Reader(data, reader.position() + child->length);
        reader.alignToDword();
    }
    return block;
}

QString rcFile()
{
    return QStringLiteral(HEXLARK_RC_FILE);
}

} // namespace

class VersionRecordTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void resourceIsPresent_data();
    void resourceIsPresent();
    void noOtherResources();
    void fixedFileInfo_data();
    void fixedFileInfo();
    void stringTableIsUsEnglishUnicode();
    void versionString_data();
    void versionString();
    void translationIsUsEnglishUnicode();
    void iconGroupHeader();
    void iconImage_data();
    void iconImage();

private:
    const Resource *find(quint16 type, quint16 name) const;
    const VersionBlock *stringTable() const;

    QList<Resource> m_resources;
    VersionBlock m_versionInfo;
    QByteArray m_icoFile;
};

void VersionRecordTest::initTestCase()
{
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const QString resFile = dir.filePath(QStringLiteral("hexlark.res"));

    QStringList arguments;
    const QString preprocessor = QStringLiteral(HEXLARK_RC_PREPROCESSOR);
    if (!preprocessor.isEmpty()) {
        arguments << QStringLiteral("--preprocessor=") + preprocessor
                  << QStringLiteral("--preprocessor-arg=-E")
                  << QStringLiteral("--preprocessor-arg=-xc")
                  << QStringLiteral("--preprocessor-arg=-DRC_INVOKED");
    }
    arguments << QStringLiteral("-O") << QStringLiteral("res") << QStringLiteral("-i") << rcFile()
              << QStringLiteral("-o") << resFile;
    QProcess windres;
    windres.start(QStringLiteral(HEXLARK_WINDRES), arguments);
    QVERIFY2(windres.waitForFinished(kWindresTimeoutMs), qPrintable(windres.errorString()));
    QVERIFY2(
        windres.exitStatus() == QProcess::NormalExit && windres.exitCode() == 0,
        qPrintable(QStringLiteral("windres failed on %1:\n%2")
                       .arg(rcFile(), QString::fromLocal8Bit(windres.readAllStandardError()))));

    QFile res(resFile);
    QVERIFY2(res.open(QIODevice::ReadOnly), qPrintable(res.errorString()));
    const std::optional<QList<Resource>> resources = parseResources(res.readAll());
    QVERIFY2(resources, "the .res file does not parse");
    m_resources = *resources;

    const Resource *version = find(kRtVersion, kVersionRecordId);
    QVERIFY2(version, "no version record");
    const std::optional<VersionBlock> info = parseVersionBlock(version->data, 0);
    QVERIFY2(info, "the version record does not parse");
    QCOMPARE(info->key, QStringLiteral("VS_VERSION_INFO"));
    m_versionInfo = *info;

    QFile ico(QStringLiteral(HEXLARK_RESOURCES_DIR "/hexlark.ico"));
    QVERIFY2(ico.open(QIODevice::ReadOnly), qPrintable(ico.errorString()));
    m_icoFile = ico.readAll();
}

const Resource *VersionRecordTest::find(quint16 type, quint16 name) const
{
    for (const Resource &resource : m_resources) {
        if (resource.type == numericId(type) && resource.name == numericId(name)) {
            return &resource;
        }
    }
    return nullptr;
}

const VersionBlock *VersionRecordTest::stringTable() const
{
    const VersionBlock *fileInfo = m_versionInfo.child(QStringLiteral("StringFileInfo"));
    return fileInfo != nullptr ? fileInfo->child(QStringLiteral("040904B0")) : nullptr;
}

void VersionRecordTest::resourceIsPresent_data()
{
    QTest::addColumn<quint16>("type");
    QTest::addColumn<quint16>("name");
    QTest::addColumn<quint16>("language");

    QTest::newRow("version record") << kRtVersion << kVersionRecordId << kLanguageUsEnglish;
    QTest::newRow("icon group") << kRtGroupIcon << kIconGroupId << kLanguageNeutral;
    for (qsizetype i = 0; i < kIconImageCount; ++i) {
        const quint16 id = static_cast<quint16>(kFirstIconId + i);
        QTest::addRow("icon image %d", id) << kRtIcon << id << kLanguageNeutral;
    }
}

void VersionRecordTest::resourceIsPresent()
{
    QFETCH(quint16, type);
    QFETCH(quint16, name);
    QFETCH(quint16, language);

    const Resource *resource = find(type, name);
    QVERIFY2(resource, "missing");
    QCOMPARE(resource->language, language);
}

void VersionRecordTest::noOtherResources()
{
    QStringList found;
    for (const Resource &resource : m_resources) {
        found << resource.type + QLatin1Char('/') + resource.name;
    }
    // The version record, the icon group and one resource per icon image.
    QCOMPARE(m_resources.size(), 2 + kIconImageCount);
    QCOMPARE(found.removeDuplicates(), qsizetype{0});
}

void VersionRecordTest::fixedFileInfo_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<quint32>("expected");

    const quint32 versionHigh = (hexlark::kVersionMajor << 16) | hexlark::kVersionMinor;
    const quint32 versionLow = (hexlark::kVersionPatch << 16) | hexlark::kVersionTweak;
    // VS_FIXEDFILEINFO, one DWORD per field; field 1 is the structure version.
    QTest::newRow("signature") << 0 << kFixedInfoSignature;
    QTest::newRow("file version, major and minor") << 2 << versionHigh;
    QTest::newRow("file version, patch and tweak") << 3 << versionLow;
    QTest::newRow("product version, major and minor") << 4 << versionHigh;
    QTest::newRow("product version, patch and tweak") << 5 << versionLow;
    QTest::newRow("flags mask") << 6 << 0u;
    QTest::newRow("flags") << 7 << 0u;
    QTest::newRow("operating system") << 8 << kOsWindows32;
    QTest::newRow("file type") << 9 << kTypeApplication;
    QTest::newRow("file subtype") << 10 << 0u;
    QTest::newRow("file date, high") << 11 << 0u;
    QTest::newRow("file date, low") << 12 << 0u;
}

void VersionRecordTest::fixedFileInfo()
{
    QFETCH(int, field);
    QFETCH(quint32, expected);

    constexpr qsizetype kFixedInfoSize = 52;
    QVERIFY(!m_versionInfo.text);
    QCOMPARE(m_versionInfo.value.size(), kFixedInfoSize);
    Reader reader(m_versionInfo.value, field * qsizetype{4});
    QCOMPARE(reader.dword(), expected);
}

void VersionRecordTest::stringTableIsUsEnglishUnicode()
{
    QCOMPARE(m_versionInfo.children.size(), 2);
    const VersionBlock *fileInfo = m_versionInfo.child(QStringLiteral("StringFileInfo"));
    QVERIFY(fileInfo);
    QCOMPARE(fileInfo->children.size(), 1);
    QVERIFY2(stringTable(), "no string table 040904B0");
}

void VersionRecordTest::versionString_data()
{
    using namespace hexlark;
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");

    const QString product = QLatin1String(kProductName);
    const QString company = QLatin1String(kOrganisation);
    const QString version = QLatin1String(kDisplayVersion);
    // Key and value, in the order the record holds them.
    const QList<std::pair<QString, QString>> strings{
        {QStringLiteral("Comments"), QLatin1String(kDescription)},
        {QStringLiteral("CompanyName"), company},
        {QStringLiteral("FileDescription"), product},
        {QStringLiteral("LegalTrademarks"), company},
        {QStringLiteral("ProductName"),
         QStringLiteral("%1 by %2").arg(product, QLatin1String(kAuthor))},
        {QStringLiteral("FileVersion"), version},
        {QStringLiteral("ProductVersion"), version},
        {QStringLiteral("InternalName"), product},
        {QStringLiteral("OriginalFilename"), product + QStringLiteral(".exe")},
    };
    for (int i = 0; i < strings.size(); ++i) {
        const auto &[key, value] = strings.at(i);
        QTest::newRow(qPrintable(key)) << i << key << value;
    }
    QTest::newRow("nothing after the nine") << int(strings.size()) << QString() << QString();
}

void VersionRecordTest::versionString()
{
    QFETCH(int, position);
    QFETCH(QString, key);
    QFETCH(QString, value);

    const VersionBlock *table = stringTable();
    QVERIFY(table);
    if (key.isEmpty()) {
        QCOMPARE(table->children.size(), position);
        return;
    }
    QVERIFY(position < table->children.size());
    const VersionBlock &string = table->children.at(position);
    QCOMPARE(string.key, key);
    QVERIFY(string.text);
    QCOMPARE(string.textValue(), value);
}

void VersionRecordTest::translationIsUsEnglishUnicode()
{
    const VersionBlock *varInfo = m_versionInfo.child(QStringLiteral("VarFileInfo"));
    QVERIFY(varInfo);
    QCOMPARE(varInfo->children.size(), 1);
    const VersionBlock &translation = varInfo->children.first();
    QCOMPARE(translation.key, kTranslationKey);
    QVERIFY(!translation.text);
    QCOMPARE(translation.value.size(), 4);
    Reader reader(translation.value, 0);
    QCOMPARE(reader.word(), kLanguageUsEnglish);
    QCOMPARE(reader.word(), kCodePageUnicode);
}

void VersionRecordTest::iconGroupHeader()
{
    const Resource *group = find(kRtGroupIcon, kIconGroupId);
    QVERIFY(group);
    QCOMPARE(group->data.size(), kIconDirSize + kIconImageCount * kIconGroupEntrySize);
    Reader reader(group->data, 0);
    QCOMPARE(reader.word(), quint16{0});
    QCOMPARE(reader.word(), kIconType);
    QCOMPARE(qsizetype{reader.word()}, kIconImageCount);
}

void VersionRecordTest::iconImage_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("bits");

    for (int i = 0; i < kIconImageCount; ++i) {
        const IconImage &image = kIconImages[i];
        QTest::addRow("%d: %dx%d, %d bpp", int(kFirstIconId) + i, image.width, image.height,
                      image.bits)
            << i << image.width << image.height << image.bits;
    }
}

void VersionRecordTest::iconImage()
{
    QFETCH(int, index);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, bits);

    // The group's entry: the size and colours of the image and its id.
    const Resource *group = find(kRtGroupIcon, kIconGroupId);
    QVERIFY(group);
    Reader entry(group->data, kIconDirSize + index * kIconGroupEntrySize);
    QCOMPARE(int(entry.read(1)), width);
    QCOMPARE(int(entry.read(1)), height);
    const int colours = bits < 8 ? 1 << bits : 0;
    QCOMPARE(int(entry.read(1)), colours);
    QCOMPARE(int(entry.read(1)), 0);
    QCOMPARE(int(entry.word()), 1); // planes
    QCOMPARE(int(entry.word()), bits);
    const quint32 bytes = entry.dword();
    const quint16 id = entry.word();
    QVERIFY(entry.ok());
    QCOMPARE(id, quint16(kFirstIconId + index));

    // The image itself, as hexlark.ico holds it.
    Reader icoEntry(m_icoFile, kIconDirSize + index * kIconFileEntrySize + 8);
    const quint32 icoBytes = icoEntry.dword();
    const quint32 icoOffset = icoEntry.dword();
    QVERIFY(icoEntry.ok());
    QCOMPARE(bytes, icoBytes);
    const Resource *image = find(kRtIcon, id);
    QVERIFY(image);
    QCOMPARE(image->data.size(), qsizetype{bytes});
    QVERIFY2(image->data == m_icoFile.mid(icoOffset, icoBytes),
             "the icon resource differs from the image in hexlark.ico");
}

QTEST_GUILESS_MAIN(VersionRecordTest)
#include "version_record_test.moc"
