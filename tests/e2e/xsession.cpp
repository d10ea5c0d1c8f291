#include "xsession.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QThread>

// Xlib last: its macros (None, Bool, Status...) would clash with Qt's headers.
#include <X11/Xlib.h>

namespace hexlark::e2e {
namespace {

const QString kHexlarkWindowName = QStringLiteral("^Hexlark$");

using namespace std::chrono_literals;

constexpr auto kServerStartDeadline = 15s;
constexpr auto kStopDeadline = 5s;
constexpr auto kPollInterval = 50ms;
// Two screenshots this far apart that match mean the window has finished painting.
constexpr auto kSettleInterval = 150ms;
constexpr auto kClipboardDeadline = 10s;
constexpr int kScreenDepth = 24;
constexpr qsizetype kAddressLength = 17;

int geometryField(const QString &xwininfo, const char *label)
{
    const QRegularExpression pattern(QStringLiteral("%1:\\s+(-?\\d+)").arg(QLatin1String(label)));
    const QRegularExpressionMatch match = pattern.match(xwininfo);
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

// Xlib's default error handler ends the whole test process; a window that is
// already gone should only make the request fail.
int g_xErrors = 0;
int recordXError(Display * /*display*/, XErrorEvent * /*event*/)
{
    ++g_xErrors;
    return 0;
}

} // namespace

void stopProcess(QProcess &process)
{
    if (process.state() == QProcess::NotRunning) {
        return;
    }
    process.terminate();
    if (!process.waitForFinished(
            static_cast<int>(std::chrono::milliseconds(kStopDeadline).count()))) {
        process.kill();
        process.waitForFinished();
    }
}

bool isAddressText(const QByteArray &text)
{
    static const QRegularExpression address(QStringLiteral("\\A[0-9A-F]{2}(-[0-9A-F]{2}){5}\\z"));
    return text.size() == kAddressLength && address.match(QString::fromLatin1(text)).hasMatch();
}

XSession::XSession(QSize screen)
{
    if (!m_work.isValid()) {
        m_error = QStringLiteral("cannot create a temporary folder: %1").arg(m_work.errorString());
        return;
    }
    // -displayfd makes the server choose a free display itself and report it
    // on stdout once it accepts connections: no guessing, no race with others.
    m_server.setStandardErrorFile(m_work.filePath(QStringLiteral("xvfb.log")));
    m_server.start(
        QStringLiteral("Xvfb"),
        {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
         QStringLiteral("0"),
         QStringLiteral("%1x%2x%3").arg(screen.width()).arg(screen.height()).arg(kScreenDepth),
         QStringLiteral("-nolisten"), QStringLiteral("tcp"), QStringLiteral("-noreset")});
    if (!m_server.waitForStarted()) {
        m_error = QStringLiteral("cannot start Xvfb: %1").arg(m_server.errorString());
        return;
    }
    const QDeadlineTimer deadline(kServerStartDeadline);
    QByteArray announced;
    while (!announced.contains('\n') && !deadline.hasExpired() &&
           m_server.state() == QProcess::Running) {
        m_server.waitForReadyRead(static_cast<int>(kPollInterval.count()));
        announced += m_server.readAllStandardOutput();
    }
    bool ok = false;
    const int number = announced.trimmed().toInt(&ok);
    if (!ok || !announced.contains('\n')) {
        QFile log(m_work.filePath(QStringLiteral("xvfb.log")));
        log.open(QIODevice::ReadOnly);
        m_error = QStringLiteral("Xvfb announced no display: %1")
                      .arg(QString::fromLocal8Bit(log.readAll()));
        stopProcess(m_server);
        return;
    }
    m_displayNumber = number;
}

XSession::~XSession()
{
    for (const auto &program : m_programs) {
        stopProcess(*program);
    }
    for (const auto &owner : m_clipboardOwners) {
        stopProcess(*owner);
    }
    stopProcess(m_server);
}

QProcessEnvironment XSession::toolEnvironment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.insert(QStringLiteral("DISPLAY"), display());
    return environment;
}

QProcessEnvironment XSession::programEnvironment() const
{
    QProcessEnvironment environment = toolEnvironment();
    // Qt wants a private (0700) runtime folder and complains without one.
    const QString runtime = m_work.filePath(QStringLiteral("runtime"));
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    return environment;
}

QProcess *XSession::startProgram(const QString &program, const QStringList &arguments,
                                 const QProcessEnvironment &environment,
                                 const QString &workingDirectory)
{
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(environment);
    process->setWorkingDirectory(workingDirectory);
    process->start(program, arguments);
    if (!process->waitForStarted()) {
        m_error = QStringLiteral("cannot start %1: %2").arg(program, process->errorString());
        return nullptr;
    }
    m_programs.push_back(std::move(process));
    return m_programs.back().get();
}

CommandResult XSession::run(const QString &program, const QStringList &arguments,
                            std::chrono::milliseconds deadline) const
{
    return runIn(toolEnvironment(), program, arguments, deadline);
}

CommandResult XSession::runIn(const QProcessEnvironment &environment, const QString &program,
                              const QStringList &arguments, std::chrono::milliseconds deadline,
                              const QString &workingDirectory)
{
    CommandResult result;
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(workingDirectory);
    process.start(program, arguments);
    if (!process.waitForStarted()) {
        result.standardError = process.errorString().toLocal8Bit();
        return result;
    }
    process.closeWriteChannel();
    result.finished = process.waitForFinished(static_cast<int>(deadline.count()));
    if (!result.finished) {
        process.kill();
        process.waitForFinished();
    }
    result.crashed = process.exitStatus() == QProcess::CrashExit;
    result.exitCode = process.exitCode();
    result.standardOutput = process.readAllStandardOutput();
    result.standardError = process.readAllStandardError();
    return result;
}

QProcess *XSession::startHexlark()
{
    return startProgram(QStringLiteral(HEXLARK_BINARY), {}, programEnvironment());
}

QString XSession::waitForHexlarkWindow(QProcess &program)
{
    const QString window = waitForWindow(kHexlarkWindowName, program.processId());
    if (window.isEmpty()) {
        m_error = QStringLiteral("no Hexlark window appeared: ") +
                  QString::fromLocal8Bit(program.readAllStandardError());
    }
    return window;
}

QString XSession::waitForWindow(const QString &namePattern, qint64 pid) const
{
    QStringList arguments{QStringLiteral("search"), QStringLiteral("--sync"),
                          QStringLiteral("--onlyvisible")};
    if (pid > 0) {
        arguments << QStringLiteral("--all") << QStringLiteral("--pid") << QString::number(pid);
    }
    arguments << QStringLiteral("--name") << namePattern;
    const CommandResult found = run(QStringLiteral("xdotool"), arguments, kWindowDeadline);
    if (!found.succeeded()) {
        return {};
    }
    const QList<QByteArray> lines = found.standardOutput.trimmed().split('\n');
    return lines.size() == 1 ? QString::fromLatin1(lines.front().trimmed()) : QString();
}

bool XSession::focus(const QString &window) const
{
    // No window manager runs here, so focus has to be given explicitly.
    return run(QStringLiteral("xdotool"),
               {QStringLiteral("windowfocus"), QStringLiteral("--sync"), window})
        .succeeded();
}

bool XSession::pressKeys(const QStringList &chords) const
{
    return run(QStringLiteral("xdotool"), QStringList{QStringLiteral("key")} + chords).succeeded();
}

std::optional<QByteArray> XSession::readClipboard() const
{
    const CommandResult read =
        run(QStringLiteral("xclip"),
            {QStringLiteral("-o"), QStringLiteral("-selection"), QStringLiteral("clipboard")});
    if (!read.succeeded()) {
        return std::nullopt;
    }
    return read.standardOutput;
}

bool XSession::claimClipboard(const QByteArray &text)
{
    // xclip -quiet stays in the foreground, serves the text until another
    // client takes the clipboard over, and then ends by itself.
    auto owner = std::make_unique<QProcess>();
    owner->setProcessEnvironment(toolEnvironment());
    owner->setStandardOutputFile(QProcess::nullDevice());
    owner->start(QStringLiteral("xclip"),
                 {QStringLiteral("-quiet"), QStringLiteral("-i"), QStringLiteral("-selection"),
                  QStringLiteral("clipboard")});
    if (!owner->waitForStarted()) {
        return false;
    }
    // Without an event loop, written data only leaves when waited for.
    owner->write(text);
    owner->waitForBytesWritten();
    owner->closeWriteChannel();
    m_clipboardOwners.push_back(std::move(owner));
    const QDeadlineTimer deadline(kClipboardDeadline);
    while (!deadline.hasExpired()) {
        if (readClipboard() == text) {
            return true;
        }
        QThread::msleep(static_cast<unsigned long>(kPollInterval.count()));
    }
    return false;
}

std::optional<QByteArray> XSession::waitForClipboardOtherThan(const QByteArray &text) const
{
    // Between clearing and filling, the clipboard may briefly have no owner;
    // the read fails then and is simply tried again.
    const QDeadlineTimer deadline(kClipboardDeadline);
    while (!deadline.hasExpired()) {
        const std::optional<QByteArray> held = readClipboard();
        if (held && *held != text) {
            return held;
        }
        QThread::msleep(static_cast<unsigned long>(kPollInterval.count()));
    }
    return std::nullopt;
}

std::optional<QByteArray> XSession::pressAndReadClipboard(const QString &window,
                                                          const QStringList &chords)
{
    // A marker text first: the copy is seen once the clipboard no longer
    // holds it, even when the program copies the same address as before.
    const QByteArray marker = QByteArrayLiteral("e2e-marker-") + QByteArray::number(++m_claims);
    if (!claimClipboard(marker) || !focus(window) || !pressKeys(chords)) {
        return std::nullopt;
    }
    return waitForClipboardOtherThan(marker);
}

std::optional<QRect> XSession::windowGeometry(const QString &window) const
{
    const CommandResult info = run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), window});
    if (!info.succeeded()) {
        return std::nullopt;
    }
    const QString text = QString::fromLocal8Bit(info.standardOutput);
    const QRect geometry(geometryField(text, "Absolute upper-left X"),
                         geometryField(text, "Absolute upper-left Y"), geometryField(text, "Width"),
                         geometryField(text, "Height"));
    if (geometry.width() <= 0 || geometry.height() <= 0) {
        return std::nullopt;
    }
    return geometry;
}

