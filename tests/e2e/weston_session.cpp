#include "weston_session.h"

#include "xsession.h"

#include <QColor>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>
#include <QThread>

namespace hexlark::e2e {
namespace {

using namespace std::chrono_literals;

constexpr auto kPollInterval = 50ms;
constexpr auto kClipboardDeadline = 10s;
const QString kSocketName = QStringLiteral("wayland-hexlark");
// The output window's WM_CLASS; it sets no WM_NAME that xdotool could match.
const QString kOutputWindowClass = QStringLiteral("^Weston Compositor$");

// No panel, no screen lock, no idle blanking: the output shows the
// background and the clients' windows and nothing else.
constexpr const char *kConfiguration = R"([core]
idle-time=0

[shell]
panel-position=none
locking=false
background-color=0x%1
)";

} // namespace

WestonSession::WestonSession(Backend backend, const QString &xDisplay, Xwayland xwayland)
{
    if (!m_work.isValid()) {
        m_error = QStringLiteral("cannot create a temporary folder: %1").arg(m_work.errorString());
        return;
    }
    // Wayland sockets live in a private (0700) runtime folder.
    m_runtime = m_work.filePath(QStringLiteral("runtime"));
    QDir().mkpath(m_runtime);
    QFile::setPermissions(m_runtime,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    m_socket = kSocketName;

    const QString configuration = m_work.filePath(QStringLiteral("weston.ini"));
    QFile file(configuration);
    const QString background = QString::number(kBackground, 16);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(QString::fromLatin1(kConfiguration).arg(background).toUtf8()) < 0) {
        m_error = QStringLiteral("cannot write %1").arg(configuration);
        return;
    }
    file.close();

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_SOCKET"));
    environment.remove(QStringLiteral("DISPLAY"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime);
    QStringList arguments{
        backend == Backend::Headless ? QStringLiteral("--backend=headless-backend.so")
                                     : QStringLiteral("--backend=x11-backend.so"),
        // Pixman draws in memory; without a renderer there is nothing to capture.
        QStringLiteral("--use-pixman"), QStringLiteral("--width=%1").arg(kOutputSize.width()),
        QStringLiteral("--height=%1").arg(kOutputSize.height()),
        QStringLiteral("--socket=%1").arg(m_socket),
        QStringLiteral("--config=%1").arg(configuration),
        // Lets weston-screenshooter, a client it did not start, take pictures.
        QStringLiteral("--debug"),
        QStringLiteral("--log=%1").arg(m_work.filePath(QStringLiteral("weston.log")))};
    if (backend == Backend::NestedInX11) {
        environment.insert(QStringLiteral("DISPLAY"), xDisplay);
    }
    if (xwayland == Xwayland::With) {
        arguments << QStringLiteral("--xwayland");
    }
    m_compositor.setProcessEnvironment(environment);
    m_compositor.setStandardOutputFile(QProcess::nullDevice());
    m_compositor.setStandardErrorFile(m_work.filePath(QStringLiteral("weston.stderr")));
    m_compositor.start(QStringLiteral("weston"), arguments);
    if (!m_compositor.waitForStarted()) {
        m_error = QStringLiteral("cannot start weston: %1").arg(m_compositor.errorString());
        return;
    }
    if (!waitForSocket()) {
        m_error = QStringLiteral("weston made no socket: %1").arg(logText());
        return;
    }
    if (backend == Backend::NestedInX11 && !findOutputWindow(xDisplay)) {
        m_error = QStringLiteral("weston showed no output window: %1").arg(logText());
        return;
    }
    if (xwayland == Xwayland::With && !waitForXwaylandDisplay()) {
        m_error = QStringLiteral("weston opened no X display: %1").arg(logText());
        return;
    }
    m_ready = true;
}

WestonSession::~WestonSession()
{
    for (const auto &client : m_clients) {
        stopProcess(*client);
    }
    stopProcess(m_compositor);
}

bool WestonSession::waitForSocket()
{
    const QString path = QDir(m_runtime).filePath(m_socket);
    const QDeadlineTimer deadline(kStartDeadline);
    while (!deadline.hasExpired() && m_compositor.state() == QProcess::Running) {
        if (QFileInfo(path).exists()) {
            return true;
        }
        QThread::msleep(static_cast<unsigned long>(kPollInterval.count()));
    }
    return false;
}

bool WestonSession::waitForXwaylandDisplay()
{
    // Weston picks a free display number itself, says which in its log, and
    // starts Xwayland there when the first X program connects.
    static const QRegularExpression announcement(
        QStringLiteral("xserver listening on display (:\\d+)"));
    const QDeadlineTimer deadline(kStartDeadline);
    while (!deadline.hasExpired() && m_compositor.state() == QProcess::Running) {
        const QRegularExpressionMatch match = announcement.match(logText());
        if (match.hasMatch()) {
            m_xwaylandDisplay = match.captured(1);
            return true;
        }
        QThread::msleep(static_cast<unsigned long>(kPollInterval.count()));
    }
    return false;
}

bool WestonSession::findOutputWindow(const QString &xDisplay)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), xDisplay);
    const CommandResult found = XSession::runIn(environment, QStringLiteral("xdotool"),
                                                {QStringLiteral("search"), QStringLiteral("--sync"),
                                                 QStringLiteral("--onlyvisible"),
                                                 QStringLiteral("--class"), kOutputWindowClass},
                                                kStartDeadline);
    const QList<QByteArray> lines = found.standardOutput.trimmed().split('\n');
    if (!found.succeeded() || lines.size() != 1) {
        return false;
    }
    m_outputWindow = QString::fromLatin1(lines.front().trimmed());
    return true;
}

