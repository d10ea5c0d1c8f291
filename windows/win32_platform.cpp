#include "win32_platform.h"

#include "version.h"
#include "wide_text.h"

#include <cstring>
#include <exception>

namespace hexlark {
namespace {

// Open, act, close: the clipboard is the system's, so it is held no longer
// than one operation, and a close that fails counts as a failure too.
template <typename Action> bool withClipboard(HWND owner, Action action)
{
    if (!OpenClipboard(owner)) {
        return false;
    }
    const bool done = action();
    return CloseClipboard() != FALSE && done;
}

} // namespace

std::string Win32TextBox::text() const
{
    const int length = GetWindowTextLengthW(m_edit);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(m_edit, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(copied));
    return narrow(text);
}

bool Win32TextBox::setText(const std::string &text)
{
    const std::wstring wide = widen(text);
    if (!SetWindowTextW(m_edit, wide.c_str())) {
        return false;
    }
    return this->text() == text;
}

bool Win32TextBox::lock()
{
    if (SendMessageW(m_edit, EM_SETREADONLY, TRUE, 0) == 0) {
        return false;
    }
    return (GetWindowLongPtrW(m_edit, GWL_STYLE) & ES_READONLY) != 0;
}

bool Win32Clipboard::clear()
{
    return withClipboard(m_owner, [] { return EmptyClipboard() != FALSE; });
}

bool Win32Clipboard::setText(const std::string &text)
{
    const std::wstring wide = widen(text);
    const std::size_t bytes = (wide.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (memory == nullptr) {
        return false;
    }
    void *target = GlobalLock(memory);
    if (target == nullptr) {
        GlobalFree(memory);
        return false;
    }
    std::memcpy(target, wide.c_str(), bytes);
    GlobalUnlock(memory);
    bool handedOver = false;
    const bool placed = withClipboard(m_owner, [memory, &handedOver] {
        handedOver = EmptyClipboard() && SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
        return handedOver;
    });
    if (!handedOver) {
        GlobalFree(memory); // once placed, the memory belongs to the system
    }
    return placed;
}

void Win32Pause::wait(std::chrono::milliseconds span)
{
    const ULONGLONG until = GetTickCount64() + static_cast<ULONGLONG>(span.count());
    for (ULONGLONG now = GetTickCount64(); now < until; now = GetTickCount64()) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(until - now), QS_PAINT);
        MSG message{};
        while (PeekMessageW(&message, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) {
            DispatchMessageW(&message);
        }
    }
}

void Win32MessageBox::show(const std::string &message, const std::string &title)
{
    // Which button closed the box does not matter.
    MessageBoxW(m_owner, widen(message).c_str(), widen(title).c_str(), MB_OK | MB_APPLMODAL);
}

void Win32ErrorPath::fail(const std::string &what)
{
    std::wstring text;
    try {
        text = widen(failureLine(what));
    } catch (const std::exception &) {
        text = L"The program failed.";
    }
    // Task-modal: no window of the program takes input while the box is up.
    MessageBoxW(nullptr, text.c_str(), widen(kProductName).c_str(),
                MB_OK | MB_ICONERROR | MB_TASKMODAL);
    // Ends at once, running no handler or destructor of a program in an unknown
    // state; ExitProcess is only the compiler's proof that nothing follows.
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(kFailureStatus));
    ExitProcess(static_cast<UINT>(kFailureStatus));
}

} // namespace hexlark
