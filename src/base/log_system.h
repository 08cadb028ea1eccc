#pragma once
// Windows-side log helpers: system error texts and the parent process chain.
#include <stdint.h>

#include "base/str.h"

// "LogLastError: 0x%x (%d) '%s'\n"; 0 means the calling thread's last error.
void LogLastError(uint32_t code = 0);
// The system's message text for a code (0: the last error; 12003: the last internet
// response), whitespace-trimmed; empty when there is none.
StrView GetSystemMessageTemp(uint32_t code);
// "no error", or "0x%08lX '%s'" for the last error.
StrView GetLastErrorTextTemp();
void LogParentProcessChain();
