#include "package_test.h"
#include "version.h"

#include <QByteArray>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

// The desktop entry and the AppStream record: what the validators say of
// them, what they name, and where `cmake --install` puts them and the icons.
namespace {

constexpr int kToolTimeoutMs = 60'000;
constexpr int kInstallTimeoutMs = 120'000;
const QString kDesktopEntryGroup = QStringLiteral("[Desktop Entry]");

QString desktopFile()
{
    return QStringLiteral(HEXLARK_DESKTOP_FILE);
}

QString metainfoFile()
{
    return QStringLiteral(HEXLARK_METAINFO_FILE);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The keys of the [Desktop Entry] group.
QHash<QString, QString> desktopEntryKeys(const QString &path)
{
    QHash<QString, QString> keys;
    bool inGroup = false;
    const QStringList lines = QString::fromUtf8(readFile(path)).split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        if (line.startsWith(QLatin1Char('['))) {
            inGroup = line == kDesktopEntryGroup;
        } else if (inGroup && line.contains(QLatin1Char('=')) &&
                   !line.startsWith(QLatin1Char('#'))) {
            const qsizetype equals = line.indexOf(QLatin1Char('='));
            keys.insert(line.left(equals), line.mid(equals + 1));
        }
    }
    return keys;
}

// The text of each element of an XML file under its path ("component/name"),
// and each attribute under "<path>@<attribute>"; the first one of a path wins.
QHash<QString, QString> xmlValues(const QString &path)
{
    QHash<QString, QString> values;
    QXmlStreamReader xml(readFile(path));
    QStringList elements;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            elements.append(xml.name().toString());
            const QString at = elements.join(QLatin1Char('/'));
            for (const QXmlStreamAttribute &attribute : xml.attributes()) {
                values.insert(at + QLatin1Char('@') + attribute.name().toString(),
                              attribute.value().toString());
            }
        } else if (xml.isEndElement()) {
            elements.removeLast();
        } else if (xml.isCharacters() && !xml.isWhitespace()) {
            const QString at = elements.join(QLatin1Char('/'));
            if (!values.contains(at)) {
                values.insert(at, xml.text().toString().trimmed());
            }
        }
    }
    if (xml.hasError()) {
        values.insert(QStringLiteral("error"), xml.errorString());
    }
    return values;
}

} // namespace

class DesktopFilesTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void validatorAccepts_data();
    void validatorAccepts();
    void installPlaces_data();
    void installPlaces();
    void desktopEntryKey_data();
    void desktopEntryKey();
    void metainfoValue_data();
    void metainfoValue();
    void releaseIsDated();
    void namedFileIsInstalled_data();
    void namedFileIsInstalled();

private:
    QTemporaryDir m_prefix;
};

void DesktopFilesTest::initTestCase()
{
    QVERIFY2(m_prefix.isValid(), qPrintable(m_prefix.errorString()));
    QProcess install;
    install.setProcessChannelMode(QProcess::MergedChannels);
    install.start(QStringLiteral(HEXLARK_CMAKE),
                  {QStringLiteral("--install"), QStringLiteral(HEXLARK_BUILD_DIR),
                   QStringLiteral("--prefix"), m_prefix.path()});
    QVERIFY2(install.waitForFinished(kInstallTimeoutMs), qPrintable(install.errorString()));
    QVERIFY2(install.exitStatus() == QProcess::NormalExit && install.exitCode() == 0,
             qPrintable(QStringLiteral("cmake --install failed:\n") +
                        QString::fromLocal8Bit(install.readAll())));
}

void DesktopFilesTest::validatorAccepts_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("complaint"); // a line of output that fails the file

    QTest::newRow("desktop-file-validate")
        << QStringLiteral(HEXLARK_DESKTOP_FILE_VALIDATE) << QStringList{desktopFile()}
        << QStringLiteral(": (error|warning): ");
    QTest::newRow("appstreamcli validate")
        << QStringLiteral(HEXLARK_APPSTREAMCLI)
        << QStringList{QStringLiteral("validate"), QStringLiteral("--no-net"),
                       QStringLiteral("--pedantic"), metainfoFile()}
        << QStringLiteral("^[EW]: ");
}

