#pragma once
// The first user-facing failure of a run. Any step may report one; only the first is kept
// and shown (failure page, message box, or standard error in extract mode).
#include "base/str.h"

// Keeps a copy of the first message; always logs "NotifyFailed: %s\n".
void NotifyFailed(StrView message);
// Empty when nothing has failed.
StrView GetFirstFailureMessage();
