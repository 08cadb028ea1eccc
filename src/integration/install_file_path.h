#pragma once
#include "base/str.h"

// installDir joined with name; logged.
StrView GetInstallationFilePath(StrView installDir, StrView name);
