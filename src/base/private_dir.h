#pragma once
// Folders in a place that others can write to (the temporary folder) for files that a run
// loads or starts again later.
#include "base/str.h"

// Makes parent\<prefix><32 random hexadecimal digits> new: the name cannot be guessed
// beforehand, creation fails when it exists anyway, and its access list, inherited by what
// goes in it, lets only the system, the administrators and this run's owner (the token's
// default owner: the administrators for an elevated run) write. Empty on failure, logged.
StrView CreatePrivateDirTemp(StrView parent, StrView prefix);
