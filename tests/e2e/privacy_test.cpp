#include "xsession.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileDevice>
#include <QList>
#include <QObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <memory>
#include <optional>

using hexlark::e2e::XSession;
using namespace std::chrono_literals;

namespace {

const QString kWindowName = QStringLiteral("^Hexlark$");
const QString kCopy = QStringLiteral("alt+c");
const QString kGenerate = QStringLiteral("alt+g");
constexpr auto kExitDeadline = 20s;
// Enough of a trace that an empty or unparsed log cannot pass as clean.
constexpr int kMinOpens = 50;

// The toolkit's own folders, each pointed into the sandbox for the run.
const QStringList kSandboxFolders{QStringLiteral("home"), QStringLiteral("runtime"),
                                  QStringLiteral("cache"), QStringLiteral("config"),
                                  QStringLiteral("data")};

// Every call that names files or sockets. Calls on descriptors alone (write,
// fchmod) act on something an open call traced here handed out first.
const QStringList kStraceArguments{QStringLiteral("-f"), QStringLiteral("-y"),
                                   QStringLiteral("-s"), QStringLiteral("4096"),
                                   QStringLiteral("-e"), QStringLiteral("trace=%file,%network")};

// Calls that change the file system by their very nature.
const QSet<QString> kChangingCalls{
    QStringLiteral("creat"),       QStringLiteral("mkdir"),       QStringLiteral("mkdirat"),
    QStringLiteral("rmdir"),       QStringLiteral("unlink"),      QStringLiteral("unlinkat"),
    QStringLiteral("rename"),      QStringLiteral("renameat"),    QStringLiteral("renameat2"),
    QStringLiteral("link"),        QStringLiteral("linkat"),      QStringLiteral("symlink"),
    QStringLiteral("symlinkat"),   QStringLiteral("truncate"),    QStringLiteral("chmod"),
    QStringLiteral("fchmodat"),    QStringLiteral("chown"),       QStringLiteral("lchown"),
    QStringLiteral("fchownat"),    QStringLiteral("utime"),       QStringLiteral("utimes"),
    QStringLiteral("utimensat"),   QStringLiteral("futimesat"),   QStringLiteral("mknod"),
    QStringLiteral("mknodat"),     QStringLiteral("setxattr"),    QStringLiteral("lsetxattr"),
    QStringLiteral("removexattr"), QStringLiteral("lremovexattr")};
const QSet<QString> kOpenCalls{QStringLiteral("open"), QStringLiteral("openat"),
                               QStringLiteral("openat2")};
const QSet<QString> kAddressedCalls{QStringLiteral("connect"), QStringLiteral("bind"),
                                    QStringLiteral("sendto"), QStringLiteral("sendmsg")};

// Opening for reading is allowed anywhere (libraries, fonts, /proc, /dev);
// writing only into the sandbox.

struct Call
{
    QString name;
    QString arguments;
};

// One traced call per line: "PID name(arguments) = result". A call that
// blocked is split into "name(arguments <unfinished ...>" and a resumed line
// that repeats no argument, so only the first half matters.
QList<Call> parseTrace(const QByteArray &log)
{
    static const QRegularExpression line(QStringLiteral("^\\d+\\s+(\\w+)\\((.*)$"));
    QList<Call> calls;
    for (const QByteArray &text : log.split('\n')) {
        const QRegularExpressionMatch match = line.match(QString::fromUtf8(text));
        if (match.hasMatch()) {
            calls.append({match.captured(1), match.captured(2)});
        }
    }
    return calls;
}

// The paths a call names: its quoted strings, made absolute against the
// directory descriptor strace -y shows ("5</some/dir>", "AT_FDCWD</cwd>") or the program's
// working folder; for a call on a descriptor alone, that descriptor's path.
QStringList namedPaths(const Call &call, const QString &workingFolder)
{
    static const QRegularExpression quoted(QStringLiteral("\"((?:[^\"\\\\]|\\\\.)*)\""));
    static const QRegularExpression descriptor(QStringLiteral("^(?:\\d+|AT_FDCWD)<([^>]*)>"));
    const QRegularExpressionMatch base = descriptor.match(call.arguments);
    const QString folder = base.hasMatch() ? base.captured(1) : workingFolder;
    QStringList paths;
    for (auto it = quoted.globalMatch(call.arguments); it.hasNext();) {
        const QString path = it.next().captured(1);
        paths << QDir::cleanPath(QDir::isAbsolutePath(path) ? path : folder + u'/' + path);
    }
    if (paths.isEmpty() && base.hasMatch()) {
        paths << base.captured(1);
    }
    return paths;
}

bool opensForWriting(const Call &call)
{
    static const QRegularExpression writeFlags(
        QStringLiteral("\\bO_(WRONLY|RDWR|CREAT|TRUNC|TMPFILE)\\b"));
    return kOpenCalls.contains(call.name) && writeFlags.match(call.arguments).hasMatch();
}

} // namespace

