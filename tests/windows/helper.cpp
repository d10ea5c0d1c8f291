// A second Windows program beside Hexlark under Wine, saying what it sees a line
// each, its fields apart by tabs.
//   helper hold MS: holds the clipboard open for MS ms, as clipboard histories
//     and password managers do; half way through it asks Hexlark's window to
//     repaint and says whether it did so while it waited.
//   helper read MS: reads Hexlark's front window as a screen reader does, a
//     control a line, through MSAA (name, state, keyboard shortcut, value); the
//     window's handle and frame, and the owners of the clipboard and of the
//     About box; then for MS ms each live-region event of Hexlark's, with its
//     object's name and value.
//   helper between MS: owns the clipboard with a format of its own; when
//     Hexlark empties it, puts that format back as soon as it may and says
//     whether that came before Hexlark's text ("between") or after it; after
//     MS ms says whether the format is still there beside the text.
#include <windows.h>

#include <oleacc.h>

#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace {

UINT g_own = 0;
HWND g_owner = nullptr;

void openClipboard(HWND owner)
{
    while (!OpenClipboard(owner)) {
    }
}

// The helper soon ends: what MSAA hands it is not freed.
void describe(const char *kind, HWND window, LONG id, LONG child)
{
    IAccessible *object = nullptr;
    VARIANT which{}, state{};
    BSTR name = nullptr, shortcut = nullptr, value = nullptr;
    if (FAILED(AccessibleObjectFromEvent(window, id, child, &object, &which))) {
        return;
    }
    object->get_accName(which, &name);
    object->get_accState(which, &state);
    object->get_accKeyboardShortcut(which, &shortcut);
    object->get_accValue(which, &value);
    const auto text = [](BSTR text) { return text ? text : L""; };
    std::printf("%s\t%ls\t%#lx\t%ls\t%ls\n", kind, text(name), state.lVal, text(shortcut),
                text(value));
}

void CALLBACK event(HWINEVENTHOOK, DWORD, HWND window, LONG id, LONG child, DWORD, DWORD)
{
    describe("live", window, id, child);
}

// Puts the helper's own format on the clipboard: at first, or as soon as Hexlark
// lets the clipboard go after emptying it.
DWORD WINAPI own(LPVOID emptied)
{
    openClipboard(g_owner);
    const bool after = IsClipboardFormatAvailable(CF_UNICODETEXT);
    std::puts(emptied == nullptr ? "owning" : (after ? "after" : "between"));
    EmptyClipboard();
    SetClipboardData(g_own, GlobalAlloc(GMEM_MOVEABLE, 1));
    return CloseClipboard();
}

LRESULT CALLBACK owner(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    static bool emptied = false;
    if (message == WM_DESTROYCLIPBOARD && !emptied) {
        emptied = true; // by Hexlark's clear, which waits for this to return
        CloseHandle(CreateThread(nullptr, 0, own, &emptied, 0, nullptr));
        Sleep(50); // the thread already trying when Hexlark lets the clipboard go
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void dispatchFor(int ms)
{
    SetTimer(nullptr, 0, static_cast<UINT>(ms), nullptr);
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0 && message.message != WM_TIMER) {
        DispatchMessageW(&message);
    }
}

} // namespace

int main(int argc, char *argv[])
{
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    const std::string_view mode = argc == 3 ? argv[1] : "";
    const int ms = argc == 3 ? std::atoi(argv[2]) : 0;
    const HWND hexlark = FindWindowW(nullptr, L"Hexlark");
    if (mode == "hold") {
        openClipboard(nullptr);
        std::puts("holding");
        Sleep(ms / 2);
        InvalidateRect(hexlark, nullptr, TRUE);
        Sleep(ms / 4);
        std::puts(GetUpdateRect(hexlark, nullptr, FALSE) ? "unpainted" : "painted");
        Sleep(ms / 4);
        return !CloseClipboard();
    }
    if (mode == "read") {
        CoInitialize(nullptr);
        for (HWND control = GetWindow(hexlark, GW_CHILD); control != nullptr;
             control = GetWindow(control, GW_HWNDNEXT)) {
            if (IsWindowVisible(control)) {
                describe("control", control, OBJID_CLIENT, CHILDID_SELF);
            }
        }
        RECT frame{};
        GetWindowRect(hexlark, &frame);
        std::printf("window\t%p\t%ld\t%ld\t%ld\t%ld\nclipboard\t%p\nabout\t%p\n",
                    static_cast<void *>(hexlark), frame.left, frame.top, frame.right, frame.bottom,
                    static_cast<void *>(GetClipboardOwner()),
                    static_cast<void *>(GetWindow(FindWindowW(nullptr, L"About"), GW_OWNER)));
        DWORD process = 0;
        GetWindowThreadProcessId(hexlark, &process);
        SetWinEventHook(EVENT_OBJECT_LIVEREGIONCHANGED, EVENT_OBJECT_LIVEREGIONCHANGED, nullptr,
                        event, process, 0, WINEVENT_OUTOFCONTEXT);
        std::puts("listening");
        dispatchFor(ms);
        return 0;
    }
    if (mode == "between") {
        WNDCLASSW ownerClass{};
        ownerClass.lpfnWndProc = owner;
        ownerClass.lpszClassName = L"helper";
        RegisterClassW(&ownerClass);
        g_owner =
            CreateWindowW(L"helper", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        g_own = RegisterClipboardFormatW(L"Hexlark helper");
        own(nullptr);
        dispatchFor(ms);
        openClipboard(g_owner);
        std::puts(IsClipboardFormatAvailable(g_own) ? "beside" : "alone");
        return !CloseClipboard();
    }
    return 2;
}
