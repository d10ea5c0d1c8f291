// A second Windows program beside Hexlark under Wine.
//   helper hold MS [paint]: holds the clipboard open for MS ms, as clipboard
//     histories and password managers do; with "paint", it also asks
//     Hexlark's window to repaint half way through and says whether it did so
//     while it waited.
//   helper read MS: reads Hexlark's controls as a screen reader does, through
//     MSAA, a line each (name, role, state, keyboard shortcut, value), then for
//     MS ms each live-region event of Hexlark's with its object's.
//   helper between MS: owns the clipboard with a format of its own; when
//     Hexlark empties it, puts that format back as soon as it may and says
//     whether that came before Hexlark's text ("between") or after it; after
//     MS ms says whether the format is still there beside the text.
#include <windows.h>

#include <oleacc.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

HWND hexlark()
{
    return FindWindowW(nullptr, L"Hexlark");
}

void describe(const char *kind, IAccessible *object, VARIANT child)
{
    BSTR name = nullptr, shortcut = nullptr, value = nullptr;
    VARIANT role{}, state{};
    object->get_accName(child, &name);
    object->get_accKeyboardShortcut(child, &shortcut);
    object->get_accValue(child, &value);
    object->get_accRole(child, &role);
    object->get_accState(child, &state);
    const auto text = [](BSTR text) { return text ? text : L""; };
    std::printf("%s\t%ls\t%ld\t%#lx\t%ls\t%ls\n", kind, text(name), role.lVal, state.lVal,
                text(shortcut), text(value));
    SysFreeString(name);
    SysFreeString(shortcut);
    SysFreeString(value);
    object->Release();
}

BOOL CALLBACK control(HWND window, LPARAM)
{
    IAccessible *object = nullptr;
    VARIANT self{};
    self.vt = VT_I4; // CHILDID_SELF
    if (IsWindowVisible(window) &&
        SUCCEEDED(AccessibleObjectFromWindow(window, OBJID_CLIENT, __uuidof(IAccessible),
                                             reinterpret_cast<void **>(&object)))) {
        describe("control", object, self);
    }
    return TRUE;
}

void CALLBACK event(HWINEVENTHOOK, DWORD, HWND window, LONG id, LONG child, DWORD, DWORD)
{
    IAccessible *object = nullptr;
    VARIANT which{};
    if (SUCCEEDED(AccessibleObjectFromEvent(window, id, child, &object, &which))) {
        describe("live", object, which);
    }
}

UINT g_own = 0;
HWND g_owner = nullptr;

void putOwnFormat()
{
    EmptyClipboard();
    SetClipboardData(g_own, GlobalAlloc(GMEM_MOVEABLE, 1));
}

DWORD WINAPI comeBetween(LPVOID)
{
    while (!OpenClipboard(g_owner)) {
    }
    std::puts(IsClipboardFormatAvailable(CF_UNICODETEXT) ? "after" : "between");
    putOwnFormat();
    CloseClipboard();
    return 0;
}

LRESULT CALLBACK owner(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    static bool emptied = false;
    if (message == WM_DESTROYCLIPBOARD && !emptied) {
        emptied = true; // by Hexlark's clear, which waits for this to return
        CloseHandle(CreateThread(nullptr, 0, comeBetween, nullptr, 0, nullptr));
        Sleep(50); // the thread already trying when Hexlark lets the clipboard go
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

int main(int argc, char *argv[])
{
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    if (argc >= 3 && std::strcmp(argv[1], "hold") == 0) {
        const int hold = std::atoi(argv[2]);
        const bool paint = argc == 4;
        while (!OpenClipboard(nullptr)) {
            Sleep(1);
        }
        std::puts("holding");
        Sleep(paint ? hold / 2 : hold);
        if (paint) {
            InvalidateRect(hexlark(), nullptr, TRUE);
            Sleep(hold / 4);
            std::puts(GetUpdateRect(hexlark(), nullptr, FALSE) ? "unpainted" : "painted");
            Sleep(hold / 4);
        }
        CloseClipboard();
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "read") == 0) {
        CoInitialize(nullptr);
        DWORD process = 0;
        GetWindowThreadProcessId(hexlark(), &process);
        EnumChildWindows(hexlark(), control, 0);
        SetWinEventHook(EVENT_OBJECT_LIVEREGIONCHANGED, EVENT_OBJECT_LIVEREGIONCHANGED, nullptr,
                        event, process, 0, WINEVENT_OUTOFCONTEXT);
        std::puts("listening");
        SetTimer(nullptr, 0, static_cast<UINT>(std::atoi(argv[2])), nullptr);
        MSG message{};
        while (GetMessageW(&message, nullptr, 0, 0) > 0 && message.message != WM_TIMER) {
            DispatchMessageW(&message);
        }
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "between") == 0) {
        WNDCLASSW ownerClass{};
        ownerClass.lpfnWndProc = owner;
        ownerClass.lpszClassName = L"helper";
        RegisterClassW(&ownerClass);
        g_owner =
            CreateWindowW(L"helper", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        g_own = RegisterClipboardFormatW(L"Hexlark helper");
        OpenClipboard(g_owner);
        putOwnFormat();
        CloseClipboard();
        std::puts("owning");
        SetTimer(nullptr, 0, static_cast<UINT>(std::atoi(argv[2])), nullptr);
        MSG message{};
        while (GetMessageW(&message, nullptr, 0, 0) > 0 && message.message != WM_TIMER) {
            DispatchMessageW(&message);
        }
        while (!OpenClipboard(nullptr)) {
            Sleep(1);
        }
        std::puts(IsClipboardFormatAvailable(g_own) ? "beside" : "alone");
        CloseClipboard();
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "look") == 0) {
        const auto handle = [](HWND window) {
            return static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(window));
        };
        RECT frame{};
        GetWindowRect(hexlark(), &frame);
        if (HWND about = FindWindowW(nullptr, L"About")) {
            std::printf("about\t%llx\n", handle(GetWindow(about, GW_OWNER)));
        }
        std::printf("clipboard\t%llx\n", handle(GetClipboardOwner()));
        std::printf("window\t%llx\t%ld\t%ld\t%ld\t%ld\n", handle(hexlark()), frame.left, frame.top,
                    frame.right, frame.bottom);
        return 0;
    }
    return 2;
}
