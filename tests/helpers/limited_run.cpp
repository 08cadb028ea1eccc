// Runs a command line the way a standard user's process would run it: with this process's
// linked, limited token. Waits for it and exits with its exit code; 3 when the limited
// token cannot be had or the process cannot be started (the reason on standard error).
//   limited_run <program> [arguments...]
#include <windows.h>

#include <stdio.h>

namespace {
// The command line after our own program name, as the system split it.
const wchar_t* ArgumentsAfterProgram() {
    const wchar_t* s = GetCommandLineW();
    bool quoted = false;
    for (; *s && (quoted || (*s != L' ' && *s != L'\t')); s++) {
        if (*s == L'"') quoted = !quoted;
    }
    while (*s == L' ' || *s == L'\t') s++;
    return s;
}

bool IsElevatedToken(HANDLE token) {
    TOKEN_ELEVATION e{};
    DWORD n = 0;
    return GetTokenInformation(token, TokenElevation, &e, sizeof(e), &n) && e.TokenIsElevated;
}
}  // namespace

int wmain() {
    HANDLE own = nullptr;
    TOKEN_LINKED_TOKEN linked{};
    DWORD n = 0;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &own) ||
        !GetTokenInformation(own, TokenLinkedToken, &linked, sizeof(linked), &n)) {
        fprintf(stderr, "limited_run: no linked token (error %lu)\n", GetLastError());
        return 3;
    }
    if (IsElevatedToken(linked.LinkedToken)) {
        fprintf(stderr, "limited_run: the linked token is the elevated one\n");
        return 3;
    }
    wchar_t* cmd = _wcsdup(ArgumentsAfterProgram());
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!CreateProcessAsUserW(linked.LinkedToken, nullptr, cmd, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                              &pi)) {
        fprintf(stderr, "limited_run: CreateProcessAsUser failed (error %lu)\n", GetLastError());
        return 3;
    }
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 3;
    GetExitCodeProcess(pi.hProcess, &code);
    return (int)code;
}
