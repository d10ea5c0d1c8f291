#include "x_selection.h"

// Xlib last: its macros (None, Bool, Status...) would clash with Qt's headers.
#include <X11/Xlib.h>

namespace hexlark::e2e {

std::optional<bool> selectionHasOwner(const QString &display, const QString &selection)
{
    Display *connection = XOpenDisplay(display.toLocal8Bit().constData());
    if (connection == nullptr) {
        return std::nullopt;
    }
    const Atom atom = XInternAtom(connection, selection.toLatin1().constData(), False);
    const Window owner = XGetSelectionOwner(connection, atom);
    XCloseDisplay(connection);
    return owner != None;
}

} // namespace hexlark::e2e
