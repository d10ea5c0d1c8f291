#include "package_test.h"
#include "version.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <xcb/xcb.h>

#include <unistd.h>

#include <cstdlib>
#include <cstring>

// The Debian package, end to end: built with CPack, read with dpkg-deb,
// installed, started under its own X server, closed, and purged.
namespace {

constexpr int kCpackTimeoutMs = 300'000;
constexpr int kDpkgTimeoutMs = 300'000;
constexpr int kQueryTimeoutMs = 60'000;
constexpr int kDisplayTimeoutMs = 30'000;
constexpr int kWindowTimeoutMs = 30'000;
constexpr int kExitTimeoutMs = 15'000;
const QString kInstallPrefix = QStringLiteral("/usr/");
const QString kInstalledStatus = QStringLiteral("installed");
const QString kNotInstalledStatus = QStringLiteral("not-installed");
const QString kStateFileName = QStringLiteral("package_test.installed");

QString packageName()
{
    return QString::fromLatin1(hexlark::kExecutableName);
}

QString packageVersion()
{
    using namespace hexlark;
    return QStringLiteral("%1.%2.%3.%4")
        .arg(kVersionMajor)
        .arg(kVersionMinor)
        .arg(kVersionPatch)
        .arg(kVersionTweak);
}

// A finished run of a program: its exit code (-1 if it crashed or timed
// out) and everything it printed.
struct Run
{
    int exitCode = -1;
    QString output;

    bool succeeded() const { return exitCode == 0; }
};

Run run(const QString &program, const QStringList &arguments, int timeoutMs,
        const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return {-1, QString::fromLocal8Bit(process.readAll()) +
                        QStringLiteral("\n(did not finish: %1)").arg(process.errorString())};
    }
    const int code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return {code, QString::fromLocal8Bit(process.readAll()).trimmed()};
}

QString failure(const QString &what, const Run &result)
{
    return QStringLiteral("%1 failed (exit code %2):\n%3")
        .arg(what)
        .arg(result.exitCode)
        .arg(result.output);
}

QString packageStatus()
{
    const Run status = run(QStringLiteral(HEXLARK_DPKG_QUERY),
                           {QStringLiteral("--show"),
                            QStringLiteral("--showformat=${db:Status-Status}"), packageName()},
                           kQueryTimeoutMs);
    return status.succeeded() ? status.output : kNotInstalledStatus;
}

// The packages a Depends field names, without versions or alternatives' bars.
QStringList dependencyNames(const QString &depends)
{
    QStringList names;
    const QStringList clauses = depends.split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const QString &clause : clauses) {
        const QStringList alternatives = clause.split(QLatin1Char('|'));
        for (const QString &alternative : alternatives) {
            names << alternative.section(QLatin1Char('('), 0, 0).trimmed();
        }
    }
    return names;
}

QString desktopEntryValue(const QString &path, const QString &key)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        if (line.startsWith(key + QLatin1Char('='))) {
            return line.mid(key.size() + 1);
        }
    }
    return {};
}

// A client connection to an X server, doing for the test what a window
// manager would: reading a window's class and asking the window to close.
class X11Display
{
public:
    explicit X11Display(const QByteArray &name)
        : m_connection(xcb_connect(name.constData(), nullptr))
    {}
    ~X11Display() { xcb_disconnect(m_connection); }
    X11Display(const X11Display &) = delete;
    X11Display &operator=(const X11Display &) = delete;

    bool ok() const { return xcb_connection_has_error(m_connection) == 0; }

    // WM_CLASS: the instance name, then the class name.
    QStringList windowClass(xcb_window_t window)
    {
        constexpr uint32_t kMaxWords = 256;
        const xcb_get_property_cookie_t cookie = xcb_get_property(
            m_connection, 0, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, kMaxWords);
        xcb_get_property_reply_t *reply = xcb_get_property_reply(m_connection, cookie, nullptr);
        if (reply == nullptr) {
            return {};
        }
        const QByteArray value(static_cast<const char *>(xcb_get_property_value(reply)),
                               xcb_get_property_value_length(reply));
        std::free(reply);
        QStringList parts;
        for (const QByteArray &part : value.split('\0')) {
            if (!part.isEmpty()) {
                parts << QString::fromLatin1(part);
            }
        }
        return parts;
    }

