#pragma once

#include <string>

namespace hexlark {

// The system clipboard that the desktop's paste commands read. Each operation
// reports whether it took effect.
class Clipboard
{
public:
    virtual ~Clipboard() = default;
    // Removes every format the clipboard holds.
    virtual bool clear() = 0;
    // Puts text on the clipboard as plain text and nothing else.
    virtual bool setText(const std::string &text) = 0;
};

} // namespace hexlark
