#pragma once

// The Windows headers as every file of the Windows edition includes them.
#include <windows.h>

// <windows.h> makes "MessageBox" a macro for MessageBoxW; the shared
// interface of that name must keep its name in every translation unit.
#undef MessageBox
