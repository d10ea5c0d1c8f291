#pragma once

#include <string>

namespace hexlark {

// A single-line text box as the handlers use it. Each operation reports
// whether it took effect, read back from the box itself.
class TextBox
{
public:
    virtual ~TextBox() = default;
    virtual std::string text() const = 0;
    virtual bool setText(const std::string &text) = 0;
    // Read-only: the caret, selection and copy still work; typing does not.
    virtual bool lock() = 0;
};

} // namespace hexlark
