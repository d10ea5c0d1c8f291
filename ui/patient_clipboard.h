#pragma once

#include "clipboard.h"

#include <chrono>

namespace hexlark {

class Pause;

// The system clipboard as the handlers use it: one that another program holds
// for a moment is not a failure. Clipboard histories, remote-desktop sharing
// and password managers open it many times a second, each for a few
// milliseconds; an operation that fails is tried again every 20 ms, and only
// one still failing after a second, some hundred times the longest of those
// holds, reports a failure.
class PatientClipboard final : public Clipboard
{
public:
    static constexpr std::chrono::milliseconds kInterval{20};
    static constexpr std::chrono::milliseconds kPatience{1000};

    PatientClipboard(Clipboard &clipboard, Pause &pause) : m_clipboard(clipboard), m_pause(pause) {}
    bool clear() override;
    bool setText(const std::string &text) override;

private:
    template <typename Operation> bool patiently(Operation operation);

    Clipboard &m_clipboard;
    Pause &m_pause;
};

} // namespace hexlark