std::optional<QSize> XSession::screenSize() const
{
    const CommandResult info = run(QStringLiteral("xwininfo"), {QStringLiteral("-root")});
    if (!info.succeeded()) {
        return std::nullopt;
    }
    const QString text = QString::fromLocal8Bit(info.standardOutput);
    return QSize(geometryField(text, "Width"), geometryField(text, "Height"));
}

std::optional<QString> XSession::windowName(const QString &window) const
{
    const CommandResult property =
        run(QStringLiteral("xprop"), {QStringLiteral("-id"), window, QStringLiteral("WM_NAME")});
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("^WM_NAME\\([A-Z_0-9]+\\) = \"(.*)\"$"))
            .match(QString::fromUtf8(property.standardOutput.trimmed()));
    if (!property.succeeded() || !match.hasMatch()) {
        return std::nullopt;
    }
    return match.captured(1);
}

QImage XSession::screenshot(const QString &window) const
{
    const CommandResult shot =
        run(QStringLiteral("import"), {QStringLiteral("-window"), window, QStringLiteral("png:-")});
    if (!shot.succeeded()) {
        return {};
    }
    return QImage::fromData(shot.standardOutput, "PNG").convertToFormat(QImage::Format_RGB32);
}

QImage XSession::settledScreenshot(const QString &window) const
{
    // A window that is mapped may not be painted yet; Qt paints all of it in
    // one go, so a picture that is not one flat colour and repeats is final.
    const QDeadlineTimer deadline(kWindowDeadline);
    QImage previous;
    while (!deadline.hasExpired()) {
        QImage current = screenshot(window);
        bool oneColour = !current.isNull();
        for (int y = 0; oneColour && y < current.height(); ++y) {
            for (int x = 0; oneColour && x < current.width(); ++x) {
                oneColour = current.pixel(x, y) == current.pixel(0, 0);
            }
        }
        if (!current.isNull() && !oneColour && current == previous) {
            return current;
        }
        previous = std::move(current);
        QThread::msleep(static_cast<unsigned long>(kSettleInterval.count()));
    }
    return {};
}

bool XSession::requestClose(const QString &window) const
{
    bool ok = false;
    const Window id = window.toULong(&ok);
    if (!ok) {
        return false;
    }
    Display *connection = XOpenDisplay(display().toLocal8Bit().constData());
    if (connection == nullptr) {
        return false;
    }
    const auto previousHandler = XSetErrorHandler(recordXError);
    g_xErrors = 0;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = id;
    event.xclient.message_type = XInternAtom(connection, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(connection, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    const Status sent = XSendEvent(connection, id, False, NoEventMask, &event);
    XSync(connection, False);
    XSetErrorHandler(previousHandler);
    XCloseDisplay(connection);
    return sent != 0 && g_xErrors == 0;
}

void XSession::killServer()
{
    // The socket file it leaves behind is harmless: a server started with
    // -displayfd claims a display by its abstract socket and replaces the file.
    m_server.kill();
    m_server.waitForFinished();
}

bool XSession::waitForExit(QProcess &process, std::chrono::milliseconds deadline)
{
    return process.state() == QProcess::NotRunning ||
           process.waitForFinished(static_cast<int>(deadline.count()));
}

} // namespace hexlark::e2e
