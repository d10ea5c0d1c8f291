#pragma once

#include "win32.h"

namespace hexlark {

// The buttons' access keys as an accelerator table: Alt with the key that
// types the letter marked in a caption under a Latin layout, whichever layout
// is active. The dialog manager matches the character a key types instead,
// and a Cyrillic, Greek or Hebrew layout never types the marked letter. Each
// key sends WM_COMMAND with its button's id, firstControlId plus the button's
// tab index, and code 1. Null when Windows refuses the table.
HACCEL createAccessKeys(int firstControlId);

} // namespace hexlark
