#pragma once

#include "win32.h"

#include <optional>
#include <string_view>

namespace hexlark {

// A button's access key for an accelerator table: the virtual key that types
// the letter marked in its caption under a Latin layout, whichever layout is
// active (the dialog manager matches the character a key types instead, and a
// Cyrillic, Greek or Hebrew layout never types the marked letter). None where
// the caption marks no letter.
std::optional<WORD> accessKey(std::string_view caption);

} // namespace hexlark
