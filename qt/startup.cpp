#include "startup.h"

#include "clock.h"
#include "error_path.h"
#include "form1.h"
#include "platform.h"
#include "qt_platform.h"
#include "random_source.h"
#include "toolkit_messages.h"
#include "version.h"

#include <QApplication>

#include <cstdlib>
#include <exception>
#include <string>

namespace hexlark {

int run(int argc, char *argv[])
{
    const std::string display = namedDisplay(argc, argv);
    // Qt aborts with a core dump when nothing names a display; say so plainly instead.
    if (display.empty()) {
        endWithFailure("no display to show the window on "
                       "(neither DISPLAY nor WAYLAND_DISPLAY is set)",
                       kNoDisplayStatus);
    }

    holdToolkitMessages(display);
    QApplication::setApplicationName(QLatin1String(kProductName));
    QApplication::setApplicationVersion(QLatin1String(kDisplayVersion));
    QApplication::setOrganizationName(QLatin1String(kOrganisation));
    QApplication::setDesktopFileName(QLatin1String(kDesktopFileName));
    QApplication app(argc, argv);
    toolkitStarted();

    static QtErrorPath errors;
    sendUncaughtErrorsTo(errors);
    try {
        SystemClock clock;
        ChaChaRandomSource random(readEntropySeed(), clock);
        QtClipboard clipboard;
        QtPause pause;
        QtMessageBox messages;
        Form1 window(Platform{random, clipboard, pause, messages, errors});
        window.show();
        const int status = QApplication::exec();
        // Qt 6.4's Wayland client can deadlock joining its event thread as the
        // application is torn down, leaving the process behind its closed
        // window. On Wayland nothing outlives the connection, so leave at once.
        if (onWayland()) {
            std::fflush(nullptr);
            std::_Exit(status);
        }
        return status;
    } catch (const std::exception &error) {
        errors.fail(error.what());
    }
}

} // namespace hexlark
