#pragma once

#include <string>
#include <string_view>

namespace hexlark {

class Clipboard;
class ErrorPath;
class MessageBox;
class RandomSource;
class ScreenReader;
class TextBox;

// What the window does, whatever toolkit draws it: the load handler of Form1
// and the click handlers of its three buttons.
//
// One handler runs at a time, to its end: a click that arrives while another
// handler or its modal box is running is dropped, as a key pressed while a
// modal box is up goes to the box. A failure, whether an operation that
// reports one or an exception leaving a handler, goes to the error path at
// once, and from then on no handler runs.
class Form1Handlers
{
public:
    Form1Handlers(RandomSource &random, TextBox &text1, Clipboard &clipboard, MessageBox &messages,
                  ScreenReader &reader, ErrorPath &errors);

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
    Clipboard &m_clipboard;
    MessageBox &m_messages;
    ScreenReader &m_reader;
    ErrorPath &m_errors;

    bool m_running = false;
    bool m_failed = false;
};

} // namespace hexlark
