#pragma once
#include "base/str.h"

// Equal paths ignoring case, or two spellings (8.3 names, links) of one file or directory:
// same volume and file identity.
bool IsSamePath(StrView a, StrView b);
