#pragma once
// Writing one installation file so that it is replaced whenever that is possible at all:
// directly, else through a temporary file moved over it, terminating the processes that
// have it loaded and deleting the old file between attempts. A full disk ends it at once.
#include <stdint.h>

#include "base/str.h"

// The system error of the latest failed write step of the latest WriteInstallerFileRobust
// (0 when none failed); tells a full disk (112, 39) from other failures.
extern uint32_t lastWriteError;

bool WriteInstallerFileRobust(StrView path, const char* data, int32_t size);
