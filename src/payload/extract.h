#pragma once
#include "base/str.h"

// Unpacks the selected payload files into installDir. On false the reason has been given
// to NotifyFailed.
bool ExtractInstallerFiles(StrView installDir);
