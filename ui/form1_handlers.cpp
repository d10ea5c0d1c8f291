#include "form1_handlers.h"

#include "clipboard.h"
#include "error_path.h"
#include "generate_address.h"
#include "message_box.h"
#include "text_box.h"
#include "version.h"

#include <exception>

namespace hexlark {

Form1Handlers::Form1Handlers(RandomSource &random, TextBox &text1, Clipboard &clipboard,
                             MessageBox &messages, ErrorPath &errors)
    : m_random(random), m_text1(text1), m_clipboard(clipboard), m_messages(messages),
      m_errors(errors)
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
    } catch (const std::exception &error) {
        fail(error.what());
    } catch (...) {
        fail("unknown error");
    }
    m_running = false;
}

void Form1Handlers::fail(const std::string &what)
{
    m_failed = true;
    m_errors.fail(what);
}

void Form1Handlers::generate()
{
    if (!m_text1.setText(GenerateAddress(m_random))) {
        fail("cannot show the new address");
    }
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

void Form1Handlers::command1Click()
{
    dispatch([this] { generate(); });
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
