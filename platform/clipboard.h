#pragma once

class QString;

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
    virtual bool setText(const QString &text) = 0;
};

class SystemClipboard final : public Clipboard
{
public:
    bool clear() override;
    bool setText(const QString &text) override;
};

} // namespace hexlark
