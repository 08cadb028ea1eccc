#include "base/process_win.h"

#include <sddl.h>

#include "base/arena.h"
#include "base/wide_win.h"

bool FindProcessEntry(DWORD pid, PROCESSENTRY32W* entry) {
    bool found = false;
    ForEachProcess([&](const PROCESSENTRY32W& pe) {
        found = pe.th32ProcessID == pid;
        if (found) *entry = pe;
        return !found;
    });
    return found;
}

bool IsProcessElevated() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return false;
    }
    TOKEN_ELEVATION elevation{};
    DWORD size = sizeof(elevation);
    BOOL ok = GetTokenInformation(token, TokenElevation, &elevation, sizeof(elevation), &size);
    CloseHandle(token);
    return ok && elevation.TokenIsElevated != 0;
}

namespace {
bool RunsAsLocalSystem() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return false;
    }
    BYTE buf[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    DWORD size = 0;
    bool system = GetTokenInformation(token, TokenUser, buf, sizeof(buf), &size) &&
                  IsWellKnownSid(((TOKEN_USER*)buf)->User.Sid, WinLocalSystemSid);
    CloseHandle(token);
    return system;
}
}  // namespace

TokenKind CurrentTokenKind() {
    if (RunsAsLocalSystem()) {
        return TokenKind::LocalSystem;
    }
    return IsProcessElevated() ? TokenKind::Elevated : TokenKind::Limited;
}

StrView ProcessUserSidTemp() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return {};
    }
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    TOKEN_USER* user = size ? (TOKEN_USER*)ArenaAlloc(GetTempArena(), size) : nullptr;
    StrView sid;
    WCHAR* text = nullptr;
    if (user && GetTokenInformation(token, TokenUser, user, size, &size) &&
        ConvertSidToStringSidW(user->User.Sid, &text)) {
        sid = U(text);
        LocalFree(text);
    }
    CloseHandle(token);
    return sid;
}
