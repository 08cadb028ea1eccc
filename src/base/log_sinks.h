#pragma once
// The platform's side of the log: debugger output, the log file, the logger pipe.
#include "base/str.h"

namespace logsink {
void ToDebugger(StrView text);
// Opens for appending, writes, flushes and closes, so the file is complete even if the
// process dies on the next line. An open failure skips the line.
void AppendToFile(StrView path, StrView text);
void* OpenPipe();  // null when no logger is listening
bool WritePipe(void* pipe, StrView text);
void ClosePipe(void* pipe);
StrView TempDirTemp();  // with a trailing separator, or empty
}  // namespace logsink
