#pragma once
// Lookups in a snapshot of the running processes.
#include <windows.h>
#include <tlhelp32.h>

// The snapshot entry of the process with this id; false when it is not running.
bool FindProcessEntry(DWORD pid, PROCESSENTRY32W* entry);
