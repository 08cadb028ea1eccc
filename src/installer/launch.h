#pragma once
// Starting other programs: through the shell with a verb, elevated with "runas", or
// non-elevated through Explorer so that files open with the user's normal rights even when
// the installer itself runs elevated.
#include "base/str.h"

// "\"explorer\" \"path\"", or the path alone (unquoted) when there is no Explorer.
StrView NonElevatedCommandLineTemp(StrView explorerPath, StrView path);

#ifdef _WIN32
#include <windows.h>

#include "base/process_win.h"  // IsProcessElevated

// Does not wait for the program and keeps no handle; shell error windows are suppressed.
bool LaunchFileShell(StrView path, StrView params, StrView verb);
// Opens with the "open" verb.
bool LaunchFile(StrView path);
// The system shows the elevation prompt; refusing it is a failure.
bool LaunchElevated(StrView exePath, StrView params);
// LaunchElevated that also hands back the started process (the caller closes it); the
// handle stays null when the shell reports no process of its own.
bool LaunchElevatedProcess(StrView exePath, StrView params, HANDLE* process);
// False without calling the shell when nothing is at path; otherwise opens it and returns
// true (the shell's result is only logged).
bool LaunchFileIfExists(StrView path);
void RunNonElevated(StrView path);
// The process handle (the thread handle is closed), or null. An empty currentDir keeps ours.
HANDLE CreateProcessHelper(StrView commandLine, StrView currentDir);
// Waits for the process to end and closes its handle: its exit code, or failedCode when the
// code cannot be read (logged).
uint32_t WaitForExitCode(HANDLE process, uint32_t failedCode);
// Closes unless null or INVALID_HANDLE_VALUE, and nulls it.
void SafeCloseHandle(HANDLE* h);
#endif
