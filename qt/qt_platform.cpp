#include "qt_platform.h"

#include <QApplication>
#include <QClipboard>
#include <QEventLoop>
#include <QIcon>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <utility>

namespace hexlark {
namespace {

constexpr int kFailureStatus = 1;
constexpr const char *kProgramName = "hexlark";

ErrorPath *g_uncaughtErrors = nullptr;
QtMessageHandler g_toolkitMessages = nullptr;
// While the toolkit starts: the display it starts on, and its held warnings.
bool g_starting = false;
std::string g_display;
QStringList g_heldMessages;

QString toQString(const std::string &text)
{
    return QString::fromStdString(text);
}

QClipboard *systemClipboard()
{
    return qobject_cast<QGuiApplication *>(QCoreApplication::instance()) != nullptr
               ? QGuiApplication::clipboard()
               : nullptr;
}

bool canShowWindows()
{
    return qobject_cast<QApplication *>(QCoreApplication::instance()) != nullptr;
}

void onToolkitMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type != QtFatalMsg) {
        if (g_starting) {
            g_heldMessages.append(qFormatLogMessage(type, context, message));
        } else {
            g_toolkitMessages(type, context, message);
        }
        return;
    }
    if (g_starting) {
        std::fprintf(stderr, "%s: cannot reach the display (%s)\n", kProgramName,
                     g_display.c_str());
        std::fflush(stderr);
        std::_Exit(kNoDisplayStatus);
    }
    // No window can be trusted here: the toolkit itself has given up.
    std::fprintf(stderr, "%s: %s\n", kProgramName, message.toLocal8Bit().constData());
    std::fflush(stderr);
    std::_Exit(kFailureStatus);
}

std::string describeCurrentException()
{
    try {
        const std::exception_ptr current = std::current_exception();
        if (current) {
            std::rethrow_exception(current);
        }
    } catch (const std::exception &error) {
        return error.what();
    } catch (...) {
        return "unknown error";
    }
    return "terminated without an exception";
}

[[noreturn]] void onTerminate()
{
    const std::string what = describeCurrentException();
    if (g_uncaughtErrors != nullptr) {
        g_uncaughtErrors->fail(what);
    }
    std::_Exit(kFailureStatus);
}

} // namespace

std::string QtTextBox::text() const
{
    return m_box.text().toStdString();
}

bool QtTextBox::setText(const std::string &text)
{
    const QString wanted = toQString(text);
    m_box.setText(wanted);
    return m_box.text() == wanted;
}

bool QtTextBox::lock()
{
    m_box.setReadOnly(true);
    return m_box.isReadOnly();
}

bool QtClipboard::clear()
{
    QClipboard *clipboard = systemClipboard();
    if (clipboard == nullptr) {
        return false;
    }
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
        // A Wayland compositor may keep the last text and offer it again the
        // moment it is let go of, and takes an offer of nothing badly: the
        // clipboard is cleared once it holds nothing of this program's.
        clipboard->clear(QClipboard::Clipboard);
        return !clipboard->ownsClipboard();
    }
    // Emptied by taking it over with nothing on it rather than by letting it
    // go: an ownerless clipboard is what a clipboard manager refills with its
    // own saved copy.
    clipboard->setMimeData(new QMimeData, QClipboard::Clipboard);
    const QMimeData *held = clipboard->mimeData(QClipboard::Clipboard);
    return held != nullptr && held->formats().isEmpty();
}

bool QtClipboard::setText(const std::string &text)
{
    QClipboard *clipboard = systemClipboard();
    if (clipboard == nullptr) {
        return false;
    }
    // A bare text/plain entry: setText() would add nothing else either, but
    // saying it here keeps rich or URL formats off the clipboard for sure.
    const QString wanted = toQString(text);
    auto *data = new QMimeData;
    data->setText(wanted);
    clipboard->setMimeData(data, QClipboard::Clipboard);
    const QMimeData *held = clipboard->mimeData(QClipboard::Clipboard);
    return held != nullptr && held->hasText() && held->text() == wanted;
}

void QtPause::wait(std::chrono::milliseconds span)
{
    QEventLoop loop;
    QTimer::singleShot(span, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

void QtMessageBox::show(const std::string &message, const std::string &title)
{
    QMessageBox box(QMessageBox::NoIcon, toQString(title), toQString(message), QMessageBox::Ok,
                    QApplication::activeWindow());
    box.setWindowModality(Qt::ApplicationModal);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Ok);
    // Desktops whose dialog buttons carry icons would put a stock one on OK.
    box.button(QMessageBox::Ok)->setIcon(QIcon());
    box.exec();
}

void QtErrorPath::fail(const std::string &what)
{
    const std::string line = std::string(kProgramName) + ": " + what;
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
    if (canShowWindows()) {
        QMessageBox box(QMessageBox::Critical, QCoreApplication::applicationName(), toQString(line),
                        QMessageBox::Ok);
        box.setWindowModality(Qt::ApplicationModal);
        box.exec();
    }
    std::_Exit(kFailureStatus);
}

void installToolkitMessageHandler(const std::string &display)
{
    g_display = display;
    g_starting = true;
    g_toolkitMessages = qInstallMessageHandler(onToolkitMessage);
}

void toolkitStarted()
{
    g_starting = false;
    for (const QString &held : std::as_const(g_heldMessages)) {
        std::fprintf(stderr, "%s\n", held.toLocal8Bit().constData());
    }
    g_heldMessages.clear();
}

void installUncaughtErrorHandler(ErrorPath &errors)
{
    g_uncaughtErrors = &errors;
    std::set_terminate(onTerminate);
}

} // namespace hexlark