    // Sends WM_DELETE_WINDOW, as a window manager does for its close button.
    bool askToClose(xcb_window_t window)
    {
        constexpr uint8_t kWordFormat = 32;
        xcb_client_message_event_t event;
        std::memset(&event, 0, sizeof event);
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = kWordFormat;
        event.window = window;
        event.type = atom("WM_PROTOCOLS");
        event.data.data32[0] = atom("WM_DELETE_WINDOW");
        event.data.data32[1] = XCB_CURRENT_TIME;
        const xcb_void_cookie_t cookie =
            xcb_send_event_checked(m_connection, 0, window, XCB_EVENT_MASK_NO_EVENT,
                                   reinterpret_cast<const char *>(&event));
        xcb_generic_error_t *error = xcb_request_check(m_connection, cookie);
        std::free(error);
        return error == nullptr;
    }

private:
    xcb_atom_t atom(const char *name)
    {
        const xcb_intern_atom_cookie_t cookie =
            xcb_intern_atom(m_connection, 0, static_cast<uint16_t>(std::strlen(name)), name);
        xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(m_connection, cookie, nullptr);
        const xcb_atom_t result = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
        std::free(reply);
        return result;
    }

    xcb_connection_t *m_connection;
};

} // namespace

class PackageTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void controlField_data();
    void controlField();
    void dependsOn_data();
    void dependsOn();
    void holdsFile_data();
    void holdsFile();
    void holdsNothingElse();
    void installs();
    void showsItsWindowAndClosesCleanly();
    void purgeRemovesEveryFile();
    void cleanupTestCase();

private:
    QString stateFile() const;
    QStringList expectedFiles() const;
    bool purge(Run *result);

    QTemporaryDir m_dir;
    QString m_deb;
    QHash<QString, QString> m_fields;
    QStringList m_files; // the package's regular files, as installed paths
    bool m_installed = false;
};

// Records what this test installed, so that a run cut short can be told
// apart from a package someone else installed.
QString PackageTest::stateFile() const
{
    return QDir(QStringLiteral(HEXLARK_BUILD_DIR)).filePath(kStateFileName);
}

QStringList PackageTest::expectedFiles() const
{
    QStringList paths;
    const auto files = hexlark::testing::installedFiles(QStringLiteral(HEXLARK_RESOURCES_DIR),
                                                        QStringLiteral(HEXLARK_DESKTOP_FILE),
                                                        QStringLiteral(HEXLARK_METAINFO_FILE));
    for (const hexlark::testing::InstalledFile &file : files) {
        paths << kInstallPrefix + file.path;
    }
    return paths;
}

bool PackageTest::purge(Run *result)
{
    *result = run(QStringLiteral(HEXLARK_DPKG), {QStringLiteral("--purge"), packageName()},
                  kDpkgTimeoutMs);
    if (result->succeeded()) {
        m_installed = false;
        QFile::remove(stateFile());
    }
    return result->succeeded();
}

void PackageTest::initTestCase()
{
    if (::geteuid() != 0) {
        QSKIP("The package test installs and purges a system package, which needs root.");
    }
    if (packageStatus() != kNotInstalledStatus) {
        const Run installedSums =
            run(QStringLiteral(HEXLARK_DPKG_QUERY),
                {QStringLiteral("--control-show"), packageName(), QStringLiteral("md5sums")},
                kQueryTimeoutMs);
        QFile state(stateFile());
        const bool leftByThisTest =
            state.open(QIODevice::ReadOnly) && installedSums.succeeded() &&
            QString::fromUtf8(state.readAll()).trimmed() == installedSums.output;
        if (!leftByThisTest) {
            const Run which =
                run(QStringLiteral(HEXLARK_DPKG_QUERY),
                    {QStringLiteral("--show"),
                     QStringLiteral("--showformat=${Version} (maintainer: ${Maintainer})"),
                     packageName()},
                    kQueryTimeoutMs);
            QSKIP(qPrintable(
                QStringLiteral("A package %1 %2 is installed that this test did not install; it is "
                               "left alone. Purge it (dpkg --purge %1) to run the package test.")
                    .arg(packageName(), which.output)));
        }
        Run purged;
        QVERIFY2(
            purge(&purged),
            qPrintable(failure(QStringLiteral("purging the package an earlier run left"), purged)));
    }

    QVERIFY2(m_dir.isValid(), qPrintable(m_dir.errorString()));
    const Run cpack =
        run(QStringLiteral(HEXLARK_CPACK),
            {QStringLiteral("--config"), QStringLiteral(HEXLARK_CPACK_CONFIG), QStringLiteral("-G"),
             QStringLiteral("DEB"), QStringLiteral("-B"), m_dir.path()},
            kCpackTimeoutMs);
    QVERIFY2(cpack.succeeded(), qPrintable(failure(QStringLiteral("cpack -G DEB"), cpack)));
    const QStringList debs = QDir(m_dir.path()).entryList({QStringLiteral("*.deb")}, QDir::Files);
    QVERIFY2(debs.size() == 1,
             qPrintable(QStringLiteral("cpack made %1 .deb files").arg(debs.size())));
    m_deb = m_dir.filePath(debs.first());

    const Run info =
        run(QStringLiteral(HEXLARK_DPKG_DEB),
            {QStringLiteral("--info"), m_deb, QStringLiteral("control")}, kQueryTimeoutMs);
    QVERIFY2(info.succeeded(), qPrintable(failure(QStringLiteral("dpkg-deb --info"), info)));
    const QStringList lines = info.output.split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        const qsizetype colon = line.indexOf(QStringLiteral(": "));
        if (!line.startsWith(QLatin1Char(' ')) && colon > 0) {
            m_fields.insert(line.left(colon), line.mid(colon + 2).trimmed());
        }
    }

    const Run contents = run(QStringLiteral(HEXLARK_DPKG_DEB),
                             {QStringLiteral("--contents"), m_deb}, kQueryTimeoutMs);
    QVERIFY2(contents.succeeded(),
             qPrintable(failure(QStringLiteral("dpkg-deb --contents"), contents)));
    const QStringList entries = contents.output.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString &entry : entries) {
        if (entry.startsWith(QLatin1Char('-'))) {
            // "./usr/bin/hexlark", the last column, installs as "/usr/bin/hexlark".
            m_files << entry.section(QLatin1Char(' '), -1).mid(1);
        }
    }
}

