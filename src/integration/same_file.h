#pragma once
#include "base/str.h"

// Equal paths ignoring case, or two spellings (8.3 names, links) of one file or directory:
// same volume and file identity. Unlike path::IsSameFile, different last names do not
// decide: "C:\PROGRA~1" is "C:\Program Files".
bool IsSamePath(StrView a, StrView b);
