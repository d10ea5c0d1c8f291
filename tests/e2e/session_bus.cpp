#include "session_bus.h"

#include "xsession.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QStringList>

#include <chrono>

namespace hexlark::e2e {
namespace {

using namespace std::chrono_literals;

constexpr auto kStartDeadline = 10s;
constexpr auto kQueryDeadline = 5s;
constexpr auto kPollInterval = 50ms;

// A session bus like the system's own but with no service folders, so that
// nothing is started behind the test's back and left running after it.
constexpr const char *kConfiguration = R"(<!DOCTYPE busconfig PUBLIC
 "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=%1</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";

int milliseconds(std::chrono::milliseconds duration)
{
    return static_cast<int>(duration.count());
}

} // namespace

SessionBus::SessionBus()
{
    if (!m_work.isValid()) {
        m_error = QStringLiteral("cannot create a temporary folder: %1").arg(m_work.errorString());
        return;
    }
    const QString configuration = m_work.filePath(QStringLiteral("session.conf"));
    QFile file(configuration);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(QString::fromLatin1(kConfiguration).arg(m_work.path()).toUtf8()) < 0) {
        m_error = QStringLiteral("cannot write %1").arg(configuration);
        return;
    }
    file.close();

    m_daemon.setStandardErrorFile(m_work.filePath(QStringLiteral("dbus-daemon.log")));
    m_daemon.start(QStringLiteral("dbus-daemon"),
                   {QStringLiteral("--config-file=%1").arg(configuration),
                    QStringLiteral("--nofork"), QStringLiteral("--nopidfile"),
                    QStringLiteral("--print-address=1")});
    if (!m_daemon.waitForStarted()) {
        m_error = QStringLiteral("cannot start dbus-daemon: %1").arg(m_daemon.errorString());
        return;
    }
    // The daemon prints its address once it accepts connections.
    const QDeadlineTimer deadline(kStartDeadline);
    QByteArray printed;
    while (!printed.contains('\n') && !deadline.hasExpired() &&
           m_daemon.state() == QProcess::Running) {
        m_daemon.waitForReadyRead(milliseconds(kPollInterval));
        printed += m_daemon.readAllStandardOutput();
    }
    if (!printed.contains('\n')) {
        m_error = QStringLiteral("dbus-daemon printed no address");
        return;
    }
    m_address = QString::fromUtf8(printed.left(printed.indexOf('\n')).trimmed());
}

SessionBus::~SessionBus()
{
    stopProcess(m_daemon);
}

QProcessEnvironment SessionBus::environment(QProcessEnvironment base) const
{
    base.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_address);
    const QStringList folders{QStringLiteral("HOME"), QStringLiteral("XDG_CONFIG_HOME"),
                              QStringLiteral("XDG_DATA_HOME"), QStringLiteral("XDG_CACHE_HOME"),
                              QStringLiteral("XDG_STATE_HOME")};
    for (const QString &variable : folders) {
        const QString path = m_work.filePath(variable.toLower());
        QDir().mkpath(path);
        base.insert(variable, path);
    }
    // GLib programs would otherwise look for dconf, which nobody starts here.
    base.insert(QStringLiteral("GSETTINGS_BACKEND"), QStringLiteral("memory"));
    return base;
}

bool SessionBus::hasOwner(const QString &name) const
{
    QProcess query;
    query.start(QStringLiteral("dbus-send"),
                {QStringLiteral("--bus=%1").arg(m_address), QStringLiteral("--print-reply"),
                 QStringLiteral("--dest=org.freedesktop.DBus"),
                 QStringLiteral("/org/freedesktop/DBus"),
                 QStringLiteral("org.freedesktop.DBus.NameHasOwner"),
                 QStringLiteral("string:%1").arg(name)});
    if (!query.waitForFinished(milliseconds(kQueryDeadline))) {
        query.kill();
        query.waitForFinished();
        return false;
    }
    return query.exitStatus() == QProcess::NormalExit && query.exitCode() == 0 &&
           query.readAllStandardOutput().contains("boolean true");
}

} // namespace hexlark::e2e
