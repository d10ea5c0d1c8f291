#include "startup.h"

#include "clock.h"
#include "form1.h"
#include "patient_clipboard.h"
#include "qt_platform.h"
#include "random_source.h"
#include "version.h"

#include <QApplication>
#include <QIcon>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <string_view>

namespace hexlark {
namespace {

constexpr const char *kDisplayVariables[] = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};

bool environmentSet(const char *name)
{
    const char *value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

// The display the toolkit will try, as the user named it.
std::string describeDisplay()
{
    std::string named;
    for (const char *variable : kDisplayVariables) {
        if (environmentSet(variable)) {
            named +=
                (named.empty() ? "" : ", ") + std::string(variable) + "=" + std::getenv(variable);
        }
    }
    return named.empty() ? "named on the command line" : named;
}

// Qt aborts with a core dump when it finds no display; say so plainly instead.
bool displayReachable(int argc, char *argv[])
{
    if (std::ranges::any_of(kDisplayVariables, environmentSet)) {
        return true;
    }
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "-platform" || argument == "--platform" ||
            argument.starts_with("-platform=") || argument.starts_with("--platform=")) {
            return true;
        }
    }
    return false;
}

} // namespace

int run(int argc, char *argv[])
{
    if (!displayReachable(argc, argv)) {
        std::fprintf(stderr, "hexlark: no display to show the window on "
                             "(neither DISPLAY nor WAYLAND_DISPLAY is set)\n");
        return kNoDisplayStatus;
    }

    installToolkitMessageHandler(describeDisplay());
    QApplication::setApplicationName(QLatin1String(kProductName));
    QApplication::setApplicationVersion(QLatin1String(kDisplayVersion));
    QApplication::setOrganizationName(QLatin1String(kOrganisation));
    QApplication::setDesktopFileName(QLatin1String(kDesktopFileName));
    QApplication app(argc, argv);
    toolkitStarted();

    static QtErrorPath errors;
    installUncaughtErrorHandler(errors);
    try {
        SystemClock clock;
        ChaChaRandomSource random(readEntropySeed(), clock);
        QtClipboard clipboard;
        QtPause pause;
        PatientClipboard patientClipboard(clipboard, pause);
        QtMessageBox messages;
        Form1 window(random, patientClipboard, messages, errors);
        window.show();
        const int status = QApplication::exec();
        // Qt 6.4's Wayland client can deadlock joining its event thread as the
        // application is torn down, leaving the process behind its closed
        // window. On Wayland nothing outlives the connection, so leave at once.
        if (QApplication::platformName().startsWith(QLatin1String("wayland"))) {
            std::fflush(nullptr);
            std::_Exit(status);
        }
        return status;
    } catch (const std::exception &error) {
        errors.fail(error.what());
    }
}

} // namespace hexlark
