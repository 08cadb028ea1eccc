#include <windows.h>
#include <shellapi.h>

#include "base/arena.h"
#include "base/file.h"
#include "base/log.h"
#include "base/log_system.h"
#include "base/ole.h"
#include "base/wide_win.h"
#include "installer/launch.h"

namespace {
// With process set, the started process's handle is returned there (null when the shell
// started none, for example when a running program took the request over).
bool ShellExecuteVerb(StrView path, StrView params, StrView verb, HANDLE* process) {
    if (path.IsEmpty()) {
        return false;
    }
    // The shell may hand the request to an extension that needs COM.
    EnsureOle();
    SHELLEXECUTEINFOW sei{};
    sei.cbSize = sizeof(sei);
    sei.fMask = SEE_MASK_FLAG_NO_UI | (process ? SEE_MASK_NOCLOSEPROCESS : 0);
    sei.lpVerb = verb.IsEmpty() ? nullptr : W(verb);
    sei.lpFile = W(path);
    sei.lpParameters = params.IsEmpty() ? nullptr : W(params);
    sei.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExW(&sei)) {
        DWORD err = GetLastError();
        Logf("LaunchFile: ShellExecuteExW path: '%s' params: '%s' verb: '%s'\n", path.CStr(), params.CStr(),
             verb.CStr());
        LogLastError(err);
        SetLastError(err);
        return false;
    }
    Logf("LaunchFileShell: launched '%s'\n", path.CStr());
    if (process) {
        *process = sei.hProcess;
    }
    return true;
}
}  // namespace

bool LaunchFileShell(StrView path, StrView params, StrView verb) {
    return ShellExecuteVerb(path, params, verb, nullptr);
}

bool LaunchFile(StrView path) {
    return LaunchFileShell(path, "", "open");
}

bool LaunchElevated(StrView exePath, StrView params) {
    return LaunchFileShell(exePath, params, "runas");
}

bool LaunchElevatedProcess(StrView exePath, StrView params, HANDLE* process) {
    *process = nullptr;
    return ShellExecuteVerb(exePath, params, "runas", process);
}

bool LaunchFileIfExists(StrView path) {
    if (path.IsEmpty()) {
        return false;
    }
    if (!file::Exists(path)) {
        Logf("LaunchFileIfExists: !file::Exists('%s')\n", path.CStr());
        return false;
    }
    LaunchFile(path);
    return true;
}

void RunNonElevated(StrView path) {
    if (!file::Exists(path)) {
        Logf("RunNonElevated: file '%s' doesn't exist\n", path.CStr());
        return;
    }
    Logf("RunNonElevated: '%s'\n", path.CStr());
    WCHAR winDir[MAX_PATH];
    UINT n = GetWindowsDirectoryW(winDir, MAX_PATH);
    StrView explorer;
    if (n >= 1 && n < MAX_PATH) {
        StrView candidate = path::JoinTemp(U(winDir, n), "explorer.exe");
        if (file::Exists(candidate)) {
            explorer = candidate;
        }
    }
    HANDLE h = CreateProcessHelper(NonElevatedCommandLineTemp(explorer, path), {});
    SafeCloseHandle(&h);
}

HANDLE CreateProcessHelper(StrView commandLine, StrView currentDir) {
    // CreateProcessW may write into the command line, so it gets its own copy.
    WStrView cmd = ToWStrTemp(commandLine);
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    const WCHAR* dir = currentDir.IsEmpty() ? nullptr : W(currentDir);
    if (!cmd.s || !CreateProcessW(nullptr, (WCHAR*)cmd.s, nullptr, nullptr, FALSE, 0, nullptr, dir, &si, &pi)) {
        return nullptr;
    }
    CloseHandle(pi.hThread);
    return pi.hProcess;
}

uint32_t WaitForExitCode(HANDLE process, uint32_t failedCode) {
    WaitForSingleObject(process, INFINITE);
    DWORD code = failedCode;
    if (!GetExitCodeProcess(process, &code)) {
        LogLastError(0);
        code = failedCode;
    }
    CloseHandle(process);
    return code;
}

void SafeCloseHandle(HANDLE* h) {
    if (*h && *h != INVALID_HANDLE_VALUE) {
        CloseHandle(*h);
    }
    *h = nullptr;
}
