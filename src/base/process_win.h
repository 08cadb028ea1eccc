#pragma once
// Lookups in a snapshot of the running processes, and in this process's token.
#include <windows.h>
#include <tlhelp32.h>

#include "base/str.h"
#include "base/token_kind.h"

// Calls visit(const PROCESSENTRY32W&) for each running process, from one snapshot, until it
// returns false; false when no snapshot could be taken.
template <typename Visit>
bool ForEachProcess(Visit visit) {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) {
        return false;
    }
    PROCESSENTRY32W pe{};
    pe.dwSize = sizeof(pe);
    for (BOOL ok = Process32FirstW(snap, &pe); ok && visit(pe); ok = Process32NextW(snap, &pe)) {
    }
    CloseHandle(snap);
    return true;
}

// The snapshot entry of the process with this id; false when it is not running.
bool FindProcessEntry(DWORD pid, PROCESSENTRY32W* entry);

// Whether this process runs with an elevated (administrator) token. The one query of the
// token: decisions take its answer as an argument, so they can be tested either way.
bool IsProcessElevated();

// LocalSystem, elevated or limited, from this process's token.
TokenKind CurrentTokenKind();

// The string SID ("S-1-5-21-...") of the user this process runs as; empty on failure.
StrView ProcessUserSidTemp();
