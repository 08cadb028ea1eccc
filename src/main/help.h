#pragma once
#include "base/str.h"

// The option summary printed for -h, filled with the product's display name.
StrView FormatHelpTemp();
