#pragma once

#include "patient_clipboard.h"
#include "platform.h"

#include <string>
#include <string_view>

namespace hexlark {

class ScreenReader;
class TextBox;

// What the window does, whatever toolkit draws it: the load handler of Form1
// and the click handlers of its three buttons.
//
// One handler runs at a time, to its end: a click that arrives while another
// handler or its modal box is running is dropped, as a key pressed while a
// modal box is up goes to the box. A failure, whether an operation that
// reports one or an exception leaving a handler, goes to the error path at
// once, and from then on no handler runs. A clipboard that another program
// holds for a moment is waited for (PatientClipboard).
class Form1Handlers
{
public:
    // The platform, and what the window makes of its own controls: the
    // address box and the way a screen reader is told of a new address.
    Form1Handlers(const Platform &platform, TextBox &text1, ScreenReader &reader);

    // Locks the address box and shows the first address.
    void load();
    // The click handler of the control of that name in the design, if it has one.
    void click(std::string_view control);
    // Generate: a new address in the box, told to a screen reader.
    void command1Click();
    // About: who made the program.
    void command2Click();
    // Copy: the shown address, and nothing else, onto the clipboard.
    void command3Click();

private:
    template <typename Step> void dispatch(Step step);
    bool generate();
    void fail(const std::string &what);

    RandomSource &m_random;
    TextBox &m_text1;
    PatientClipboard m_clipboard;
    MessageBox &m_messages;
    ScreenReader &m_reader;
    ErrorPath &m_errors;

    bool m_running = false;
    bool m_failed = false;
};

} // namespace hexlark