// The real program, traced with strace while it generates and copies, with
// a fresh home and the toolkit's runtime, cache, config and data folders in
// a sandbox: it writes nothing outside them and reaches nothing but the
// display, least of all the network.
class PrivacyTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void copyWorksUnderTrace_data();
    void copyWorksUnderTrace();
    void closingEndsWithStatusZero();
    void writesStayInSandbox();
    void socketsReachOnlyTheDisplay();

private:
    QString sandboxPath(const QString &name) const { return m_sandbox.filePath(name); }

    QTemporaryDir m_sandbox;
    std::unique_ptr<XSession> m_session;
    QProcess *m_tracer = nullptr;
    QString m_window;
    QList<Call> m_calls;
};

void PrivacyTest::initTestCase()
{
    QVERIFY(m_sandbox.isValid());
    for (const QString &folder : kSandboxFolders) {
        QVERIFY(QDir().mkpath(sandboxPath(folder)));
    }
    // Qt only takes a runtime folder that nobody else may enter.
    QVERIFY(QFile::setPermissions(sandboxPath(QStringLiteral("runtime")),
                                  QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                      QFileDevice::ExeOwner));

    m_session = std::make_unique<XSession>();
    QVERIFY2(m_session->isReady(), qPrintable(m_session->errorString()));
    QProcessEnvironment environment = m_session->programEnvironment();
    environment.insert(QStringLiteral("HOME"), sandboxPath(QStringLiteral("home")));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), sandboxPath(QStringLiteral("runtime")));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), sandboxPath(QStringLiteral("cache")));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), sandboxPath(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), sandboxPath(QStringLiteral("data")));
    // A desktop's session bus would be outside the sandbox. Named, and absent,
    // in the runtime folder: left unnamed, the D-Bus library would try to
    // start a bus of its own through dbus-launch where that is installed.
    // In a sanitizer build: LeakSanitizer cannot run under ptrace, and would
    // end the traced program with a failure of its own.
    const QString asanOptions = environment.value(QStringLiteral("ASAN_OPTIONS"));
    environment.insert(QStringLiteral("ASAN_OPTIONS"),
                       asanOptions + (asanOptions.isEmpty() ? "" : ":") + "detect_leaks=0");
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                       QStringLiteral("unix:path=") + sandboxPath(QStringLiteral("runtime")) +
                           QStringLiteral("/bus"));

    const QStringList arguments =
        kStraceArguments + QStringList{QStringLiteral("-o"),
                                       sandboxPath(QStringLiteral("trace.log")),
                                       QStringLiteral(HEXLARK_BINARY)};
    // Started in the fresh home, so relative paths land in the sandbox too.
    m_tracer = m_session->startProgram(QStringLiteral("strace"), arguments, environment,
                                       sandboxPath(QStringLiteral("home")));
    QVERIFY2(m_tracer != nullptr, qPrintable(m_session->errorString()));
    m_window = m_session->waitForWindow(kWindowName);
    QVERIFY2(!m_window.isEmpty(), m_tracer->readAllStandardError().constData());
}

void PrivacyTest::copyWorksUnderTrace_data()
{
    QTest::addColumn<QStringList>("chords");
    QTest::newRow("copy") << QStringList{kCopy};
    QTest::newRow("generate then copy") << QStringList{kGenerate, kCopy};
    QTest::newRow("generate again then copy") << QStringList{kGenerate, kCopy};
}

