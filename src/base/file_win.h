#pragma once
// The Win32 side of the file helpers that other Win32 code shares.
#include <windows.h>

#include "base/str.h"

namespace path {
// The file or folder at path, opened only to ask what it is (no access to its contents,
// shared with everyone); INVALID_HANDLE_VALUE when it cannot be opened.
HANDLE OpenToQuery(StrView path);
}  // namespace path