void DesktopFilesTest::validatorAccepts()
{
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QFETCH(QString, complaint);

    QProcess validator;
    validator.setProcessChannelMode(QProcess::MergedChannels);
    validator.start(program, arguments);
    QVERIFY2(validator.waitForFinished(kToolTimeoutMs), qPrintable(validator.errorString()));
    const QString output = QString::fromLocal8Bit(validator.readAll()).trimmed();
    if (!output.isEmpty()) {
        qInfo("%s", qPrintable(output)); // hints and pedantic notes are shown, not failed
    }
    const QRegularExpression complaints(complaint, QRegularExpression::MultilineOption);
    QVERIFY2(!complaints.match(output).hasMatch(), qPrintable(output));
    QCOMPARE(validator.exitStatus(), QProcess::NormalExit);
    QCOMPARE(validator.exitCode(), 0);
}

void DesktopFilesTest::installPlaces_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("source");
    QTest::addColumn<int>("pixels");

    const auto files = hexlark::testing::installedFiles(QStringLiteral(HEXLARK_RESOURCES_DIR),
                                                        desktopFile(), metainfoFile());
    for (const hexlark::testing::InstalledFile &file : files) {
        QTest::newRow(qPrintable(file.rowName)) << file.path << file.source << file.pixels;
    }
}

void DesktopFilesTest::installPlaces()
{
    QFETCH(QString, path);
    QFETCH(QString, source);
    QFETCH(int, pixels);

    const QString installed = m_prefix.filePath(path);
    const QFileInfo info(installed);
    QVERIFY2(info.isFile(), qPrintable(installed + QStringLiteral(" is not installed")));
    if (source.isEmpty()) {
        QVERIFY2(info.isExecutable(), "the program is not executable");
    } else {
        QVERIFY2(readFile(installed) == readFile(source),
                 qPrintable(QStringLiteral("differs from ") + source));
    }
    if (pixels > 0) {
        const QImage icon(installed);
        QVERIFY2(!icon.isNull(), "not a readable image");
        QCOMPARE(icon.size(), QSize(pixels, pixels));
    }
}

void DesktopFilesTest::desktopEntryKey_data()
{
    using namespace hexlark;
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");

    QTest::newRow("Type") << QStringLiteral("Type") << QStringLiteral("Application");
    QTest::newRow("Name") << QStringLiteral("Name") << QString::fromLatin1(kProductName);
    QTest::newRow("Comment") << QStringLiteral("Comment") << QString::fromLatin1(kDescription);
    QTest::newRow("Exec") << QStringLiteral("Exec") << QString::fromLatin1(kExecutableName);
    QTest::newRow("Icon") << QStringLiteral("Icon") << QString::fromLatin1(kDesktopFileName);
    QTest::newRow("Categories") << QStringLiteral("Categories")
                                << QStringLiteral("Utility;Network;");
    QTest::newRow("Terminal") << QStringLiteral("Terminal") << QStringLiteral("false");
    QTest::newRow("StartupNotify") << QStringLiteral("StartupNotify") << QStringLiteral("true");
    // Qt on X11 gives its windows the application name as their class.
    QTest::newRow("StartupWMClass")
        << QStringLiteral("StartupWMClass") << QString::fromLatin1(kProductName);
}

void DesktopFilesTest::desktopEntryKey()
{
    QFETCH(QString, key);
    QFETCH(QString, value);

    const QHash<QString, QString> keys = desktopEntryKeys(desktopFile());
    QVERIFY2(keys.contains(key), "missing");
    QCOMPARE(keys.value(key), value);
}

