#pragma once
// Versions as the product writes them: numbers separated by single dots ("3.7", "3.7.1").
#include "base/str.h"

// Digits with single dots between them, each number at most 9 digits.
bool IsDottedVersion(StrView v);

// Below 0, 0 or above 0 as a is older than, the same as or newer than b, number by number
// ("3.7" < "3.7.1" < "3.10"; "3.7" equals "3.7.0"). Both must be dotted versions.
int CompareDottedVersions(StrView a, StrView b);
