#pragma once
#include "base/str.h"

// The target of a .lnk file; empty on any failure. Needs COM initialised by the caller.
StrView ResolveShortcutTemp(StrView lnkPath);