void PackageTest::controlField_data()
{
    using namespace hexlark;
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");

    QTest::newRow("Package") << QStringLiteral("Package") << packageName();
    QTest::newRow("Version") << QStringLiteral("Version") << packageVersion();
    QTest::newRow("Maintainer") << QStringLiteral("Maintainer")
                                << QString::fromLatin1(kOrganisation);
    QTest::newRow("Section") << QStringLiteral("Section") << QStringLiteral("utils");
    QTest::newRow("Description") << QStringLiteral("Description")
                                 << QString::fromLatin1(kDescription);
    QTest::newRow("Homepage") << QStringLiteral("Homepage") << QString::fromLatin1(kHomepage);
}

void PackageTest::controlField()
{
    QFETCH(QString, field);
    QFETCH(QString, value);

    QVERIFY2(m_fields.contains(field), "missing");
    QCOMPARE(m_fields.value(field), value);
}

void PackageTest::dependsOn_data()
{
    QTest::addColumn<QString>("package");

    QTest::newRow("fonts") << QStringLiteral("fonts-liberation2");
    QTest::newRow("Qt Widgets, found by dpkg-shlibdeps") << QStringLiteral("libqt6widgets6");
    QTest::newRow("C library, found by dpkg-shlibdeps") << QStringLiteral("libc6");
}

void PackageTest::dependsOn()
{
    QFETCH(QString, package);

    const QString depends = m_fields.value(QStringLiteral("Depends"));
    QVERIFY2(dependencyNames(depends).contains(package),
             qPrintable(QStringLiteral("Depends: ") + depends));
}

void PackageTest::holdsFile_data()
{
    QTest::addColumn<QString>("path");

    for (const QString &path : expectedFiles()) {
        QTest::newRow(qPrintable(path)) << path;
    }
}

void PackageTest::holdsFile()
{
    QFETCH(QString, path);

    QVERIFY2(m_files.contains(path),
             qPrintable(QStringLiteral("the package holds:\n") + m_files.join(QLatin1Char('\n'))));
}

void PackageTest::holdsNothingElse()
{
    QSet<QString> extra(m_files.cbegin(), m_files.cend());
    const QStringList expected = expectedFiles();
    extra.subtract(QSet<QString>(expected.cbegin(), expected.cend()));
    QVERIFY2(extra.isEmpty(),
             qPrintable(QStringList(extra.cbegin(), extra.cend()).join(QLatin1Char('\n'))));
}

void PackageTest::installs()
{
    const Run sums =
        run(QStringLiteral(HEXLARK_DPKG_DEB),
            {QStringLiteral("--info"), m_deb, QStringLiteral("md5sums")}, kQueryTimeoutMs);
    QVERIFY2(sums.succeeded(),
             qPrintable(failure(QStringLiteral("dpkg-deb --info md5sums"), sums)));
    QFile state(stateFile());
    QVERIFY2(state.open(QIODevice::WriteOnly), qPrintable(state.errorString()));
    state.write(sums.output.toUtf8());
    state.close();

    // apt-get, rather than dpkg -i, brings in any dependency the machine lacks.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DEBIAN_FRONTEND"), QStringLiteral("noninteractive"));
    m_installed = true;
    const Run install = run(QStringLiteral(HEXLARK_APT_GET),
                            {QStringLiteral("install"), QStringLiteral("--yes"),
                             QStringLiteral("--no-install-recommends"), QStringLiteral("-o"),
                             QStringLiteral("DPkg::Lock::Timeout=120"), m_deb},
                            kDpkgTimeoutMs, environment);
    QVERIFY2(install.succeeded(),
             qPrintable(failure(QStringLiteral("apt-get install ") + m_deb, install)));
    QCOMPARE(packageStatus(), kInstalledStatus);
    for (const QString &path : std::as_const(m_files)) {
        QVERIFY2(QFileInfo(path).isFile(), qPrintable(path + QStringLiteral(" is not installed")));
    }
}