void DesktopFilesTest::metainfoValue_data()
{
    using namespace hexlark;
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("value");

    const QString id = QString::fromLatin1(kDesktopFileName);
    QTest::newRow("component type")
        << QStringLiteral("component@type") << QStringLiteral("desktop-application");
    QTest::newRow("id") << QStringLiteral("component/id") << id;
    QTest::newRow("name") << QStringLiteral("component/name") << QString::fromLatin1(kProductName);
    QTest::newRow("summary") << QStringLiteral("component/summary")
                             << QString::fromLatin1(kDescription);
    QTest::newRow("developer") << QStringLiteral("component/developer/name")
                               << QString::fromLatin1(kOrganisation);
    QTest::newRow("project licence")
        << QStringLiteral("component/project_license") << QStringLiteral("LicenseRef-proprietary");
    QTest::newRow("homepage") << QStringLiteral("component/url") << QString::fromLatin1(kHomepage);
    QTest::newRow("homepage type")
        << QStringLiteral("component/url@type") << QStringLiteral("homepage");
    QTest::newRow("launchable") << QStringLiteral("component/launchable")
                                << id + QStringLiteral(".desktop");
    QTest::newRow("binary") << QStringLiteral("component/provides/binary")
                            << QString::fromLatin1(kExecutableName);
    QTest::newRow("release") << QStringLiteral("component/releases/release@version")
                             << QStringLiteral("%1.%2.%3.%4")
                                    .arg(kVersionMajor)
                                    .arg(kVersionMinor)
                                    .arg(kVersionPatch)
                                    .arg(kVersionTweak);
    QTest::newRow("content rating")
        << QStringLiteral("component/content_rating@type") << QStringLiteral("oars-1.1");
}

void DesktopFilesTest::metainfoValue()
{
    QFETCH(QString, path);
    QFETCH(QString, value);

    const QHash<QString, QString> values = xmlValues(metainfoFile());
    QVERIFY2(!values.contains(QStringLiteral("error")),
             qPrintable(values.value(QStringLiteral("error"))));
    QVERIFY2(values.contains(path), "missing");
    QCOMPARE(values.value(path), value);
}

void DesktopFilesTest::releaseIsDated()
{
    const QHash<QString, QString> values = xmlValues(metainfoFile());
    const QString date = values.value(QStringLiteral("component/releases/release@date"));
    QVERIFY2(QDate::fromString(date, Qt::ISODate).isValid(),
             qPrintable(QStringLiteral("date: ") + date));
}

// What the two files name (the program, the icon, the desktop entry) is
// what the installation holds.
void DesktopFilesTest::namedFileIsInstalled_data()
{
    QTest::addColumn<QString>("named");
    QTest::addColumn<QStringList>("installedAs"); // %1: the name

    const QHash<QString, QString> entry = desktopEntryKeys(desktopFile());
    const QHash<QString, QString> metainfo = xmlValues(metainfoFile());
    QStringList icons;
    for (const int size : hexlark::testing::kIconSizes) {
        icons << hexlark::testing::iconThemeDirectory() + QStringLiteral("/%1x%1/apps/").arg(size) +
                     QStringLiteral("%1.png");
    }
    icons << hexlark::testing::iconThemeDirectory() + QStringLiteral("/scalable/apps/%1.svg");

    QTest::newRow("desktop entry Exec")
        << entry.value(QStringLiteral("Exec")) << QStringList{QStringLiteral("bin/%1")};
    QTest::newRow("desktop entry Icon") << entry.value(QStringLiteral("Icon")) << icons;
    QTest::newRow("AppStream launchable") << metainfo.value(QStringLiteral("component/launchable"))
                                          << QStringList{QStringLiteral("share/applications/%1")};
    QTest::newRow("AppStream binary") << metainfo.value(QStringLiteral("component/provides/binary"))
                                      << QStringList{QStringLiteral("bin/%1")};
    QTest::newRow("AppStream id") << metainfo.value(QStringLiteral("component/id"))
                                  << QStringList{QStringLiteral("share/metainfo/%1.metainfo.xml")};
}

void DesktopFilesTest::namedFileIsInstalled()
{
    QFETCH(QString, named);
    QFETCH(QStringList, installedAs);

    QVERIFY2(!named.isEmpty(), "names nothing");
    for (const QString &pattern : installedAs) {
        const QString path = m_prefix.filePath(pattern.arg(named));
        QVERIFY2(QFileInfo(path).isFile(), qPrintable(path + QStringLiteral(" is not installed")));
    }
}

QTEST_GUILESS_MAIN(DesktopFilesTest)
#include "desktop_files_test.moc"