void PrivacyTest::copyWorksUnderTrace()
{
    QFETCH(QStringList, chords);
    const std::optional<QByteArray> copied = m_session->pressAndReadClipboard(m_window, chords);
    QVERIFY2(copied.has_value(), "the clipboard never changed after the keys");
    QVERIFY2(hexlark::e2e::isAddressText(*copied), copied->constData());
}

void PrivacyTest::closingEndsWithStatusZero()
{
    QVERIFY(m_session->requestClose(m_window));
    // strace ends with the status of the program it ran.
    QVERIFY2(XSession::waitForExit(*m_tracer, kExitDeadline), "still running after the close");
    QCOMPARE(m_tracer->exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_tracer->exitCode(), 0);

    QFile log(sandboxPath(QStringLiteral("trace.log")));
    QVERIFY2(log.open(QIODevice::ReadOnly), qPrintable(log.errorString()));
    m_calls = parseTrace(log.readAll());
    int opens = 0;
    for (const Call &call : m_calls) {
        opens += kOpenCalls.contains(call.name) ? 1 : 0;
    }
    QVERIFY2(opens >= kMinOpens, qPrintable(QStringLiteral("only %1 opens traced").arg(opens)));
}

void PrivacyTest::writesStayInSandbox()
{
    const QString sandbox = QDir::cleanPath(m_sandbox.path()) + u'/';
    const QString working = sandboxPath(QStringLiteral("home"));
    QStringList outside;
    for (const Call &call : m_calls) {
        if (!opensForWriting(call) && !kChangingCalls.contains(call.name)) {
            continue;
        }
        for (const QString &path : namedPaths(call, working)) {
            if (!path.startsWith(sandbox)) {
                outside << call.name + u'(' + call.arguments;
            }
        }
    }
    QVERIFY2(outside.isEmpty(), qPrintable(outside.join(u'\n')));
}

void PrivacyTest::socketsReachOnlyTheDisplay()
{
    static const QRegularExpression family(QStringLiteral("^(AF_\\w+)"));
    static const QRegularExpression address(
        QStringLiteral("sa_family=(AF_\\w+)(?:, sun_path=(@?)\"([^\"]*)\")?"));
    const QString displaySocket =
        QStringLiteral("/tmp/.X11-unix/X%1").arg(m_session->displayNumber());
    // The display's socket, by path or as its abstract twin, and the place
    // the session bus named for the program, which is not there.
    const QSet<QString> allowed{displaySocket, u'@' + displaySocket,
                                sandboxPath(QStringLiteral("runtime")) + QStringLiteral("/bus")};
    QStringList refused;
    bool reachedDisplay = false;
    for (const Call &call : m_calls) {
        if (call.name == QStringLiteral("socket") || call.name == QStringLiteral("socketpair")) {
            const QRegularExpressionMatch match = family.match(call.arguments);
            if (!match.hasMatch() || match.captured(1) != QStringLiteral("AF_UNIX")) {
                refused << call.name + u'(' + call.arguments;
            }
        } else if (kAddressedCalls.contains(call.name)) {
            for (auto it = address.globalMatch(call.arguments); it.hasNext();) {
                const QRegularExpressionMatch match = it.next();
                const QString path = match.captured(2) + match.captured(3);
                if (match.captured(1) != QStringLiteral("AF_UNIX") || !allowed.contains(path)) {
                    refused << call.name + u'(' + call.arguments;
                }
                reachedDisplay = reachedDisplay || (call.name == QStringLiteral("connect") &&
                                                    path.endsWith(displaySocket));
            }
        } else if (call.name == QStringLiteral("listen")) {
            refused << call.name + u'(' + call.arguments;
        }
    }
    QVERIFY2(refused.isEmpty(), qPrintable(refused.join(u'\n')));
    QVERIFY2(reachedDisplay, "the trace shows no connection to the display");
}

QTEST_GUILESS_MAIN(PrivacyTest)
#include "privacy_test.moc"
