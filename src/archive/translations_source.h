#pragma once
#include "base/str.h"

// The translations file from the program's own archive, for the translation store; false
// when the archive or the entry is not there or does not decode.
bool LoadTranslationsFromArchive(Str* out);
