// A second Windows program beside Hexlark under Wine. With three numbers it
// holds the clipboard open for HOLD ms of every PERIOD ms, CYCLES times, as
// clipboard histories and password managers do; with none, it names the
// buttons of Hexlark's window that are default buttons, as a screen reader
// learns it from their style.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char *argv[])
{
    if (argc == 4) {
        const int hold = std::atoi(argv[1]);
        const int period = std::atoi(argv[2]);
        for (int cycle = std::atoi(argv[3]); cycle > 0; --cycle) {
            while (!OpenClipboard(nullptr)) {
                Sleep(1);
            }
            std::puts("holding");
            std::fflush(stdout);
            Sleep(hold);
            CloseClipboard();
            Sleep(period - hold);
        }
        return 0;
    }
    HWND form = FindWindowW(nullptr, L"Hexlark");
    for (HWND child = GetWindow(form, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t kind[16] = L"";
        wchar_t caption[32] = L"";
        GetClassNameW(child, kind, 16);
        GetWindowTextW(child, caption, 32);
        if (lstrcmpiW(kind, L"Button") == 0 &&
            (GetWindowLongW(child, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON) {
            std::printf("%ls\n", caption);
        }
    }
    return form != nullptr ? 0 : 1;
}
