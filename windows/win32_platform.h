#pragma once

#include "clipboard.h"
#include "error_path.h"
#include "message_box.h"
#include "pause.h"
#include "text_box.h"
#include "win32.h"

namespace hexlark {

// The shared platform operations on Win32 controls. Every operation reports
// whether it took effect, as the handlers' failure rules need.

class Win32TextBox final : public TextBox
{
public:
    explicit Win32TextBox(HWND edit) : m_edit(edit) {}
    std::string text() const override;
    bool setText(const std::string &text) override;
    bool lock() override;

private:
    HWND m_edit = nullptr;
};

// The system clipboard, owned by the program's window once it puts text on
// it: Windows refuses text from a clipboard opened without an owner.
class Win32Clipboard final : public Clipboard
{
public:
    explicit Win32Clipboard(HWND owner) : m_owner(owner) {}
    bool clear() override;
    bool setText(const std::string &text) override;

private:
    HWND m_owner = nullptr;
};

// Waits while the window goes on painting itself; input and every other
// message wait in the queue until the handler is done.
class Win32Pause final : public Pause
{
public:
    void wait(std::chrono::milliseconds span) override;
};

// Owned by the program's window, centred on it and kept in front of it, which
// it keeps from taking input until dismissed.
class Win32MessageBox final : public MessageBox
{
public:
    explicit Win32MessageBox(HWND owner) : m_owner(owner) {}
    void show(const std::string &message, const std::string &title) override;

private:
    HWND m_owner = nullptr;
};

// Shows one box naming the failure, then ends the process at once with a
// non-zero status: no destructors, no further messages, nothing more.
class Win32ErrorPath final : public ErrorPath
{
public:
    [[noreturn]] void fail(const std::string &what) override;
};

} // namespace hexlark
