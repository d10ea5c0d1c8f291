#include "error_path.h"

#include <QApplication>
#include <QMessageBox>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <exception>

namespace hexlark {
namespace {

constexpr int kFailureStatus = 1;
constexpr const char *kProgramName = "hexlark";

ErrorPath *g_uncaughtErrors = nullptr;
QtMessageHandler g_toolkitMessages = nullptr;

void onToolkitMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type != QtFatalMsg) {
        g_toolkitMessages(type, context, message);
        return;
    }
    // No window can be trusted here: the toolkit itself has given up.
    std::fprintf(stderr, "%s: %s\n", kProgramName, message.toLocal8Bit().constData());
    std::fflush(stderr);
    std::_Exit(kFailureStatus);
}

QString describeCurrentException()
{
    try {
        const std::exception_ptr current = std::current_exception();
        if (current) {
            std::rethrow_exception(current);
        }
    } catch (const std::exception &error) {
        return QString::fromLocal8Bit(error.what());
    } catch (...) {
        return QStringLiteral("unknown error");
    }
    return QStringLiteral("terminated without an exception");
}

[[noreturn]] void onTerminate()
{
    const QString what = describeCurrentException();
    if (g_uncaughtErrors != nullptr) {
        g_uncaughtErrors->fail(what);
    }
    std::_Exit(kFailureStatus);
}

bool canShowWindows()
{
    return qobject_cast<QApplication *>(QCoreApplication::instance()) != nullptr;
}

} // namespace

void FatalErrorPath::fail(const QString &what)
{
    const QString line = QStringLiteral("%1: %2").arg(QLatin1String(kProgramName), what);
    std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
    if (canShowWindows()) {
        QMessageBox box(QMessageBox::Critical, QCoreApplication::applicationName(), line,
                        QMessageBox::Ok);
        box.setWindowModality(Qt::ApplicationModal);
        box.exec();
    }
    std::_Exit(kFailureStatus);
}

void installToolkitFatalHandler()
{
    g_toolkitMessages = qInstallMessageHandler(onToolkitMessage);
}

void installUncaughtErrorHandler(ErrorPath &errors)
{
    g_uncaughtErrors = &errors;
    std::set_terminate(onTerminate);
}

} // namespace hexlark