void PackageTest::showsItsWindowAndClosesCleanly()
{
    QVERIFY2(m_installed, "the package is not installed");
    QProcess xvfb;
    xvfb.start(QStringLiteral(HEXLARK_XVFB),
               {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"),
                QStringLiteral("tcp"), QStringLiteral("-screen"), QStringLiteral("0"),
                QStringLiteral("1024x768x24")});
    QVERIFY2(xvfb.waitForStarted(kDisplayTimeoutMs), qPrintable(xvfb.errorString()));
    const auto stopXvfb = qScopeGuard([&xvfb] {
        xvfb.terminate();
        xvfb.waitForFinished(kDisplayTimeoutMs);
    });
    QTRY_VERIFY2_WITH_TIMEOUT(xvfb.canReadLine(), "Xvfb did not report its display",
                              kDisplayTimeoutMs);
    const QByteArray display = ':' + xvfb.readLine().trimmed();

    QTemporaryDir runtimeDir;
    QVERIFY2(runtimeDir.isValid(), qPrintable(runtimeDir.errorString()));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(display));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir.path());

    QProcess program;
    program.setProcessChannelMode(QProcess::MergedChannels);
    program.setProcessEnvironment(environment);
    const QString binary =
        kInstallPrefix + QStringLiteral("bin/") + QString::fromLatin1(hexlark::kExecutableName);
    program.start(binary, {});
    QVERIFY2(program.waitForStarted(kDisplayTimeoutMs), qPrintable(program.errorString()));
    const auto stopProgram = qScopeGuard([&program] {
        if (program.state() != QProcess::NotRunning) {
            program.kill();
            program.waitForFinished(kExitTimeoutMs);
        }
    });

    const QString title = QString::fromLatin1(hexlark::kProductName);
    const Run search =
        run(QStringLiteral(HEXLARK_XDOTOOL),
            {QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--onlyvisible"),
             QStringLiteral("--name"),
             QLatin1Char('^') + QRegularExpression::escape(title) + QLatin1Char('$')},
            kWindowTimeoutMs, environment);
    QVERIFY2(search.succeeded(),
             qPrintable(QStringLiteral("no window named %1 appeared within %2 s; %3 said:\n%4")
                            .arg(title)
                            .arg(kWindowTimeoutMs / 1000)
                            .arg(binary, QString::fromLocal8Bit(program.readAll()))));
    bool isNumber = false;
    const xcb_window_t window = search.output.section(QLatin1Char('\n'), 0, 0).toUInt(&isNumber);
    QVERIFY2(isNumber, qPrintable(QStringLiteral("xdotool said: ") + search.output));

    X11Display x11(display);
    QVERIFY2(x11.ok(), "cannot connect to Xvfb");
    // The desktop entry's StartupWMClass matches the window's class.
    const QString desktopEntry =
        kInstallPrefix + QStringLiteral("share/applications/%1.desktop")
                             .arg(QString::fromLatin1(hexlark::kDesktopFileName));
    const QStringList windowClass = x11.windowClass(window);
    QCOMPARE(windowClass.size(), 2);
    QCOMPARE(windowClass.at(1), desktopEntryValue(desktopEntry, QStringLiteral("StartupWMClass")));

    QVERIFY2(x11.askToClose(window), "could not send WM_DELETE_WINDOW");
    QVERIFY2(program.waitForFinished(kExitTimeoutMs),
             "still running after its window was asked to close");
    const QString said = QString::fromLocal8Bit(program.readAll());
    QVERIFY2(program.exitStatus() == QProcess::NormalExit,
             qPrintable(QStringLiteral("crashed:\n") + said));
    QVERIFY2(program.exitCode() == 0,
             qPrintable(QStringLiteral("exit code %1:\n%2").arg(program.exitCode()).arg(said)));
}

void PackageTest::purgeRemovesEveryFile()
{
    QVERIFY2(m_installed, "the package is not installed");
    Run purged;
    QVERIFY2(purge(&purged), qPrintable(failure(QStringLiteral("dpkg --purge"), purged)));
    QCOMPARE(packageStatus(), kNotInstalledStatus);
    for (const QString &path : std::as_const(m_files)) {
        QVERIFY2(!QFileInfo::exists(path), qPrintable(path + QStringLiteral(" is left behind")));
    }
}

void PackageTest::cleanupTestCase()
{
    if (m_installed) {
        Run purged;
        if (!purge(&purged)) {
            qWarning("%s", qPrintable(failure(QStringLiteral("dpkg --purge"), purged)));
        }
    }
}

QTEST_GUILESS_MAIN(PackageTest)
#include "package_test.moc"
