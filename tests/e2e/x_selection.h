#pragma once

#include <QString>

#include <optional>

namespace hexlark::e2e {

// Whether some client owns the named selection (e.g. "CLIPBOARD_MANAGER") on
// the X display; none when the display cannot be opened.
std::optional<bool> selectionHasOwner(const QString &display, const QString &selection);

} // namespace hexlark::e2e
