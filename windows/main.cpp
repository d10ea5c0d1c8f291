#include "clock.h"
#include "error_path.h"
#include "form1_window.h"
#include "random_source.h"
#include "win32.h"
#include "win32_platform.h"

#include <commctrl.h>
#include <objbase.h>

#include <exception>

namespace {

hexlark::Win32ErrorPath g_errors;

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand)
{
    hexlark::sendUncaughtErrorsTo(g_errors);
    try {
        const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES};
        if (!InitCommonControlsEx(&controls)) {
            g_errors.fail("cannot load the common controls");
        }
        // Windows' imaging component, which decodes the heading, is COM.
        if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {
            g_errors.fail("cannot initialise COM");
        }
        const hexlark::SystemClock clock;
        hexlark::ChaChaRandomSource random(hexlark::readEntropySeed(), clock);
        hexlark::Form1Window window(instance, random, g_errors);
        return window.run(showCommand);
    } catch (const std::exception &error) {
        g_errors.fail(error.what());
    }
}
