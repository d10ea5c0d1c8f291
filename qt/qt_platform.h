#pragma once

#include "clipboard.h"
#include "error_path.h"
#include "message_box.h"
#include "pause.h"
#include "text_box.h"

#include <string_view>

class QLineEdit;
class QString;

namespace hexlark {

// The program's texts are UTF-8.
QString toQString(std::string_view text);

// Whether the program shows itself on Wayland rather than X11.
bool onWayland();

// The platform operations on Qt Widgets.

class QtTextBox final : public TextBox
{
public:
    explicit QtTextBox(QLineEdit &box) : m_box(box) {}
    std::string text() const override;
    bool setText(const std::string &text) override;
    bool lock() override;

private:
    QLineEdit &m_box;
};

class QtClipboard final : public Clipboard
{
public:
    bool clear() override;
    bool setText(const std::string &text) override;
};

// Runs the event loop for the span, input left for later: the window keeps
// drawing itself, and no handler starts inside the one that waits.
class QtPause final : public Pause
{
public:
    void wait(std::chrono::milliseconds span) override;
};

class QtMessageBox final : public MessageBox
{
public:
    void show(const std::string &message, const std::string &title) override;
};

// Writes "hexlark: <what>" to stderr, shows the same line in one message box
// when a window can be shown, and ends the process with a non-zero status at
// once: no destructors, no handing over of the clipboard, nothing more.
class QtErrorPath final : public ErrorPath
{
public:
    [[noreturn]] void fail(const std::string &what) override;
};

} // namespace hexlark
