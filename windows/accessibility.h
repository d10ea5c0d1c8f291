#pragma once

#include "screen_reader.h"
#include "win32.h"

#include <string_view>
#include <vector>

struct IAccPropServices;

namespace hexlark {

namespace design {
struct ControlDesign;
}

// A label no one sees, placed just before the control in z-order: a text box
// shows its content, not its name, and screen readers name it after the
// static text that stands before it, as a dialog's label does. It takes no
// part in the tab order and carries no access key.
HWND createNameLabel(HWND parent, HINSTANCE instance, std::string_view name);

// The names, descriptions and live region a screen reader reads beyond what
// Windows' own controls tell it, set through oleacc's dynamic annotation
// (IAccPropServices). Where the platform refuses one, as Wine does, it is
// simply absent: the controls work as before.
class Annotations
{
public:
    Annotations();
    ~Annotations();
    Annotations(const Annotations &) = delete;
    Annotations &operator=(const Annotations &) = delete;

    // The control's name and description from the design; a text box also
    // becomes a polite live region, whose changes a reader speaks when it can.
    void annotate(HWND control, const design::ControlDesign &design);
    // Before the controls go: the annotations outlive no window.
    void clear();

private:
    IAccPropServices *m_services = nullptr;
    std::vector<HWND> m_annotated;
};

// Tells a screen reader each new address: the address box is a live region,
// and its change is raised as the event Narrator and other readers speak,
// wherever the focus is.
class Win32ScreenReader final : public ScreenReader
{
public:
    explicit Win32ScreenReader(HWND box) : m_box(box) {}
    void tellNewAddress(const std::string &address) override;

private:
    HWND m_box = nullptr;
};

} // namespace hexlark
