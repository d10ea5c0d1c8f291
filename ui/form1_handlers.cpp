#include "form1_handlers.h"

#include "error_path.h"
#include "generate_address.h"
#include "message_box.h"
#include "screen_reader.h"
#include "text_box.h"
#include "version.h"

#include <exception>
#include <utility>

namespace hexlark {

Form1Handlers::Form1Handlers(const Platform &platform, TextBox &text1, ScreenReader &reader)
    : m_random(platform.random), m_text1(text1), m_clipboard(platform.clipboard, platform.pause),
      m_messages(platform.messages), m_reader(reader), m_errors(platform.errors)
{}

template <typename Step> void Form1Handlers::dispatch(Step step)
{
    if (m_running || m_failed) {
        return;
    }
    m_running = true;
    // An exception must not unwind through the toolkit's event loop: it ends
    // here, at the handler's edge, on the error path.
    try {
        step();
    } catch (...) {
        fail(describe(std::current_exception()));
    }
    m_running = false;
}

void Form1Handlers::fail(const std::string &what)
{
    m_failed = true;
    m_errors.fail(what);
}

bool Form1Handlers::generate()
{
    if (!m_text1.setText(GenerateAddress(m_random))) {
        fail("cannot show the new address");
        return false;
    }
    return true;
}

void Form1Handlers::load()
{
    dispatch([this] {
        if (!m_text1.lock()) {
            fail("cannot make the address box read-only");
            return;
        }
        generate();
    });
}

void Form1Handlers::click(std::string_view control)
{
    static constexpr std::pair<std::string_view, void (Form1Handlers::*)()> kClickHandlers[]{
        {"Command1", &Form1Handlers::command1Click},
        {"Command2", &Form1Handlers::command2Click},
        {"Command3", &Form1Handlers::command3Click}};
    for (const auto &[name, handler] : kClickHandlers) {
        if (name == control) {
            (this->*handler)();
        }
    }
}

void Form1Handlers::command1Click()
{
    dispatch([this] {
        // The first address is read with the box it stands in; each later one
        // is told, since the focus is then on a button.
        if (generate()) {
            m_reader.tellNewAddress(m_text1.text());
        }
    });
}

void Form1Handlers::command2Click()
{
    dispatch([this] {
        m_messages.show(std::string(kProductName) + " v" + kShortVersion + ", by " + kAuthor,
                        "About");
    });
}

void Form1Handlers::command3Click()
{
    dispatch([this] {
        if (!m_clipboard.clear()) {
            fail("cannot clear the clipboard");
            return;
        }
        if (!m_clipboard.setText(m_text1.text())) {
            fail("cannot put the address on the clipboard");
        }
    });
}

} // namespace hexlark