QString WestonSession::logText() const
{
    QString text;
    for (const QString &name : {QStringLiteral("weston.stderr"), QStringLiteral("weston.log")}) {
        QFile log(m_work.filePath(name));
        if (log.open(QIODevice::ReadOnly)) {
            text += QString::fromLocal8Bit(log.readAll());
        }
    }
    return text;
}

QProcessEnvironment WestonSession::clientEnvironment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_SOCKET"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime);
    environment.insert(QStringLiteral("WAYLAND_DISPLAY"), m_socket);
    return environment;
}

QProcessEnvironment WestonSession::qtEnvironment() const
{
    QProcessEnvironment environment = clientEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
    return environment;
}

QProcess *WestonSession::startClient(const QString &program, const QStringList &arguments,
                                     const QProcessEnvironment &environment,
                                     const QString &standardErrorFile)
{
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(environment);
    if (!standardErrorFile.isEmpty()) {
        process->setStandardErrorFile(standardErrorFile);
    }
    process->start(program, arguments);
    if (!process->waitForStarted()) {
        return nullptr;
    }
    m_clients.push_back(std::move(process));
    return m_clients.back().get();
}

QImage WestonSession::screenshot() const
{
    // A fresh folder each time: the picture's file name holds only the time
    // to the second.
    const QString folder = m_work.filePath(QStringLiteral("shot"));
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    // weston-screenshooter writes its picture into the folder it runs in.
    const CommandResult shot = XSession::runIn(
        clientEnvironment(), QStringLiteral("weston-screenshooter"), {}, kToolDeadline, folder);
    const QStringList pictures =
        QDir(folder).entryList({QStringLiteral("*.png")}, QDir::Files, QDir::Name);
    if (!shot.succeeded() || pictures.size() != 1) {
        return {};
    }
    return QImage(QDir(folder).filePath(pictures.front())).convertToFormat(QImage::Format_RGB32);
}

std::optional<QByteArray> WestonSession::readClipboard() const
{
    const CommandResult paste = XSession::runIn(
        clientEnvironment(), QStringLiteral("wl-paste"),
        {QStringLiteral("--no-newline"), QStringLiteral("--type"), QStringLiteral("text/plain")},
        kToolDeadline);
    if (!paste.succeeded()) {
        return std::nullopt;
    }
    return paste.standardOutput;
}

std::optional<QByteArray> WestonSession::readClipboardThroughXwayland() const
{
    if (m_xwaylandDisplay.isEmpty()) {
        return std::nullopt;
    }
    QProcessEnvironment environment = clientEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), m_xwaylandDisplay);
    const CommandResult read = XSession::runIn(
        environment, QStringLiteral("xclip"),
        {QStringLiteral("-o"), QStringLiteral("-selection"), QStringLiteral("clipboard")},
        kToolDeadline);
    if (!read.succeeded()) {
        return std::nullopt;
    }
    return read.standardOutput;
}

bool WestonSession::offerClipboard(const QByteArray &text)
{
    // --foreground keeps wl-copy a child of ours rather than a daemon.
    QProcess *owner =
        startClient(QStringLiteral("wl-copy"),
                    {QStringLiteral("--foreground"), QStringLiteral("--type"),
                     QStringLiteral("text/plain"), QStringLiteral("--"), QString::fromUtf8(text)},
                    clientEnvironment());
    if (owner == nullptr) {
        return false;
    }
    const QDeadlineTimer deadline(kClipboardDeadline);
    while (!deadline.hasExpired()) {
        if (readClipboard() == text) {
            return true;
        }
        QThread::msleep(static_cast<unsigned long>(kPollInterval.count()));
    }
    return false;
}

} // namespace hexlark::e2e
