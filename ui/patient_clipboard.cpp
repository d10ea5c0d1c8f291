#include "patient_clipboard.h"

#include "pause.h"

namespace hexlark {

template <typename Operation> bool PatientClipboard::patiently(Operation operation)
{
    for (std::chrono::milliseconds waited{0};; waited += kInterval) {
        if (operation()) {
            return true;
        }
        if (waited >= kPatience) {
            return false;
        }
        m_pause.wait(kInterval);
    }
}

bool PatientClipboard::clear()
{
    return patiently([this] { return m_clipboard.clear(); });
}

bool PatientClipboard::setText(const std::string &text)
{
    return patiently([this, &text] { return m_clipboard.setText(text); });
}

} // namespace hexlark
