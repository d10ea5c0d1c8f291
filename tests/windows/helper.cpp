// A second Windows program beside Hexlark under Wine: it holds the clipboard
// open for HOLD ms of every PERIOD ms, CYCLES times, as clipboard histories
// and password managers do.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char *argv[])
{
    if (argc != 4) {
        return 2;
    }
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
