#pragma once
#include "base/str.h"

// A shell folder by its CSIDL (no token, the current path); empty when it cannot be resolved.
StrView GetSpecialFolderTemp(int csidl);
