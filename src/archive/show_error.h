#pragma once
#include "base/str.h"

// A failure the user must see before anything else can happen (no archive, nothing to
// install): logged, and unless the run is silent shown in a message box titled with the
// translation of "Error". The message itself is shown as given.
void ShowErrorMessage(StrView message, bool silent);
