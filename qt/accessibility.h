#pragma once

#include "screen_reader.h"

class QObject;

namespace hexlark {

// Qt's accessible interfaces for the program's window and its address box,
// as a screen reader reads them. Installed once, before the window is built.
void installAccessibleInterfaces();

// Tells a screen reader every new address, wherever the focus is. After a
// click the focus is on the button, and a screen reader does not speak a
// change to a box it is not in. From Qt 6.8 each address is announced; Qt
// 6.4 has no announcements, so there it reaches the reader as a notice shown
// to it alone, a child of the window.
class QtScreenReader final : public ScreenReader
{
public:
    explicit QtScreenReader(QObject &window) : m_window(window) {}
    void tellNewAddress(const std::string &address) override;

private:
    QObject &m_window;
    QObject *m_notice = nullptr; // before Qt 6.8
};

} // namespace hexlark
