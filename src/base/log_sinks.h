#pragma once
// The platform's side of the log: debugger output, the log file, the logger pipe.
#include "base/str.h"

namespace logsink {
void ToDebugger(StrView text);

// Makes the log file new for this run: created under a name of its own, then renamed over
// whatever stood at its name before — a file, a hard link, a symbolic link, a junction —
// which is replaced, never written through: the temporary folder belongs to the user, and an
// elevated run must not write wherever a link placed there points. keepEarlier appends to
// the file of the run this one continues instead, when that is a plain file with no other
// name. Null, with why filled, when the file cannot be made.
void* CreateLogFile(StrView path, bool keepEarlier, StrView* why);
// Each line reaches the system at once, so the file is complete even if the process dies
// on the next line. False when the write failed.
bool WriteLogFile(void* file, StrView text);
void CloseLogFile(void* file);

void* OpenPipe();  // null when no logger is listening
bool WritePipe(void* pipe, StrView text);
void ClosePipe(void* pipe);
// The user's temporary folder, with a trailing separator, or empty. A LocalSystem run gets
// the system's protected one where Windows has it.
StrView TempDirTemp();
}  // namespace logsink
